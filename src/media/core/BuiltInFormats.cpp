#include "media/core/MediaManager.h"
#include "media/flac/FlacMediaFormat.h"
#include "media/mp3/MP3MediaFormat.h"
#include "media/mp4/MPEG4MediaFormat.h"
#include "media/ogg/OggMediaFormat.h"

namespace mellodeck {

void RegisterBuiltInFormats(TMediaManager& manager) {
    manager.RegisterFormat(".mp3", [] { return std::make_unique<TMP3MediaFormat>(); }, L"MPEG Audio File",
                           L"Marquill.MPEG.audio.file");
    manager.RegisterFormat(".ogg", [] { return std::make_unique<TOggMediaFormat>(); }, L"Ogg Vorbis Audio File",
                           L"Marquill.Ogg.audio.file");
    manager.RegisterFormat(".flac", [] { return std::make_unique<TFlacMediaFormat>(); }, L"Flac Audio File",
                           L"Marquill.Flac.audio.file");
    // The MPEG-4 writer's settings, as every start of the library has them.
    MPEG4FreeAtomSize = 2048;
    MPEG4MaxInPlaceGap = 32768;
    manager.RegisterFormat(".m4a", [] { return std::make_unique<TMPEG4MediaFormat>(); }, L"MPEG-4 AAC Audio File",
                           L"Marquill.MPEG4.audio.file");
    manager.RegisterFormat(".m4p", [] { return std::make_unique<TMPEG4MediaFormat>(); }, L"MPEG-4 AAC Audio File",
                           L"Marquill.MPEG4.audio.file");
    // Windows Media after ".m4p", where the runtime is present.
    RegisterPlatformFormats(manager);
}

} // namespace mellodeck
