// Arbitrary bytes as an MP3 file: opened for reading (tags, pictures, stream search, frame walk), then
// opened for writing, edited and saved, and read once more. Every path must return, stay inside its
// buffers and leak nothing. A save that reports success must leave a tag that reads back; whether the
// audio is found again can change (junk before the first frame is not carried over, so a different
// first frame decides about VBRI headers), so that is not required.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzScratch.h"
#include "media/core/MediaManager.h"
#include "media/mp3/MP3MediaFormat.h"

using namespace mellodeck;

namespace {

const std::filesystem::path& Scratch() { return fuzz::ScratchPath("mp3", "input.mp3"); }
const std::wstring& ScratchFile() {
    static const std::wstring name = Utf8ToWide(Scratch().string());
    return name;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MediaLibraryStart();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!fuzz::WriteScratch(Scratch(), data, size))
        return 0;
    {
        TMP3MediaFormat reader;
        if (reader.Open(ScratchFile(), false, 0, false)) {
            (void)reader.GetDuration();
            (void)HasArtwork(&reader);
        }
        reader.Close(0);
    }
    TMP3MediaFormat writer;
    if (writer.Open(ScratchFile(), true, 0, false)) {
        writer.Tags->Title->SetValue(L"fuzz \u00E9");
        writer.ID3v1->SetArtist(L"fuzz");
        // Pictures are carried through a save that does not touch them, decoded or not.
        const int pictures = writer.Tags->Pictures->Count();
        if (writer.Post(0)) {
            TMP3MediaFormat again;
            again.Open(ScratchFile(), false, 0, false);
            if (again.Tags->Title->Value != L"fuzz \u00E9")
                __builtin_trap(); // the saved tag must read back
            if (again.Tags->Pictures->Count() != pictures)
                __builtin_trap(); // and lose no picture
            again.Close(0);
        }
    }
    writer.Close(0);
    return 0;
}
