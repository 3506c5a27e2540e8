#include "DemoWalk.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <thread>

#include "SidebarSite.h"

#include "common/TextConvert.h"
#include "common/win/ComInit.h"
#include "common/win/ComPtr.h"
#include "common/win/RegKey.h"
#include "common/win/WindowBase.h"
#include "host/HostIds.h"
#include "imaging/ImageCodecs.h"
#include "media/core/MediaManager.h"
#include "panel/GoogleSideBarConsts.h"
#include "panel/PanelSettings.h"
#include "panel/win/GoogleSideBarWindow.h"
#include "panel/win/SkinResources.h"
#include "player/PlayerProtocol.h"
#include "player/win/WinAmpManager.h"

namespace mellodeck::demo {

namespace fs = std::filesystem;

namespace {

constexpr int kTallWidth = 260, kTallHeight = 300;
constexpr int kWideWidth = 300, kWideHeight = 120;
constexpr uint32_t kBackground = 0xFAFAFA;
// The walk's own window around the panel when it is not hosted by the stand-in sidebar.
constexpr DWORD kHostStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;

// The library as make-library.sh lays it out.
const wchar_t* const kFirstLight = L"Aurora Lane\\Northern Lights\\01 First Light.mp3";
const wchar_t* const kAurora = L"Aurora Lane\\Northern Lights\\03 Aurora.flac";
const wchar_t* const kPolarNight = L"Aurora Lane\\Northern Lights\\02 Polar Night.mp3";
const wchar_t* const kPetals = L"\u00C9lodie Marchand\\Caf\u00E9 Lumi\u00E8re\\01 P\u00E9tales.m4a";
const wchar_t* const kUntagged = L"Loose Ends\\untagged.mp3";
const wchar_t* const kDrizzle = L"Rain on Tin\\Field Notes\\01 Drizzle.ogg";
const wchar_t* const kOldV1 = L"Loose Ends\\old v1 tag.mp3";

class THostWindow : public win::WindowBase {
public:
    bool Closed = false;

protected:
    const wchar_t* ClassName() const override { return L"Mellodeck.DemoHost"; }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CLOSE) {
            Closed = true;
            return 0;
        }
        return WindowBase::WindowProc(message, wParam, lParam);
    }
};

bool SameFile(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The window's client area as WM_PRINTCLIENT draws it, alpha forced opaque (GDI leaves it 0).
Bitmap32 Capture(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    Bitmap32 b;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP dib = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dc || !dib || !bits || r.right <= 0 || r.bottom <= 0) {
        if (dib)
            ::DeleteObject(dib);
        if (dc)
            ::DeleteDC(dc);
        return b;
    }
    HGDIOBJ old = ::SelectObject(dc, dib);
    ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    ::GdiFlush();
    const auto* first = static_cast<const uint8_t*>(bits);
    std::vector<uint8_t> pixels(first, first + static_cast<size_t>(r.right) * r.bottom * 4);
    for (size_t i = 3; i < pixels.size(); i += 4)
        pixels[i] = 255;
    ::SelectObject(dc, old);
    ::DeleteObject(dib);
    ::DeleteDC(dc);
    b.Assign(r.right, r.bottom, std::move(pixels));
    return b;
}

uint32_t Rgb(uint32_t argb) { return argb & 0xFFFFFF; }

std::wstring HexResult(HRESULT hr) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// The panel window object behind the control's window. The walk reads the panel's state for its checks
// from it: the driver is built from the same sources as the control's module, so the object's layout is
// the one it knows. Null unless the window is the panel's.
TGoogleSideBarWindow* PanelOfControlWindow(HWND window) {
    wchar_t name[64] = {};
    if (!window || !::GetClassNameW(window, name, 64) || std::wstring(name) != TGoogleSideBarWindow::kClassName)
        return nullptr;
    win::WindowBase* base = win::WindowBase::BoundObject(window);
    return base ? static_cast<TGoogleSideBarWindow*>(base) : nullptr;
}

int Inked(const Bitmap32& b, const TRect& r) {
    int n = 0;
    for (int y = std::max(0, r.Top); y < std::min(b.Height(), r.Bottom); ++y)
        for (int x = std::max(0, r.Left); x < std::min(b.Width(), r.Right); ++x)
            n += Rgb(b.PixelAt(x, y)) != kBackground;
    return n;
}

// Pixels of R whose channels differ by more than a grey text's would: picture content.
int Coloured(const Bitmap32& b, const TRect& r) {
    int n = 0;
    for (int y = std::max(0, r.Top); y < std::min(b.Height(), r.Bottom); ++y)
        for (int x = std::max(0, r.Left); x < std::min(b.Width(), r.Right); ++x) {
            const uint32_t p = b.PixelAt(x, y);
            const int red = (p >> 16) & 0xFF, green = (p >> 8) & 0xFF, blue = p & 0xFF;
            n += std::max({red, green, blue}) - std::min({red, green, blue}) > 40;
        }
    return n;
}

