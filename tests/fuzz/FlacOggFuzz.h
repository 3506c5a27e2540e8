#pragma once
// Shared body of the FLAC and Ogg fuzz targets: the input becomes a file that a format object opens; when
// it opens, a changed tag is saved and the saved file must open again with the change in it (a save never
// writes a file this library cannot read back).
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "FuzzScratch.h"
#include "media/core/MediaManager.h"

namespace mellodeck::fuzz {

template <class TFormat> int OpenAndSave(const uint8_t* data, size_t size, const char* extension) {
    static const std::filesystem::path& path = [extension]() -> const std::filesystem::path& {
        MediaLibraryStart();
        return ScratchPath(extension + 1, std::string("input") + extension);
    }();
    if (!WriteScratch(path, data, size))
        return 0;
    const std::wstring name = Utf8ToWide(path.string());
    auto format = std::make_unique<TFormat>();
    if (!format->Open(name, true, 0, false)) {
        format->Close(0);
        return 0;
    }
    // Touch what a caller reads.
    volatile double duration = format->GetDuration();
    volatile int32_t bitrate = format->GetBitrate() + format->GetSampleRate();
    (void)duration;
    (void)bitrate;
    format->Tags->Title->SetValue(L"fuzzed title");
    const int pictures = format->Tags->Pictures->Count();
    const bool saved = format->Post(0);
    if (saved) {
        TFormat again;
        if (!again.Open(name, false, 0, false) || again.Tags->Title->Value != L"fuzzed title")
            __builtin_trap();
        if (again.Tags->Pictures->Count() != pictures)
            __builtin_trap(); // a save that does not touch the pictures keeps them all
    }
    return 0;
}

} // namespace mellodeck::fuzz
