// Arbitrary bytes as an MPEG-4 audio file: Open must return (true or false) without reading outside its
// buffers, looping or leaking. When the file opens, a title change is saved, and a save that reports
// success must leave a file that opens again with the new title.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzScratch.h"
#include "media/core/MediaManager.h"
#include "media/mp4/MPEG4MediaFormat.h"

using namespace mellodeck;

namespace {

const std::filesystem::path& Scratch() { return fuzz::ScratchPath("mp4", "input.m4a"); }

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MediaLibraryStart();
    Scratch();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!fuzz::WriteScratch(Scratch(), data, size))
        return 0;
    const std::wstring name = Scratch().wstring();
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
