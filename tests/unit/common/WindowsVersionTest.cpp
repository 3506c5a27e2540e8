#include <gtest/gtest.h>

#include "common/AxSys.h"

namespace mellodeck {
namespace {

TEST(WindowsVersionDecision, Table) {
    constexpr uint32_t k9x = kPlatformWin32Windows, kNT = kPlatformWin32NT;
    constexpr uint32_t kMeKernel = (4u << 16) | 90u;
    struct Case {
        uint32_t Platform, Major, Minor;
        const wchar_t* ServicePack;
        uint32_t Kernel;
        WindowsVersion Expected;
    };
    const Case cases[] = {
        {k9x, 4, 0, L"", 0, WindowsVersion::Win95},
        {k9x, 4, 0, L" B ", 0, WindowsVersion::Win95OSR2},
        {k9x, 4, 3, L"C", 0, WindowsVersion::Win95},
        {k9x, 4, 9, L"b", 0, WindowsVersion::Win95}, // the letter is compared exactly
        {k9x, 4, 10, L"", 0, WindowsVersion::Win98},
        {k9x, 4, 10, L" A ", 0, WindowsVersion::Win98SE},
        {k9x, 4, 10, L"", kMeKernel, WindowsVersion::WinME},
        {k9x, 4, 10, L"A", kMeKernel, WindowsVersion::WinME},
        {k9x, 4, 89, L"", (4u << 16) | 10u, WindowsVersion::Win98},
        {k9x, 4, 90, L"", 0, WindowsVersion::WinME},
        {k9x, 4, 91, L"", 0, WindowsVersion::Unknown},
        {kNT, 3, 10, L"", 0, WindowsVersion::WinNT31},
        {kNT, 3, 50, L"", 0, WindowsVersion::WinNT35},
        {kNT, 3, 51, L"Service Pack 5", 0, WindowsVersion::WinNT351},
        {kNT, 3, 52, L"", 0, WindowsVersion::Unknown},
        {kNT, 4, 0, L"Service Pack 6", 0, WindowsVersion::WinNT4},
        {kNT, 5, 0, L"", 0, WindowsVersion::Win2000},
        {kNT, 5, 1, L"Service Pack 3", 0, WindowsVersion::WinXP},
        {kNT, 5, 2, L"", 0, WindowsVersion::Unknown},
        {kNT, 6, 0, L"", 0, WindowsVersion::VistaOrLater},
        {kNT, 6, 3, L"", 0, WindowsVersion::VistaOrLater},
        {kNT, 10, 0, L"", 0, WindowsVersion::VistaOrLater},
        {kNT, 2, 0, L"", 0, WindowsVersion::Unknown},
        {0, 5, 1, L"", 0, WindowsVersion::Unknown}, // Win32s or not Windows at all
        {3, 5, 1, L"", 0, WindowsVersion::Unknown},
    };
    for (const Case& c : cases) {
        OsVersionFacts facts;
        facts.Platform = c.Platform;
        facts.Major = c.Major;
        facts.Minor = c.Minor;
        facts.ServicePack = c.ServicePack;
        facts.KernelProductVersionMS = c.Kernel;
        EXPECT_EQ(DecideWindowsVersion(facts), c.Expected)
            << "platform " << c.Platform << ", " << c.Major << "." << c.Minor << ", \"" << c.ServicePack << "\"";
    }
}

TEST(WindowsVersionDecision, ProcessValues) {
#ifdef _WIN32
    EXPECT_TRUE(IsWinNT());
    EXPECT_NE(GetWindowsVersion(), WindowsVersion::Unknown);
    EXPECT_EQ(IsWinXP(), GetWindowsVersion() == WindowsVersion::WinXP);
#else
    EXPECT_FALSE(IsWinNT());
    EXPECT_EQ(GetWindowsVersion(), WindowsVersion::Unknown);
    EXPECT_FALSE(IsWinXP());
    EXPECT_TRUE(ApplicationVersion().IsZero());
#endif
}

} // namespace
} // namespace mellodeck
