#include "common/AxSys.h"

#include "common/FileUtils.h"

namespace mellodeck {
namespace {

// Leading and trailing spaces and control characters removed.
std::wstring Trimmed(const std::wstring& text) {
    std::size_t first = 0, last = text.size();
    while (first < last && text[first] <= L' ')
        ++first;
    while (last > first && text[last - 1] <= L' ')
        --last;
    return text.substr(first, last - first);
}

WindowsVersion DecideOlderLine(const OsVersionFacts& facts) {
    constexpr uint32_t kMillenniumKernel = (4u << 16) | 90u; // product version 4.90
    if (facts.Minor < 10)
        return Trimmed(facts.ServicePack) == L"B" ? WindowsVersion::Win95OSR2 : WindowsVersion::Win95;
    if (facts.Minor < 90) {
        // Millennium can report itself as 98 (minor 10) to some programs; its kernel tells the truth.
        if (facts.KernelProductVersionMS == kMillenniumKernel)
            return WindowsVersion::WinME;
        return Trimmed(facts.ServicePack) == L"A" ? WindowsVersion::Win98SE : WindowsVersion::Win98;
    }
    return facts.Minor == 90 ? WindowsVersion::WinME : WindowsVersion::Unknown;
}

WindowsVersion DecideNtLine(const OsVersionFacts& facts) {
    switch (facts.Major) {
    case 3:
        // 3.1 reports minor 10 and 3.5 minor 50; the single-digit forms are accepted as well.
        if (facts.Minor == 1 || facts.Minor == 10)
            return WindowsVersion::WinNT31;
        if (facts.Minor == 5 || facts.Minor == 50)
            return WindowsVersion::WinNT35;
        if (facts.Minor == 51)
            return WindowsVersion::WinNT351;
        return WindowsVersion::Unknown;
    case 4:
        return WindowsVersion::WinNT4;
    case 5:
        if (facts.Minor == 0)
            return WindowsVersion::Win2000;
        if (facts.Minor == 1)
            return WindowsVersion::WinXP;
        return WindowsVersion::Unknown;
    default:
        return facts.Major >= 6 ? WindowsVersion::VistaOrLater : WindowsVersion::Unknown;
    }
}

struct ProcessValues {
    bool WinNT = false;
    WindowsVersion Version = WindowsVersion::Unknown;
};

const ProcessValues& Values() {
    static const ProcessValues values = [] {
        const OsVersionFacts facts = QueryOsVersionFacts();
        ProcessValues v;
        v.WinNT = facts.Platform == kPlatformWin32NT;
        v.Version = DecideWindowsVersion(facts);
        return v;
    }();
    return values;
}

} // namespace

WindowsVersion DecideWindowsVersion(const OsVersionFacts& facts) {
    switch (facts.Platform) {
    case kPlatformWin32Windows:
        return DecideOlderLine(facts);
    case kPlatformWin32NT:
        return DecideNtLine(facts);
    default:
        return WindowsVersion::Unknown;
    }
}

bool IsWinNT() {
    return Values().WinNT;
}

WindowsVersion GetWindowsVersion() {
    return Values().Version;
}

bool IsWinXP() {
    return GetWindowsVersion() == WindowsVersion::WinXP;
}

FileVersion ApplicationVersion() {
    static const FileVersion version = GetFileVersion(ModuleFileName(true));
    return version;
}

std::wstring ModuleName() {
    return ExtractName(ModuleFileName(false));
}

} // namespace mellodeck
