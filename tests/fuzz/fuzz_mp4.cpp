// Arbitrary bytes as an MPEG-4 audio file: Open must return (true or false) without reading outside its
// buffers, looping or leaking. When the file opens, a title change is saved, and a save that reports
// success must leave a file that opens again with the new title.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "media/core/MediaManager.h"
#include "media/mp4/MPEG4MediaFormat.h"

using namespace mellodeck;

namespace {

std::filesystem::path gPath;

bool WriteFile(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(gPath.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MediaLibraryStart();
    const auto folder = std::filesystem::temp_directory_path() / ("fuzz_mp4_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    gPath = folder / "input.m4a";
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(gPath.parent_path(), ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WriteFile(data, size))
        return 0;
    const std::wstring name = gPath.wstring();
    {
        TMPEG4MediaFormat format;
        if (!format.Open(name, true, 0, false))
            return 0;
        format.GetDuration();
        format.GetBitrate();
        format.IsTagEmpty();
        HasArtwork(&format);
        format.Tags->Title->SetValue(L"fuzzed title");
        if (!format.Post(0))
            return 0;
    }
    TMPEG4MediaFormat again;
    if (!again.Open(name, false, 0, false) || again.Tags->Title->Value != L"fuzzed title")
        __builtin_trap(); // a save that succeeded left a file we cannot read back
    again.Close(0);
    return 0;
}