std::wstring Quote(const std::wstring& s) { return L"\"" + s + L"\""; }

// One of the person's option values as it was before the walk changed it: put back exactly (removed when
// it did not exist), so the demo and its test leave the user's options as they found them.
struct TSavedOption {
    const wchar_t* Name;
    bool Existed = false;
    DWORD Type = 0;
    std::vector<BYTE> Data;

    explicit TSavedOption(const wchar_t* name) : Name(name) {
        win::RegKey key = win::RegKey::Open(HKEY_CURRENT_USER, kPanelSettingsKey, KEY_QUERY_VALUE);
        DWORD size = 0;
        if (key && ::RegQueryValueExW(key.Get(), Name, nullptr, &Type, nullptr, &size) == ERROR_SUCCESS) {
            Data.resize(size);
            Existed = ::RegQueryValueExW(key.Get(), Name, nullptr, &Type, Data.data(), &size) == ERROR_SUCCESS;
            Data.resize(size);
        }
    }
    void Restore() const {
        win::RegKey key = win::RegKey::Open(HKEY_CURRENT_USER, kPanelSettingsKey, KEY_SET_VALUE);
        if (!key)
            return;
        if (Existed)
            ::RegSetValueExW(key.Get(), Name, 0, Type, Data.data(), static_cast<DWORD>(Data.size()));
        else
            ::RegDeleteValueW(key.Get(), Name);
    }
};

} // namespace

void PumpOnce() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        PumpOnce();
        if (done())
            return true;
        if (::GetTickCount64() > end)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

bool InstallStandinPlayer(const std::wstring& Dir, const std::wstring& StandinExe, const std::wstring& HelperDll,
                          const std::vector<std::string>& ConfigLines) {
    std::error_code error;
    const fs::path dir(Dir);
    fs::remove_all(dir, error);
    fs::create_directories(dir / L"Plugins", error);
    if (!fs::copy_file(StandinExe, dir / L"standin-player.exe", fs::copy_options::overwrite_existing, error) ||
        !fs::copy_file(HelperDll, dir / L"Plugins" / L"gen_Pelorix.dll", fs::copy_options::overwrite_existing, error))
        return false;
    std::ofstream cfg(dir / L"standin-player.cfg", std::ios::binary);
    for (const auto& line : ConfigLines)
        cfg << line << "\n";
    return static_cast<bool>(cfg);
}

