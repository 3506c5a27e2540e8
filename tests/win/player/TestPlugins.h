#pragma once
// What the test plug-ins built beside these tests answer, shared by them and the tests.
#include <cstdint>

namespace mellodeck::test {

// gen_Tail.dll subclasses the player's window and answers this message itself, passing on the rest.
inline constexpr uint32_t kChainProbeMessage = 0x8000 + 0x71; // in the WM_APP range
inline constexpr intptr_t kChainProbeAnswer = 0x7A11;

// The faulty gen_Pelorix.dll reads what its "InstallPlugin" does from this environment variable:
// "access" (an access violation), "throw" (a C++ exception), anything else returns 0.
inline constexpr wchar_t kFaultyInstallVariable[] = L"MELLODECK_TEST_INSTALL_FAULT";

} // namespace mellodeck::test
