#include "media/core/MediaManager.h"
#include "media/mp3/MP3MediaFormat.h"

namespace mellodeck {

void RegisterBuiltInFormats(TMediaManager& manager) {
    manager.RegisterFormat(".mp3", [] { return std::make_unique<TMP3MediaFormat>(); }, L"MPEG Audio File",
                           L"Marquill.MPEG.audio.file");
}

} // namespace mellodeck