void RegisterPlayer(const std::wstring& PlayerExe) {
    const std::wstring command = Quote(PlayerExe) + L" \"%1\"";
    win::RegKey key = win::RegKey::Create(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Classes\\") + player::kCommandKey,
                                          KEY_SET_VALUE);
    if (key)
        ::RegSetValueExW(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                         static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
}

void UnregisterPlayer() { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Winamp.File"); }

void EndStandinPlayers() {
    for (int round = 0; round < 20; ++round) {
        HWND window = ::FindWindowW(L"Winamp v1.x", nullptr);
        if (!window)
            return;
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
            ::TerminateProcess(process, 9);
            ::WaitForSingleObject(process, 10000);
            ::CloseHandle(process);
        }
        PumpUntil([] { return false; }, 50);
    }
}

struct TDemoWalk::TImpl {
    TDemoOptions& O;
    std::vector<TDemoCapture>& Captures;
    THostWindow Host;
    std::unique_ptr<TGoogleSideBarWindow> Panel;
    // Hosted: OLE on this thread (the sidebar's), the stand-in sidebar with the control in it, and what its
    // display site was told.
    std::optional<win::OleInitScope> Ole;
    standin::TSiteLog SiteLog;
    std::unique_ptr<standin::TSidebarHost> Sidebar;
    // The panel's window, ours or the control's.
    TGoogleSideBarWindow* PanelWindow = nullptr;
    std::wstring PlayerDir, PlayerExe, PlayerLog;
    Bitmap32 Strips[4]; // normal, hot, pressed, disabled button cells
    Bitmap32 ShuffleStrips[3];
    std::optional<TSavedOption> SavedRunMinimized, SavedReplace; // taken under the lock
    HANDLE Lock = nullptr;

    TImpl(TDemoOptions& options, std::vector<TDemoCapture>& captures) : O(options), Captures(captures) {}

    ~TImpl() {
        PanelWindow = nullptr;
        Sidebar.reset();
        Panel.reset();
        if (SavedRunMinimized)
            SavedRunMinimized->Restore();
        if (SavedReplace)
            SavedReplace->Restore();
        Host.Destroy();
        EndStandinPlayers();
        UnregisterPlayer();
        if (Lock) {
            ::ReleaseMutex(Lock);
            ::CloseHandle(Lock);
        }
    }

    void Say(const std::wstring& line) {
        if (O.Say)
            O.Say(line);
    }

    std::wstring Library(const wchar_t* relative) const { return (fs::path(O.LibraryDir) / relative).wstring(); }

    TGoogleSideBar& P() { return PanelWindow->Panel(); }
    HWND PanelHandle() const { return PanelWindow->Handle(); }
    TBasePlayerManager& M() { return *P().ActiveManager; }

    // ---- the player's installation -------------------------------------------------------------------

    // Copies the stand-in with the helper in its Plugins folder and writes its configuration: the log, this
    // process as its parent (it closes when the walk ends), a fixed length per entry so nothing ends on its
    // own during the walk, the playlist in walk order, loaded but not started.
    bool InstallPlayer() {
        const fs::path dir = fs::path(O.OutDir) / L"player";
        PlayerDir = dir.wstring();
        PlayerExe = (dir / L"standin-player.exe").wstring();
        PlayerLog = (dir / L"player.log").wstring();
        std::vector<std::string> cfg = {"/log", WideToUtf8(PlayerLog), "/parent", std::to_string(::GetCurrentProcessId()),
                                        "/lifetime", O.Interactive ? "3600" : "600", "/length", "600", "/noplay"};
        for (const wchar_t* f : {kFirstLight, kPetals, kAurora, kUntagged, kDrizzle})
            cfg.push_back(WideToUtf8(Library(f)));
        if (!InstallStandinPlayer(PlayerDir, O.StandinExe, O.HelperDll, cfg)) {
            Say(L"cannot install the stand-in player into " + PlayerDir);
            return false;
        }
        return true;
    }



    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::ifstream in(fs::path(PlayerLog), std::ios::binary);
        std::string line;
        while (std::getline(in, line))
            lines.push_back(line);
        return lines;
    }
    bool LogHas(const std::string& prefix) const {
        for (const auto& l : LogLines())
            if (l.rfind(prefix, 0) == 0)
                return true;
        return false;
    }

    // ---- input as a person gives it ------------------------------------------------------------------

    void MouseAway() {
        ::SendMessageW(PanelHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(-8, -8));
        PumpOnce();
    }
    void Click(const TBaseSideBarControl& control) {
        const TRect r = control.GetBounds();
        const LPARAM at = MAKELPARAM((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
        ::SendMessageW(PanelHandle(), WM_MOUSEMOVE, 0, at);
        ::SendMessageW(PanelHandle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(PanelHandle(), WM_LBUTTONUP, 0, at);
        MouseAway();
    }

    // Lets the artwork's fade run to its end: the window's timer ticks, sent rather than waited for.
    void FinishFade() {
        for (int i = 0; i < kFadeSteps && P().FadeStep < kFadeSteps; ++i)
            ::SendMessageW(PanelHandle(), WM_TIMER, TGoogleSideBarWindow::kFadeTimerId, 0);
        PumpOnce();
    }

    // Waits until the player plays `file` (the panel has read it) and lets the fade finish.
    bool WaitForTrack(const std::wstring& file, bool paused = false) {
        const bool reached = PumpUntil([&] {
            return SameFile(M().FileName, file) && M().State.Contains(csPlaying) &&
                   M().State.Contains(csPaused) == paused;
        });
        FinishFade();
        return reached;
    }

    // ---- checks of a capture ---------------------------------------------------------------------------

    bool CellMatches(const Bitmap32& capture, const TSideBarButton& button, const Bitmap32& strip) const {
        const int w = button.Right - button.Left;
        if (strip.Empty() || button.ImageIndex < 0)
            return false;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < w; ++x)
                if (Rgb(capture.PixelAt(button.Left + x, button.Top + y)) !=
                    Rgb(strip.PixelAt(button.ImageIndex * w + x, y)))
                    return false;
        return true;
    }

    // The buttons row: each image button visible and drawn from its own cell of one of the skin strips,
    // the play button showing pause while playing; no text button.
    void CheckButtonsRow(const Bitmap32& c, TDemoCapture& out, bool playing) {
        TSideBarButtons& b = *P().Buttons;
        const std::pair<const TSideBarButton*, const wchar_t*> row[] = {
            {&b.Play, L"Play"}, {&b.Stop, L"Stop"}, {&b.Prev, L"Previous"}, {&b.Next, L"Next"},
            {&b.Edit, L"Edit"}, {&b.Shuffle, L"Shuffle"}};
        for (const auto& [button, name] : row) {
            if (!button->Visible()) {
                out.Failures.push_back(std::wstring(name) + L" button not shown");
                continue;
            }
            bool drawn = false;
            if (button == &b.Shuffle) {
                for (const Bitmap32& s : ShuffleStrips)
                    drawn = drawn || CellMatches(c, *button, s);
                drawn = drawn || CellMatches(c, *button, Strips[3]);
            } else {
                for (const Bitmap32& s : Strips)
                    drawn = drawn || CellMatches(c, *button, s);
            }
            if (!drawn)
                out.Failures.push_back(std::wstring(name) + L" button's pixels are not its skin cell");
        }
        if (b.Play.ImageIndex != (playing ? 1 : 0))
            out.Failures.push_back(playing ? L"Play button does not show pause while playing"
                                           : L"Play button shows pause while not playing");
        if (b.Launch.Visible() || b.Install.Visible())
            out.Failures.push_back(L"a text button is shown beside the buttons row");
    }

    // The artwork: shown by the panel and drawn as picture pixels inside the content rectangle.
    void CheckArtwork(const Bitmap32& c, TDemoCapture& out) {
        const Bitmap32& art = P().ScaledArtwork;
        if (M().Artwork.Empty() || art.Empty() || !(P().PanelFlags & pfArtworkShown)) {
            out.Failures.push_back(L"no artwork shown");
            return;
        }
        const int coloured = Coloured(c, P().ContentRect);
        if (coloured < art.Width() * art.Height() / 3)
            out.Failures.push_back(L"artwork region nearly empty (" + std::to_wstring(coloured) + L" picture pixels)");
    }

    void CheckNoArtwork(TDemoCapture& out) {
        if (!M().Artwork.Empty() || (P().PanelFlags & pfArtworkShown))
            out.Failures.push_back(L"artwork shown for a track that has none");
    }

    // A text button filling the panel, its caption drawn.
    void CheckTextButton(const Bitmap32& c, TDemoCapture& out, const TSideBarTextButton& button,
                         const wchar_t* name) {
        if (!button.Visible()) {
            out.Failures.push_back(std::wstring(name) + L" text not shown");
            return;
        }
        if (button.Caption().empty())
            out.Failures.push_back(std::wstring(name) + L" text empty");
        if (Inked(c, button.Bounds) < 100)
            out.Failures.push_back(std::wstring(name) + L" text not drawn");
        if (P().Buttons->Play.Visible())
            out.Failures.push_back(L"buttons row shown beside the " + std::wstring(name) + L" text");
    }

    void CheckTitle(TDemoCapture& out, const std::wstring& expected) {
        const TTrackTextLines lines = P().TrackTextLines(P().WideLayout ? TTextAlign::Left : TTextAlign::Center);
        const std::wstring all = lines.Line1 + L"\n" + lines.Line2 + L"\n" + lines.Line3;
        if (all.find(expected) == std::wstring::npos)
            out.Failures.push_back(L"the track text lacks \"" + expected + L"\"");
    }

    TDemoCapture& Shoot(const std::wstring& file, const std::wstring& title, Bitmap32& c) {
        PumpOnce();
        c = Capture(PanelHandle());
        Captures.push_back({file, title, {}});
        TDemoCapture& out = Captures.back();
        std::vector<uint8_t> png;
        if (c.Empty() || !EncodePng(c, png)) {
            out.Failures.push_back(L"capture failed");
            return out;
        }
        std::ofstream(fs::path(O.OutDir) / file, std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        return out;
    }

    void Report(const TDemoCapture& c) {
        Say((c.Failures.empty() ? L"  ok    " : L"  FAIL  ") + c.File + L": " + c.Title);
        for (const auto& f : c.Failures)
            Say(L"        " + f);
    }

    // ---- the panel's hosting -------------------------------------------------------------------------

    // The panel's window in a window of the walk's own, with the handlers the control would install.
    bool CreateOwn() {
        RECT frame{0, 0, kTallWidth, kTallHeight};
        ::AdjustWindowRectEx(&frame, kHostStyle, FALSE, 0);
        if (!Host.Create(0, L"Mellodeck", kHostStyle, 60, 60, frame.right - frame.left, frame.bottom - frame.top,
                         nullptr)) {
            Say(L"cannot create the host window");
            return false;
        }
        Panel = std::make_unique<TGoogleSideBarWindow>();
        PanelWindow = Panel.get();
        // The options a user set before: the player starts minimised, dropped files replace the playlist.
        P().SetRunAlwaysMinimized(true);
        P().SetReplaceWithDropped(true);
        // What the control installs on the panel: files are accepted as links and, on the drop, replace
        // the playlist (or are appended) as the option says.
        P().OnAcceptDrop = [](TGoogleSideBar*, uint32_t, uint32_t& Effect, TPoint, int) {
            Effect = kDropEffectLink;
            return true;
        };
        P().OnFilesDropped = [](TGoogleSideBar* Sender, uint32_t, uint32_t&, TPoint) -> int32_t {
            TBasePlayerManager* m = Sender->ActiveManager;
            if (!m)
                return kResultUnexpected;
            const bool replace = Sender->ReplaceWithDropped();
            if (replace) {
                m->Stop();
                m->ClearPlaylist();
            }
            m->Enqueue(&Sender->DroppedFiles);
            if (replace)
                m->Play();
            return kResultOk;
        };
        if (!Panel->Create(Host.Handle(), RECT{0, 0, kTallWidth, kTallHeight})) {
            Say(L"cannot create the panel");
            return false;
        }
        return true;
    }

    // The control created by its class in the stand-in sidebar, through the registered module, as the
    // sidebar does; the options set through the control's own interface.
    bool CreateHosted() {
        Ole.emplace();
        Sidebar = std::make_unique<standin::TSidebarHost>(SiteLog);
        const HRESULT hr = Sidebar->Create(CLSID_GoogleSideBarX, kTallWidth, kTallHeight, true);
        if (FAILED(hr)) {
            Say(L"cannot create the control (is mellodeck.dll registered?): " + HexResult(hr));
            return false;
        }
        PanelWindow = PanelOfControlWindow(Sidebar->ControlWindow());
        if (!PanelWindow) {
            Say(L"the control has no panel window");
            return false;
        }
        auto control = win::ComPtr<IUnknown>(Sidebar->Control()).As<IGoogleSideBarX>();
        if (!control || FAILED(control->put_RunAlwaysMinimized(VARIANT_TRUE)) ||
            FAILED(control->put_ReplaceWithDropped(VARIANT_TRUE))) {
            Say(L"the control refused its options");
            return false;
        }
        return true;
    }

    // Files dropped at the panel's centre: through the control's drop target when hosted (as the shell
    // drops them), else through the panel's drop path with the handlers CreateOwn installed.
    bool Drop(const std::vector<std::wstring>& files) {
        RECT client{};
        ::GetClientRect(PanelHandle(), &client);
        if (Sidebar) {
            SiteLog.Clear();
            const HRESULT hr = Sidebar->DropFiles(files, client.right / 2, client.bottom / 2, MK_LBUTTON);
            const auto& lines = SiteLog.Lines();
            return hr == S_OK && std::any_of(lines.begin(), lines.end(), [](const std::wstring& l) {
                       return l.rfind(L"Drop effect " + std::to_wstring(DROPEFFECT_LINK) + L" ", 0) == 0;
                   });
        }
        P().DroppedFiles = files;
        uint32_t effect = kDropEffectNone;
        const int32_t result = P().DoDrop(MK_LBUTTON, {client.right / 2, client.bottom / 2},
                                          kDropEffectCopy | kDropEffectLink, effect);
        return result == kResultOk && effect == kDropEffectLink;
    }

    // The sidebar's slot (or the walk's window) resized to width x height.
    void Resize(int width, int height) {
        if (Sidebar) {
            Sidebar->Resize(width, height);
            return;
        }
        RECT frame{0, 0, width, height};
        ::AdjustWindowRectEx(&frame, kHostStyle, FALSE, 0);
        ::SetWindowPos(Host.Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                       SWP_NOMOVE | SWP_NOZORDER);
        ::MoveWindow(PanelHandle(), 0, 0, width, height, TRUE);
    }

    // ---- the control's dialogs, hosted ------------------------------------------------------------------

    // A dialog of this process that comes up while `show` runs its modal loop: `each` captures it from a
    // watcher thread, then the dialog is cancelled. False when none came up.
    bool WithDialog(const std::function<HRESULT()>& show, const std::function<void(HWND)>& each, HRESULT& hr) {
        bool seen = false;
        std::thread watcher([&] {
            HWND dialog = standin::WaitForDialog(nullptr, 20000);
            if (!dialog)
                return;
            seen = true;
            ::Sleep(300); // its first paint
            each(dialog);
            ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        hr = show();
        watcher.join();
        return seen;
    }

    TDemoCapture& ShootDialog(HWND dialog, const std::wstring& file, const std::wstring& title) {
        Captures.push_back({file, title, {}});
        TDemoCapture& out = Captures.back();
        const fs::path path = fs::path(O.OutDir) / file;
        std::error_code error;
        if (!standin::CaptureWindowPng(dialog, path.wstring()) || fs::file_size(path, error) < 1000)
            out.Failures.push_back(L"capture failed");
        return out;
    }

    // The tab control of the options page: the one with the page's three sheets (the property frame has
    // its own, for its one page).
    static HWND SheetTabs(HWND dialog) {
        return standin::FindDescendant(dialog, [](HWND w) {
            wchar_t cls[32] = {};
            ::GetClassNameW(w, cls, 32);
            return std::wstring(cls) == WC_TABCONTROLW && TabCtrl_GetItemCount(w) == 3;
        });
    }

    // The About box (the sidebar's command 1) and each sheet of the options page in the sidebar's property
    // frame, as a person opens them from the sidebar.
    void ShootDialogs() {
        {
            auto commands = win::ComPtr<IUnknown>(Sidebar->Control()).As<IHostPluginCommands>();
            std::wstring caption;
            size_t index = 0;
            HRESULT hr = E_FAIL;
            const bool seen = commands && WithDialog([&] { return commands->ExecuteCommand(1); },
                                                     [&](HWND dialog) {
                                                         wchar_t text[128] = {};
                                                         ::GetWindowTextW(dialog, text, 128);
                                                         caption = text;
                                                         index = Captures.size();
                                                         ShootDialog(dialog, L"12-about.png",
                                                                     L"The About box, from the sidebar's menu");
                                                     },
                                                     hr);
            if (!seen) {
                Captures.push_back({L"12-about.png", L"The About box, from the sidebar's menu", {}});
                index = Captures.size() - 1;
                Captures.back().Failures.push_back(L"no About box came up");
            }
            TDemoCapture& out = Captures[index];
            if (hr != S_OK)
                out.Failures.push_back(L"the About command failed: " + HexResult(hr));
            if (seen && caption.rfind(L"Mellodeck", 0) != 0)
                out.Failures.push_back(L"the About box's title is \"" + caption + L"\"");
            Report(out);
        }
        {
            IUnknown* control = Sidebar->Control();
            const size_t first = Captures.size();
            HRESULT hr = E_FAIL;
            const bool seen = WithDialog(
                [&] {
                    CLSID page = CLSID_TPropertyPageForm;
                    return ::OleCreatePropertyFrame(Sidebar->Window(), 0, 0, L"Mellodeck", 1, &control, 1, &page,
                                                    0x409, 0, nullptr);
                },
                [&](HWND dialog) {
                    HWND tabs = SheetTabs(dialog);
                    for (int i = 0; tabs && i < 3; ++i) {
                        const std::wstring name = standin::TabText(tabs, i);
                        TabCtrl_SetCurSel(tabs, i);
                        NMHDR changed{tabs, static_cast<UINT_PTR>(::GetDlgCtrlID(tabs)), TCN_SELCHANGE};
                        ::SendMessageW(::GetParent(tabs), WM_NOTIFY, changed.idFrom, reinterpret_cast<LPARAM>(&changed));
                        ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                        ::Sleep(200);
                        TDemoCapture& out = ShootDialog(dialog, L"1" + std::to_wstring(3 + i) + L"-options-" +
                                                                    std::to_wstring(i + 1) + L".png",
                                                        L"The options page, its \"" + name +
                                                            L"\" sheet, in the property frame the sidebar opens (under "
                                                            L"Wine the frame is a little narrower than the page asks for)");
                        if (TabCtrl_GetCurSel(tabs) != i)
                            out.Failures.push_back(L"the sheet did not come up");
                    }
                },
                hr);
            if (Captures.size() == first) {
                Captures.push_back({L"13-options-1.png", L"The options page", {}});
                Captures.back().Failures.push_back(seen ? L"the options page has no sheets"
                                                        : L"the options page did not come up");
            }
            for (size_t i = first; i < Captures.size(); ++i) {
                if (FAILED(hr))
                    Captures[i].Failures.push_back(L"the property frame failed: " + HexResult(hr));
                Report(Captures[i]);
            }
        }
    }

    // ---- the walk ----------------------------------------------------------------------------------------

    bool Run() {
        Lock = ::CreateMutexW(nullptr, FALSE, L"Mellodeck.StandinPlayer.TestLock");
        const DWORD locked = Lock ? ::WaitForSingleObject(Lock, 200000) : WAIT_FAILED;
        if (locked != WAIT_OBJECT_0 && locked != WAIT_ABANDONED) {
            Say(L"another stand-in player session did not end in time");
            return false;
        }
        std::error_code error;
        fs::create_directories(O.OutDir, error);
        EndStandinPlayers();
        UnregisterPlayer();
        if (!InstallPlayer())
            return false;
        const wchar_t* const strips[] = {L"SB_BUTTONS", L"SB_BUTTONS_HOT", L"SB_BUTTONS_PRESSED",
                                         L"SB_BUTTONS_DISABLED"};
        const wchar_t* const shuffleStrips[] = {L"SB_SHUFFLE", L"SB_SHUFFLE_HOT", L"SB_SHUFFLE_PRESSED"};
        for (int i = 0; i < 4; ++i)
            win::LoadSkinBitmap(win::ThisModule(), strips[i], Strips[i]);
        for (int i = 0; i < 3; ++i)
            win::LoadSkinBitmap(win::ThisModule(), shuffleStrips[i], ShuffleStrips[i]);

        SavedRunMinimized.emplace(kRunMinimizedValue);
        SavedReplace.emplace(kReplaceWithDroppedValue);
        if (!(O.Hosted ? CreateHosted() : CreateOwn()))
            return false;
        PumpOnce();
        Bitmap32 c;

        // 1. No player: its registration is gone.
        {
            const bool reached = PumpUntil([&] { return P().Buttons->Install.Visible(); });
            TDemoCapture& out = Shoot(L"01-not-installed.png",
                                      L"Player not installed: the panel offers to install it", c);
            if (!reached)
                out.Failures.push_back(L"the panel never showed the Install text");
            CheckTextButton(c, out, P().Buttons->Install, L"Install");
            if (Sidebar) {
                // What the control tells the sidebar's display site when it is placed.
                const auto& lines = SiteLog.Lines();
                for (const wchar_t* told : {L"SetTitle WinAmp", L"SetSizeHint 100 100", L"SetTitleIcon "})
                    if (std::none_of(lines.begin(), lines.end(),
                                     [&](const std::wstring& l) { return l.rfind(told, 0) == 0; }))
                        out.Failures.push_back(L"the sidebar was not told \"" + std::wstring(told) + L"\"");
            }
            Report(out);
        }
        // 2. Installed (the player's file-type registration written), not running.
        RegisterPlayer(PlayerExe);
        {
            const bool reached = PumpUntil([&] { return P().Buttons->Launch.Visible(); });
            TDemoCapture& out =
                Shoot(L"02-not-running.png", L"Player installed but not running: the panel offers to start it", c);
            if (!reached)
                out.Failures.push_back(L"the panel never showed the Start text");
            CheckTextButton(c, out, P().Buttons->Launch, L"Start");
            Report(out);
        }
        // 3. Started from the panel's Start text, minimised as the option says.
        {
            Click(P().Buttons->Launch);
            const bool reached = PumpUntil([&] {
                return M().State.Contains(csLanched) && P().Buttons->Play.Visible() && LogHas("ready");
            });
            FinishFade();
            TDemoCapture& out = Shoot(L"03-started.png",
                                      L"Started from the panel, minimised (the option is on); the player is "
                                      L"stopped and has not reported a file yet, so the panel has no tags to show",
                                      c);
            if (!reached)
                out.Failures.push_back(L"the player did not start from the panel");
            const std::vector<std::string> log = LogLines();
            if (!std::any_of(log.begin(), log.end(), [](const std::string& l) {
                    return l.rfind("start pid", 0) == 0 && l.find(" show 6") != std::string::npos;
                }))
                out.Failures.push_back(L"the player was not started minimised");
            HWND player = ::FindWindowW(L"Winamp v1.x", nullptr);
            if (!player || !::IsIconic(player))
                out.Failures.push_back(L"the player's window is not minimised");
            CheckButtonsRow(c, out, false);
            Report(out);
        }
        // 4. Playing, with the MP3's embedded cover after the fade.
        {
            Click(P().Buttons->Play);
            const bool reached = WaitForTrack(Library(kFirstLight));
            TDemoCapture& out =
                Shoot(L"04-playing.png", L"Playing an MP3 with its embedded cover (after the fade)", c);
            if (!reached)
                out.Failures.push_back(L"the panel did not show the first track playing");
            CheckButtonsRow(c, out, true);
            CheckArtwork(c, out);
            CheckTitle(out, L"First Light");
            Report(out);
        }
        // 5. Next: an MPEG-4 file under accented folder names (within the system's 8-bit code page, through
        // which the helper hands the path over), its covr atom as the cover.
        {
            Click(P().Buttons->Next);
            const bool reached = WaitForTrack(Library(kPetals));
            TDemoCapture& out = Shoot(L"05-next.png",
                                      L"Next: an M4A file under accented folder names, its covr picture (a "
                                      L"landscape one) above the texts",
                                      c);
            if (!reached)
                out.Failures.push_back(L"the panel did not follow Next");
            CheckButtonsRow(c, out, true);
            CheckArtwork(c, out);
            CheckTitle(out, L"P\u00E9tales");
            Report(out);
        }
        // 6. Paused.
        {
            Click(P().Buttons->Play);
            const bool reached = WaitForTrack(Library(kPetals), true);
            TDemoCapture& out = Shoot(L"06-paused.png", L"Paused", c);
            if (!reached)
                out.Failures.push_back(L"the panel did not show the pause");
            CheckButtonsRow(c, out, false);
            CheckArtwork(c, out);
            Report(out);
        }
        // 7. Playing again, Next: a FLAC file. Its tags come from its comment block and its cover from the
        // standard picture block metaflac wrote (there is no folder image beside it).
        {
            Click(P().Buttons->Play);
            WaitForTrack(Library(kPetals));
            Click(P().Buttons->Next);
            const bool reached = WaitForTrack(Library(kAurora));
            TDemoCapture& out = Shoot(L"07-flac.png",
                                      L"Next: a FLAC file, its tags from the comment block and its cover from the "
                                      L"standard picture block",
                                      c);
            if (!reached)
                out.Failures.push_back(L"the panel did not show the FLAC file playing");
            CheckButtonsRow(c, out, true);
            CheckArtwork(c, out);
            CheckTitle(out, L"Aurora");
            Report(out);
        }
        // 8. A file without tags.
        {
            Click(P().Buttons->Next);
            const bool reached = WaitForTrack(Library(kUntagged));
            TDemoCapture& out =
                Shoot(L"08-no-tags.png", L"A file without tags: the panel says so and shows its name", c);
            if (!reached)
                out.Failures.push_back(L"the panel did not show the untagged file playing");
            CheckButtonsRow(c, out, true);
            CheckNoArtwork(out);
            CheckTitle(out, SideBarString(SSongHasNoTags));
            Report(out);
        }
        // 9. An album whose only picture is the folder image.
        {
            Click(P().Buttons->Next);
            const bool reached = WaitForTrack(Library(kDrizzle));
            TDemoCapture& out = Shoot(L"09-folder-image.png",
                                      L"An Ogg file of an album whose only picture is folder.jpg beside it", c);
            if (!reached)
                out.Failures.push_back(L"the panel did not show the folder-image album playing");
            CheckButtonsRow(c, out, true);
            CheckArtwork(c, out);
            CheckTitle(out, L"Drizzle");
            Report(out);
        }
        // 10. Files dropped onto the panel: they replace the playlist (the option is on) and play.
        {
            const bool accepted = Drop({Library(kOldV1), Library(kPolarNight)});
            const bool reached = WaitForTrack(Library(kOldV1));
            TDemoCapture& out = Shoot(L"10-dropped.png",
                                      L"Two files dropped onto the panel replace the playlist (the option is on); "
                                      L"the first plays, an MP3 with only an ID3v1 tag",
                                      c);
            if (!accepted)
                out.Failures.push_back(L"the drop was not accepted");
            if (!reached)
                out.Failures.push_back(L"the dropped file did not play");
            if (!LogHas("clear") || !LogHas("enqueue "))
                out.Failures.push_back(L"the player's playlist was not replaced");
            CheckButtonsRow(c, out, true);
            CheckNoArtwork(out);
            CheckTitle(out, L"Old Timer");
            Report(out);
        }
        // 11. The wide layout: the panel at 300 x 120, Next to the second dropped file.
        {
            Resize(kWideWidth, kWideHeight);
            PumpUntil([&] { return P().WideLayout; }, 5000);
            Click(P().Buttons->Next);
            const bool reached = WaitForTrack(Library(kPolarNight));
            TDemoCapture& out = Shoot(
                L"11-wide.png", L"The wide layout (300 x 120), after Next: an ID3v2.4 MP3, its cover beside the text", c);
            if (!P().WideLayout)
                out.Failures.push_back(L"the panel did not switch to its wide layout");
            if (!reached)
                out.Failures.push_back(L"the panel did not follow Next to the second dropped file");
            CheckButtonsRow(c, out, true);
            CheckArtwork(c, out);
            CheckTitle(out, L"Polar Night");
            Report(out);
        }

        if (Sidebar)
            ShootDialogs();
        WriteIndex();
        if (O.Interactive) {
            Say(L"The panel stays open: click through it, close its window to end.");
            PumpUntil([&] { return Sidebar ? !::IsWindow(Sidebar->Window()) : Host.Closed; }, 24 * 3600 * 1000);
        }
        return true;
    }

    void WriteIndex() {
        std::ofstream index(fs::path(O.OutDir) / L"index.md", std::ios::binary);
        index << "# Mellodeck: the panel's states\n\n";
        if (Sidebar)
            index << "The control, registered with regsvr32 and created by its class in the stand-in sidebar in a "
                     "260 x 300 slot (then 300 x 120), against the stand-in player with the helper plug-in, under "
                     "Wine. Each picture of the panel is the control's window captured through WM_PRINTCLIENT; the "
                     "About box and the options page are captured from the screen.\n\n";
        else
            index << "The real panel in a 260 x 300 window (then 300 x 120), against the stand-in player with the "
                     "helper plug-in, under Wine. Each picture is the panel's own window captured through "
                     "WM_PRINTCLIENT.\n\n";
        int n = 0;
        for (const TDemoCapture& c : Captures) {
            index << ++n << ". " << WideToUtf8(c.Title);
            if (!c.Failures.empty()) {
                index << " **(check failed:";
                for (const auto& f : c.Failures)
                    index << " " << WideToUtf8(f) << ";";
                index << ")**";
            }
            index << "\n\n   ![" << WideToUtf8(c.Title) << "](" << WideToUtf8(c.File) << ")\n\n";
        }
    }
};

TDemoWalk::TDemoWalk(TDemoOptions Options) : FOptions(std::move(Options)) {}
TDemoWalk::~TDemoWalk() = default;

bool TDemoWalk::Run() {
    FCaptures.clear();
    TImpl impl(FOptions, FCaptures);
    return impl.Run();
}

int TDemoWalk::FailureCount() const {
    int n = 0;
    for (const auto& c : FCaptures)
        n += static_cast<int>(c.Failures.size());
    return n;
}

std::wstring TDemoWalk::IndexPath() const { return (fs::path(FOptions.OutDir) / L"index.md").wstring(); }

} // namespace mellodeck::demo
