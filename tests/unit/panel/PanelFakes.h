#pragma once
// Stand-ins for what the panel model talks to, for native tests: a canvas with fixed glyph metrics that
// records the texts drawn, a window that records invalidations, timers and capture, options kept in
// memory, and a player manager whose state and track the test sets and whose commands it records.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/FileUtils.h"
#include "panel/AxAlpha.h"
#include "panel/GoogleSideBar.h"

namespace mellodeck::test {

// "C:\Music\<name>" with the platform's separator (the drive-letter rules hold in both builds).
inline std::wstring DrivePath(const std::wstring& name) {
    return std::wstring(L"C:") + kPathDelimiter + L"Music" + kPathDelimiter + name;
}

// Text: every line is kLineHeight pixels high (the track font) or kCanvasLineHeight (the canvas font);
// wrapped text takes kCanvasLineHeight per kCharsPerWrappedLine characters.
class TFakeCanvas : public TPanelCanvas {
public:
    static constexpr int kLineHeight = 13;
    static constexpr int kCanvasLineHeight = 14;
    static constexpr int kCharsPerWrappedLine = 20;

    struct TDrawnText {
        std::wstring Text;
        TRect R;
        TTextAlign Align;
        TColor Colour;
    };

    TFakeCanvas(int w, int h) : Bitmap(w, h) {}
    TPixelSurface Surface() override { return SurfaceOf(Bitmap); }
    int LineHeight(const std::wstring&, const TRect&, TTextFace Face) override {
        return Face == TTextFace::Track ? kLineHeight : kCanvasLineHeight;
    }
    void DrawLine(const std::wstring& Text, const TRect& R, TTextAlign Align, TColor Colour, TTextFace) override {
        Texts.push_back({Text, R, Align, Colour});
    }
    int WrappedHeight(const std::wstring& Text, const TRect&, TTextFace) override {
        return kCanvasLineHeight * static_cast<int>((Text.size() + kCharsPerWrappedLine - 1) / kCharsPerWrappedLine);
    }
    void DrawWrapped(const std::wstring& Text, const TRect& R, TColor Colour, TTextFace) override {
        Texts.push_back({Text, R, TTextAlign::Center, Colour});
    }
    void DrawSunkenEdge(const TRect& R) override { SunkenEdges.push_back(R); }

    Bitmap32 Bitmap;
    std::vector<TDrawnText> Texts;
    std::vector<TRect> SunkenEdges;
};

// Skins of the right sizes; every cell of a strip is filled with a colour that names the strip and the
// cell (blue = cell index * 16 + 1, green = strip number), so a test can tell which cell was copied.
inline Bitmap32 MakeSkin(int stripNumber, int width, int height, int cell) {
    Bitmap32 b(width, height);
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            b.SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(stripNumber) << 8 | static_cast<uint32_t>(x / cell * 16 + 1));
    return b;
}

// Hotkey registrations as the system would see them: id -> (modifiers, key).
class TFakeRegistrar : public IHotkeyRegistrar {
public:
    explicit TFakeRegistrar(std::map<int32_t, std::pair<uint32_t, uint32_t>>& registered) : Registered(registered) {}
    bool Register(int32_t id, uint32_t modifiers, uint32_t key) override {
        if (key == 0)
            return false;
        Registered[id] = {modifiers, key};
        return true;
    }
    bool Unregister(int32_t id) override { return Registered.erase(id) != 0; }
    std::map<int32_t, std::pair<uint32_t, uint32_t>>& Registered;
};

class TFakePlatform : public TPanelPlatform {
public:
    bool WindowExists() const override { return Exists; }
    TRect ClientRect() const override { return Exists ? Client : TRect{}; }
    void Invalidate(const TRect* R) override {
        ++Invalidations;
        if (R)
            InvalidatedRects.push_back(*R);
    }
    void SetFadeTimer(bool On) override {
        TimerOn = On;
        if (On)
            ++TimerStarts;
    }
    bool LoadSkin(const wchar_t* Name, Bitmap32& Out) override {
        const std::wstring n = Name;
        if (!WithSkins)
            return false;
        static const struct { const wchar_t* Name; int W, H, Cell; } kSkins[] = {
            {L"SB_BUTTONS", 192, 16, 16},       {L"SB_BUTTONS_DISABLED", 128, 16, 16},
            {L"SB_BUTTONS_PRESSED", 128, 16, 16}, {L"SB_BUTTONS_HOT", 128, 16, 16},
            {L"SB_SHUFFLE", 68, 16, 17},        {L"SB_SHUFFLE_PRESSED", 68, 16, 17},
            {L"SB_SHUFFLE_HOT", 68, 16, 17},    {L"SB_SEEKBAR", 15, 8, 15},
            {L"SB_SEEKBAR_THUMB", 18, 8, 18},   {L"SB_FILLER", 7, 8, 7}};
        for (int i = 0; i < static_cast<int>(std::size(kSkins)); ++i)
            if (n == kSkins[i].Name) {
                Out = MakeSkin(i + 1, kSkins[i].W, kSkins[i].H, kSkins[i].Cell);
                return true;
            }
        return false;
    }
    TPanelCanvas& ContentCanvas(int Width, int Height) override {
        if (!Content || Content->Bitmap.Width() != Width || Content->Bitmap.Height() != Height)
            Content = std::make_unique<TFakeCanvas>(Width, Height);
        Content->Texts.clear();
        return *Content;
    }
    bool HasCapture() const override { return Captured; }
    void SetCapture() override { Captured = true; }
    void ReleaseCapture() override { Captured = false; }
    void SetCursor(TCursor C) override { Cursor = C; }
    void HideHint() override { ++HintsHidden; }
    std::unique_ptr<IHotkeyRegistrar> CreateHotkeyRegistrar() override {
        return std::make_unique<TFakeRegistrar>(Hotkeys);
    }
    void RunInstallPrompt() override { ++InstallPrompts; }
    void RunEditCommand(const std::wstring& FileName) override { EditedFiles.push_back(FileName); }

