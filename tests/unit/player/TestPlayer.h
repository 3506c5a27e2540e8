#pragma once
// A concrete manager for the core's tests: no player behind it; the current file is whatever the test
// says, and every poll is counted. And a tiny media format (".ptst") whose file is key=value lines:
// artist=, album=, title=, picture=<path of a JPEG to embed>, badpicture=1 (an embedded picture that does
// not decode).
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "media/core/MediaManager.h"
#include "common/TextConvert.h"
#include "player/BasePlayerManager.h"

namespace mellodeck::test {

class TTestManager : public TBasePlayerManager {
public:
    ~TTestManager() override {
        BeginDestroy();
        SetActive(false);
    }
    void SetActive(bool Value) override { FActive = Value; }
    bool RepeatMode() override { return false; }
    void SetRepeatMode(bool) override {}
    bool ShuffleMode() override { return false; }
    void SetShuffleMode(bool) override {}
    bool PlayerVisible() override { return false; }
    void SetPlayerVisible(bool) override {}
    bool IsInstalled() override { return false; }
    void GetPlayerPath(std::wstring& Path) override { Path.clear(); }
    int64_t GetDuration() override { return 0; }
    int64_t GetPosition() override { return 0; }
    void Seek(int64_t) override {}
    void GetCurrentFileName(std::wstring& Name) override { Name = CurrentName; }
    int32_t GetPlaylistLength() override { return 0; }
    bool Launch(TLaunchMode) override { return false; }
    bool ClosePlayer() override { return false; }
    void Play() override {}
    void Pause() override {}
    void Stop() override {}
    void Previous() override {}
    void Next() override {}
    void RestartPlayer() override {}
    void Enqueue(const std::vector<std::wstring>*) override {}
    void SendHelperStrings(const std::wstring&, const std::wstring&) override {}
    bool IsPlaying() override { return false; }
    bool IsPaused() override { return false; }
    bool CanPrevious() override { return false; }
    bool CanNext() override { return false; }
    void UpdateState() override {
        ++Polls;
        PollStates.push_back(State);
        if (OnPoll)
            OnPoll();
    }
    int32_t GetHelperVersion() override { return -1; }

    std::wstring CurrentName;
    int Polls = 0;
    std::vector<TControlStates> PollStates;
    std::function<void()> OnPoll;
};

class TPlayerTestTags : public TCommonMediaTags {
public:
    explicit TPlayerTestTags(TBaseMediaFormat* format) : TCommonMediaTags(format) {
        Pictures = Make<TBasePictureTag>();
        for (const auto& slot : StringSlots())
            this->*slot.Member = Make<TBaseStringTag>();
    }
};

class TPlayerTestFormat : public TBaseMediaFormat {
public:
    TPlayerTestFormat() { SetTags(std::make_unique<TPlayerTestTags>(this)); }
    const char* ClassName() const override { return "TPlayerTestFormat"; }
    bool ReadInfo() override {
        std::string text(static_cast<size_t>(Stream->Size()), '\0');
        Stream->ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            const size_t eq = line.find('=');
            if (eq == std::string::npos)
                continue;
            const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
            if (key == "artist")
                Tags->Artist->SetValue(Utf8ToWide(value));
            else if (key == "album")
                Tags->Album->SetValue(Utf8ToWide(value));
            else if (key == "title")
                Tags->Title->SetValue(Utf8ToWide(value));
            else if (key == "picture" || key == "badpicture")
                AddPicture(key == "picture" ? ReadFile(value) : std::string("not a picture at all"));
        }
        return true;
    }

private:
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void AddPicture(const std::string& bytes) {
        TPictureItem* item = Tags->Pictures->Add();
        item->MIMEType = "image/jpeg";
        item->PictureType = 3;
        DecodePictureByMime(*item, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        Tags->Pictures->Exists = true;
    }
};

// Registers ".ptst" with the global media manager once per process.
inline void RegisterPlayerTestFormat() {
    MediaLibraryStart();
    if (!MediaManager()->IsSupportedExtension(L".ptst"))
        MediaManager()->RegisterFormat(".ptst", [] { return std::make_unique<TPlayerTestFormat>(); },
                                       L"Player test file", L"Mellodeck.PlayerTest");
}

} // namespace mellodeck::test
