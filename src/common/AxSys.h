#pragma once
// Module file names, platform detection and registry text values.
#include <cstdint>
#include <string>

#include "common/AxVersionInfo.h"

namespace mellodeck {

// The Windows release the process runs on, as far as this program tells them apart.
enum class WindowsVersion {
    Unknown,
    Win95,
    Win95OSR2,
    Win98,
    Win98SE,
    WinME,
    WinNT31,
    WinNT35,
    WinNT351,
    WinNT4,
    Win2000,
    WinXP,
    VistaOrLater
};

// Platform identifiers of the operating system's version information.
inline constexpr uint32_t kPlatformWin32Windows = 1; // the older, non-NT line
inline constexpr uint32_t kPlatformWin32NT = 2;

// What the operating system reports about itself; all zero on a system that is not Windows.
struct OsVersionFacts {
    uint32_t Platform = 0;
    uint32_t Major = 0;
    uint32_t Minor = 0;
    std::wstring ServicePack;            // e.g. "Service Pack 3", or " B " on the older line
    uint32_t KernelProductVersionMS = 0; // kernel32.dll's product version, high 32 bits; older line only
};

// The release from the reported facts. The older line tells 95 from OSR2 and 98 from SE by the
// service-pack text ("B", "A"), and ME by kernel32's product version 4.90 or minor version 90. The NT line
// goes by major and minor version; every major version from 6 on is "Vista or later".
WindowsVersion DecideWindowsVersion(const OsVersionFacts& facts);

// Process-wide values, decided on first use and constant afterwards.
bool IsWinNT();                     // the NT line (always, on the systems this program runs on)
WindowsVersion GetWindowsVersion(); // Unknown on a system that is not Windows
bool IsWinXP();                     // Windows XP (NT 5.1)
FileVersion ApplicationVersion();   // file version of the process executable; zeros when unreadable

// Full path of the module that contains this code (false) or of the process executable (true); empty
// when it cannot be found. The native build answers with the shared object or executable file.
std::wstring ModuleFileName(bool ofProcess);
// The file name part of ModuleFileName(false).
std::wstring ModuleName();

// Registry roots the program reads and writes.
enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine };

#ifdef _WIN32
// Reads a REG_SZ value (any other type fails). On success the text is the value up to its first null
// character; on failure `text` is left untouched.
bool ReadRegistryText(RegistryRoot root, const std::wstring& keyPath, const std::wstring& valueName,
                      std::wstring& text);
// As ReadRegistryText, but `text` becomes empty on any failure.
void ReadRegistryTextOrEmpty(RegistryRoot root, const std::wstring& keyPath, const std::wstring& valueName,
                             std::wstring& text);
// Creates the key when missing and writes `text` as a REG_SZ value with its terminating null character.
bool WriteRegistryText(RegistryRoot root, const std::wstring& keyPath, const std::wstring& valueName,
                       const std::wstring& text);
#endif

// Platform part behind the process-wide values (one implementation per platform).
OsVersionFacts QueryOsVersionFacts();

} // namespace mellodeck