    bool Exists = false;
    bool WithSkins = true;
    TRect Client{0, 0, 200, 200};
    int Invalidations = 0;
    std::vector<TRect> InvalidatedRects;
    bool TimerOn = false;
    int TimerStarts = 0;
    std::unique_ptr<TFakeCanvas> Content;
    bool Captured = false;
    TCursor Cursor = crDefault;
    int HintsHidden = 0;
    int InstallPrompts = 0;
    std::vector<std::wstring> EditedFiles;
    std::map<int32_t, std::pair<uint32_t, uint32_t>> Hotkeys;
};

// A manager with no player behind it: the test sets State and the track; commands are recorded.
class TFakeManager : public TBasePlayerManager {
public:
    TFakeManager() { SetPlayerName(L"WinAmp"); }
    ~TFakeManager() override {
        BeginDestroy();
        SetActive(false);
    }
    void SetActive(bool Value) override {
        if (Value && !FActive)
            ++Activations;
        FActive = Value;
    }
    bool RepeatMode() override { return State.Contains(csRepeat); }
    void SetRepeatMode(bool v) override { Pending = v ? Pending + TControlStates{csRepeat} : Pending - TControlStates{csRepeat}; }
    bool ShuffleMode() override { return State.Contains(csShuffle); }
    void SetShuffleMode(bool v) override { Pending = v ? Pending + TControlStates{csShuffle} : Pending - TControlStates{csShuffle}; }
    bool PlayerVisible() override { return Visible; }
    void SetPlayerVisible(bool v) override { Visible = v; Commands.push_back(v ? "show" : "hide"); }
    bool IsInstalled() override { return State.Contains(csInstalled); }
    void GetPlayerPath(std::wstring& Path) override { Path.clear(); }
    int64_t GetDuration() override { return 0; }
    int64_t GetPosition() override { return 0; }
    void Seek(int64_t Position) override { Commands.push_back("seek " + std::to_string(Position)); }
    void GetCurrentFileName(std::wstring& Name) override { Name = FileName; }
    int32_t GetPlaylistLength() override { return PlaylistLength; }
    bool Launch(TLaunchMode Mode) override {
        Commands.push_back(Mode == lmMinimized ? "launch minimized" : "launch normal");
        return true;
    }
    bool ClosePlayer() override { return false; }
    void Play() override { Commands.push_back("play"); }
    void Pause() override { Commands.push_back("pause"); }
    void Stop() override { Commands.push_back("stop"); }
    void Previous() override { Commands.push_back("previous"); }
    void Next() override { Commands.push_back("next"); }
    void RestartPlayer() override {}
    void ClearPlaylist() override { Commands.push_back("clear"); }
    void Enqueue(const std::vector<std::wstring>* Files) override {
        for (const auto& f : *Files)
            Commands.push_back("enqueue " + std::string(f.begin(), f.end()));
    }
    void SendHelperStrings(const std::wstring&, const std::wstring&) override {}
    bool IsPlaying() override { return State.Contains(csPlaying); }
    bool IsPaused() override { return State.Contains(csPaused); }
    bool CanPrevious() override { return true; }
    bool CanNext() override { return true; }
    // A poll: the modes the commands set take effect.
    void UpdateState() override {
        const TControlStates modes{csShuffle, csRepeat};
        SetState(Pending - (Pending - modes), modes - Pending);
    }
    int32_t GetHelperVersion() override { return 1; }

    // Moves to a new state, firing OnStateChanged as the manager does.
    void Become(TControlStates s) {
        Pending = s;
        SetState(s, TControlStates::FromBits(0x7F) - s);
    }

    TControlStates Pending;
    bool Visible = true;
    int32_t PlaylistLength = 3;
    int Activations = 0;
    std::vector<std::string> Commands;
};

} // namespace mellodeck::test
