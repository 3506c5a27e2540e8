#pragma once
// The test libraries are built beside the test program.
#include <string>

#include "common/AxSys.h"
#include "common/FileUtils.h"

namespace mellodeck::test {

inline std::wstring BesideTestProgram(const std::wstring& name) {
    return WithTrailingBackslash(ExtractFolder(ModuleFileName(true))) + name;
}

} // namespace mellodeck::test
