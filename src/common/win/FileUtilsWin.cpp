// Win32 face of the file operations: the wide ("W") calls throughout.
#include <windows.h>

#include "common/FileUtils.h"
#include "common/UnicodeCase.h"

namespace mellodeck {

static_assert(kFileAttributeReadOnly == FILE_ATTRIBUTE_READONLY && kFileAttributeHidden == FILE_ATTRIBUTE_HIDDEN &&
              kFileAttributeSystem == FILE_ATTRIBUTE_SYSTEM && kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY &&
              kFileAttributeArchive == FILE_ATTRIBUTE_ARCHIVE && kFileAttributeNormal == FILE_ATTRIBUTE_NORMAL &&
              kInvalidFileAttributes == INVALID_FILE_ATTRIBUTES &&
              kFileFlagSequentialScan == FILE_FLAG_SEQUENTIAL_SCAN);
static_assert(kGenericRead == GENERIC_READ && kGenericWrite == GENERIC_WRITE && kFileShareRead == FILE_SHARE_READ &&
              kFileShareWrite == FILE_SHARE_WRITE && kFileShareDelete == FILE_SHARE_DELETE);
static_assert(kCreateNew == CREATE_NEW && kCreateAlways == CREATE_ALWAYS && kOpenExisting == OPEN_EXISTING &&
              kOpenAlways == OPEN_ALWAYS && kTruncateExisting == TRUNCATE_EXISTING);

bool CreateFolder(const std::wstring& path) {
    return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

uint32_t GetAttributes(const std::wstring& path) {
    return GetFileAttributesW(path.c_str());
}

uint64_t LastWriteStamp(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    const uint64_t time = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
    return (time ^ (static_cast<uint64_t>(data.nFileSizeLow) << 40)) | 1u;
}

bool SetAttributes(const std::wstring& path, uint32_t attributes) {
    return SetFileAttributesW(path.c_str(), attributes) != FALSE;
}

wchar_t UnicodeUpper(wchar_t c) {
    wchar_t buffer[1] = {c};
    CharUpperBuffW(buffer, 1);
    return buffer[0];
}

} // namespace mellodeck
