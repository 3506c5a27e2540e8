#include "player/BasePlayerManager.h"

#include <exception>

#include "common/FileUtils.h"
#include "common/ScopeExit.h"
#include "imaging/ImageCodecs.h"
#include "media/core/MediaManager.h"
#include "common/TextConvert.h"

namespace mellodeck {

const wchar_t* const kFolderImageNames[5] = {L"folder.jpg", L"folder.gpeg", L"folder.bmp", L"folder.gif",
                                             L"folder.tif"};

TBasePlayerManager::TBasePlayerManager() {
    // Every change of the artwork's content (assignment, clearing) reaches the panel.
    Artwork.OnChange = [this](Bitmap32&) { ArtworkChanged(); };
}

TBasePlayerManager::~TBasePlayerManager() {
    FDestroying = true;
    Artwork.OnChange = nullptr;
}

void TBasePlayerManager::Loaded() {
    FLoading = false;
    if (StateChangePending) {
        StateChangePending = false;
        DoStateChanged(TControlStates());
    }
}

void TBasePlayerManager::DoStateChanged(TControlStates PrevState) {
    if (OnStateChanged)
        OnStateChanged(this, PrevState, State);
}

void TBasePlayerManager::ArtworkChanged() {
    if (OnArtworkChanged)
        OnArtworkChanged(this);
}

void TBasePlayerManager::SetState(TControlStates Include, TControlStates Exclude) {
    const TControlStates old = State;
    State = (State + Include) - Exclude;
    if (State == old || FDestroying)
        return;
    if (FLoading) {
        StateChangePending = true;
        return;
    }
    DoStateChanged(old);
    std::wstring name;
    GetCurrentFileName(name);
    SetCurrentFile(name);
}

void TBasePlayerManager::SetCurrentFile(const std::wstring& Name) {
    if (Name == FileName)
        return;
    FileName = Name;
    ReloadMediaInformation();
    DoStateChanged(State);
}

void TBasePlayerManager::ReloadIfFileRewritten() {
    if (FStateOnly || FileName.empty() || State.Contains(csReloadingMediaInformation))
        return;
    const uint64_t stamp = LastWriteStamp(FileName);
    if (stamp == 0 || stamp == FileStamp)
        return;
    ReloadMediaInformation();
    DoStateChanged(State);
}

uint32_t TBasePlayerManager::IntervalForState() const {
    if (!State.Contains(csInstalled))
        return NotInstalledInterval;
    return State.Contains(csPlaying) ? PlayingInterval : IdleInterval;
}

void TBasePlayerManager::ClearArtwork() {
    // Emptying fires the change notification once; an artwork already empty stays silent.
    if (!Artwork.Empty())
        Artwork.SetSize(0, 0);
}

void TBasePlayerManager::ReloadMediaInformation() {
    if (State.Contains(csReloadingMediaInformation))
        return;
    // The guard changes the state without an event and is dropped on every way out.
    State += {csReloadingMediaInformation};
    ScopeExit guard{[this] { State -= {csReloadingMediaInformation}; }};

    if (FStateOnly)
        return;
    Artist.clear();
    Album.clear();
    Title.clear();
    // Taken before reading: a save that lands while the file is read shows as a newer stamp at the next poll.
    FileStamp = LastWriteStamp(FileName);
    if (FileName.empty()) {
        ClearArtwork();
        return;
    }

    Bitmap32 folder;
    const std::wstring ext = ExtractExtension(FileName);
    TMediaManager* media = MediaManager();
    if (!media || !media->IsSupportedExtension(ext)) {
        HelperFallback(folder);
        return;
    }
    std::unique_ptr<TBaseMediaFormat> format = media->CreateFormat(ext, false, std::wstring());
    if (format) {
        format->ArtworkBoxWidth = ArtworkBoxWidth;
        format->ArtworkBoxHeight = ArtworkBoxHeight;
    }
    if (!format || !format->Open(FileName, false, 0, false)) {
        HelperFallback(folder);
        return;
    }
    ScopeExit closeGuard{[&format] { format->Close(0); }};

    // One poll while the file is open; the events it causes run under the reload guard.
    UpdateState();
    ReadTrackTexts(*format);
    if (format->Tags->Pictures && format->Tags->Pictures->Exists) {
        // The embedded picture decides, even when it did not decode: the folder image is not tried then.
        if (const Bitmap32* art = GetArtwork(format.get()))
            Artwork = *art;
        else
            Artwork.SetSize(0, 0);
    } else if (FindFolderImage(FileName, folder)) {
        Artwork = folder;
    } else {
        ClearArtwork();
    }
}

void TBasePlayerManager::HelperFallback(Bitmap32& Folder) {
    if (HelperBlock) {
        helper::TBlockTags tags;
        if (helper::ReadTags(*HelperBlock, tags)) {
            Artist = AnsiToWide(tags.Artist);
            Album = AnsiToWide(tags.Album);
            Title = AnsiToWide(tags.Title);
        }
    }
    if (FindFolderImage(FileName, Folder))
        Artwork = Folder;
    else
        ClearArtwork();
}

bool TBasePlayerManager::FindFolderImage(const std::wstring& TrackPath, Bitmap32& Bitmap) {
    const std::wstring dir = WithTrailingBackslash(ExtractFolder(TrackPath));
    for (const wchar_t* name : kFolderImageNames) {
        const std::wstring path = dir + name;
        if (!FileExists(path))
            continue;
        // Only the first existing name is tried: a broken folder.jpg hides a good folder.bmp.
        try {
            Bitmap32 picture;
            if (!LoadImageFile(path, picture) || picture.Empty())
                return false;
            Bitmap = picture;
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }
    return false;
}

} // namespace mellodeck
