#pragma once
// File versions from the version resource of an executable or library.
#include <cstdint>
#include <string>

namespace mellodeck {

// The four parts of a fixed file version: major and minor from its most significant 32 bits, release
// and build from its least significant 32 bits.
struct FileVersion {
    uint16_t Major = 0;
    uint16_t Minor = 0;
    uint16_t Release = 0;
    uint16_t Build = 0;

    bool IsZero() const { return Major == 0 && Minor == 0 && Release == 0 && Build == 0; }
    friend bool operator==(const FileVersion&, const FileVersion&) = default;
};

// The file's version; all zeros when the file has no version resource or cannot be read. Windows only:
// the native build reads no version resources and always answers zeros.
FileVersion GetFileVersion(const std::wstring& path);

// "major.minor.release.build" in decimal, e.g. "2.0.1.15".
std::wstring FormatFileVersion(const FileVersion& version);

} // namespace mellodeck
