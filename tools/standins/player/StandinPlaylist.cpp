#include "StandinPlaylist.h"

#include <windows.h>

#include <cmath>

#include "common/FileUtils.h"
#include "media/core/MediaManager.h"
#include "common/TextConvert.h"

namespace mellodeck::standin {

bool ReadTrackInfo(const std::wstring& path, TrackInfo& info) {
    info = TrackInfo();
    TMediaManager* media = MediaManager();
    const std::wstring ext = ExtractExtension(path);
    if (!media || !media->IsSupportedExtension(ext))
        return false;
    std::unique_ptr<TBaseMediaFormat> format = media->CreateFormat(ext, true, path);
    if (!format || !format->Open(path, false, 0, false))
        return false;
    auto text = [](const TBaseStringTag* tag) {
        std::wstring value;
        if (tag)
            tag->GetValue(value);
        return value;
    };
    info.Artist = text(format->Tags->Artist);
    info.Album = text(format->Tags->Album);
    info.Title = text(format->Tags->Title);
    const double seconds = format->GetDuration();
    info.LengthMs = seconds > 0 ? static_cast<int64_t>(std::llround(seconds * 1000.0)) : 0;
    format->Close(0);
    return true;
}

int64_t Playlist::Now() { return static_cast<int64_t>(GetTickCount64()); }

void Playlist::Add(const std::wstring& path) {
    Entry e;
    e.Path = path;
    e.AnsiPath = WideToAnsi(path);
    TrackInfo info;
    ReadTrackInfo(path, info);
    e.LengthMs = FixedLengthMs ? FixedLengthMs : info.LengthMs ? info.LengthMs : DefaultLengthMs;
    FEntries.push_back(std::move(e));
}

void Playlist::Clear() {
    FEntries.clear();
    FIndex = 0;
    FStatus = Status::Stopped;
}

void Playlist::SetIndex(int index) {
    if (index >= 0 && index < Count())
        FIndex = index;
}

const Entry* Playlist::At(int index) const {
    return index >= 0 && index < Count() ? &FEntries[static_cast<size_t>(index)] : nullptr;
}

int64_t Playlist::Position() const {
    switch (FStatus) {
    case Status::Playing:
        return Now() - FStartedAt;
    case Status::Paused:
        return FPausedAt;
    default:
        return 0;
    }
}

bool Playlist::Start() {
    if (FEntries.empty())
        return false;
    FStatus = Status::Playing;
    FStartedAt = Now();
    return true;
}

void Playlist::TogglePause() {
    if (FStatus == Status::Playing) {
        FPausedAt = Now() - FStartedAt;
        FStatus = Status::Paused;
    } else if (FStatus == Status::Paused) {
        FStartedAt = Now() - FPausedAt;
        FStatus = Status::Playing;
    }
}

void Playlist::Stop() { FStatus = Status::Stopped; }

void Playlist::SeekTo(int64_t ms) {
    if (FStatus == Status::Playing)
        FStartedAt = Now() - ms;
    else if (FStatus == Status::Paused)
        FPausedAt = ms;
}

bool Playlist::Move(int delta) {
    if (FEntries.empty())
        return false;
    int next = FIndex + delta;
    if (next < 0 || next >= Count()) {
        if (!Repeat)
            return false;
        next = (next + Count()) % Count();
    }
    FIndex = next;
    return true;
}

bool Playlist::Tick() {
    const Entry* e = Current();
    if (FStatus != Status::Playing || !e || Position() < e->LengthMs)
        return false;
    if (Move(1))
        return Start();
    Stop();
    return false;
}

} // namespace mellodeck::standin
