// POSIX face of the file operations: attributes are derived from stat, folders and files are created with
// the usual permission bits (the umask applies).
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

#include "common/FileUtils.h"
#include "common/TextConvert.h"
#include "common/UnicodeCase.h"

namespace mellodeck {
namespace {

constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

} // namespace

bool CreateFolder(const std::wstring& path) {
    if (path.empty())
        return false;
    return mkdir(WideToUtf8(path).c_str(), 0777) == 0;
}

uint32_t GetAttributes(const std::wstring& path) {
    struct stat st {};
    if (path.empty() || stat(WideToUtf8(path).c_str(), &st) != 0)
        return kInvalidFileAttributes;
    uint32_t attributes = S_ISDIR(st.st_mode) ? kFileAttributeDirectory : kFileAttributeArchive;
    if ((st.st_mode & kAnyWrite) == 0)
        attributes |= kFileAttributeReadOnly;
    return attributes;
}

uint64_t LastWriteStamp(const std::wstring& path) {
    struct stat st {};
    if (path.empty() || stat(WideToUtf8(path).c_str(), &st) != 0)
        return 0;
    const uint64_t nanoseconds =
        static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u + static_cast<uint64_t>(st.st_mtim.tv_nsec);
    return (nanoseconds ^ (static_cast<uint64_t>(st.st_size) << 40)) | 1u;
}

bool SetAttributes(const std::wstring& path, uint32_t attributes) {
    const std::string native = WideToUtf8(path);
    struct stat st {};
    if (path.empty() || stat(native.c_str(), &st) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    if (attributes & kFileAttributeReadOnly)
        mode &= ~kAnyWrite;
    else if ((mode & kAnyWrite) == 0)
        mode |= S_IWUSR;
    if (mode == (st.st_mode & 07777))
        return true;
    return chmod(native.c_str(), mode) == 0;
}

wchar_t UnicodeUpper(wchar_t c) {
    // A private C.UTF-8 locale: the process locale stays untouched, and the plain "C" locale would only
    // upper-case ASCII.
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (utf8 != static_cast<locale_t>(nullptr))
        return static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), utf8));
    return static_cast<wchar_t>(towupper(static_cast<wint_t>(c)));
}

} // namespace mellodeck
