// mellodeck-tageditor: a small tag editor for one file at a time. It shows the file's Artist, Album, Title,
// Track, Year, Genre and Comment and saves them through the tag library.
//
// It is reached in two ways (the panel's side is src/panel/win/PanelCommands.cpp):
//   - started as  mellodeck-tageditor.exe "<path>" /open
//   - while it runs, by the copy-data open request sent to its main window, whose class name is
//     kTagEditorWindowClass (one editor per desktop: a second start hands its file to the first and ends).
//
// "mellodeck-tageditor.cfg" beside the executable may hold, one per line:
//   /log <file>   append one UTF-8 line per request and result to this file (tests read it)
#include <windows.h>
#include <shellapi.h>

#include <array>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "TagEditorIds.h"
#include "common/FileUtils.h"
#include "common/TextConvert.h"
#include "media/core/MediaManager.h"
#include "panel/TagEditorContract.h"

namespace mellodeck::tageditor {
namespace {

struct TField {
    const wchar_t* Label;
    TBaseStringTag* TCommonMediaTags::*Member;
};
const std::array<TField, kFieldCount> kFields = {{
    {L"Artist", &TCommonMediaTags::Artist},
    {L"Album", &TCommonMediaTags::Album},
    {L"Title", &TCommonMediaTags::Title},
    {L"Track", &TCommonMediaTags::Track},
    {L"Year", &TCommonMediaTags::Year},
    {L"Genre", &TCommonMediaTags::Genre},
    {L"Comment", &TCommonMediaTags::Comment},
}};

constexpr int kLabelWidth = 70;
constexpr int kEditWidth = 320;
constexpr int kRowHeight = 28;
constexpr int kMargin = 12;

HWND gWindow = nullptr;
HFONT gFont = nullptr;
std::wstring gLogPath;
std::wstring gFileName; // the file shown; empty when none

std::wstring ExePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void Log(const std::wstring& line) {
    if (gLogPath.empty())
        return;
    // Opened per line so a reader sees every line at once.
    std::ofstream out(gLogPath.c_str(), std::ios::app | std::ios::binary);
    out << WideToUtf8(line) << "\n";
}

void ReadConfiguration() {
    std::ifstream cfg((ExtractFolder(ExePath()) + L"\\mellodeck-tageditor.cfg").c_str(), std::ios::binary);
    std::string line;
    while (std::getline(cfg, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        if (line.rfind("/log ", 0) == 0)
            gLogPath = Utf8ToWide(line.substr(5));
    }
}

HWND Field(int index) { return GetDlgItem(gWindow, kFirstFieldId + index); }

std::wstring ControlText(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void SetStatus(const std::wstring& text) { SetDlgItemTextW(gWindow, kStatusId, text.c_str()); }

void EnableEditing(bool enabled) {
    for (int i = 0; i < kFieldCount; ++i)
        EnableWindow(Field(i), enabled);
    EnableWindow(GetDlgItem(gWindow, kSaveButtonId), enabled);
}

// A format object for the file, or nullptr (with the reason in `error`) when the library does not know its type.
std::unique_ptr<TBaseMediaFormat> CreateFormatFor(const std::wstring& fileName, std::wstring& error) {
    const std::wstring extension = ExtractExtension(ExtractName(fileName));
    TMediaManager* manager = MediaManager();
    if (!manager || !manager->IsSupportedExtension(extension)) {
        error = L"unsupported file type";
        return nullptr;
    }
    return manager->CreateFormat(extension, false, fileName);
}

// Shows the file's fields. A file that cannot be read leaves the fields empty and editing off.
void OpenFile(const std::wstring& fileName) {
    gFileName = fileName;
    for (int i = 0; i < kFieldCount; ++i)
        SetWindowTextW(Field(i), L"");
    SetWindowTextW(gWindow, (L"Marquill - " + (fileName.empty() ? std::wstring(L"no file") : ExtractName(fileName))).c_str());
    if (fileName.empty()) {
        EnableEditing(false);
        SetStatus(L"No file");
        Log(L"opened none");
        return;
    }
    std::wstring error;
    std::unique_ptr<TBaseMediaFormat> format = CreateFormatFor(fileName, error);
    bool ok = false;
    if (format) {
        ok = format->Open(fileName, false, 0, false);
        if (!ok)
            error = L"error " + std::to_wstring(format->LastError);
    }
    if (!ok) {
        EnableEditing(false);
        SetStatus(L"Cannot read " + fileName + L": " + error);
        Log(L"opened failed " + fileName + L" " + error);
        return;
    }
    for (int i = 0; i < kFieldCount; ++i) {
        const TBaseStringTag* tag = format->Tags.get()->*kFields[static_cast<size_t>(i)].Member;
        SetWindowTextW(Field(i), tag ? tag->Value.c_str() : L"");
    }
    format->Close(0);
    EnableEditing(true);
    SetStatus(fileName);
    Log(L"opened ok " + fileName);
}

// Writes the seven fields into the file; the other tags and pictures stay as they are.
void SaveFile() {
    if (gFileName.empty())
        return;
    std::wstring error;
    std::unique_ptr<TBaseMediaFormat> format = CreateFormatFor(gFileName, error);
    bool ok = false;
    if (format && format->Open(gFileName, true, 0, false)) {
        for (int i = 0; i < kFieldCount; ++i) {
            TBaseStringTag* tag = format->Tags.get()->*kFields[static_cast<size_t>(i)].Member;
            const std::wstring text = ControlText(Field(i));
            if (tag && tag->Value != text)
                tag->SetValue(text);
        }
        ok = format->Post(0);
        if (!ok)
            error = L"error " + std::to_wstring(format->PostResult ? format->PostResult : format->LastError);
    } else if (format) {
        error = L"error " + std::to_wstring(format->LastError);
    }
    if (ok) {
        SetStatus(L"Saved " + gFileName);
        Log(L"saved ok " + gFileName);
    } else {
        SetStatus(L"Could not save " + gFileName + L": " + error);
        Log(L"saved failed " + gFileName + L" " + error);
    }
}

void CreateControls(HWND window) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        gFont = CreateFontIndirectW(&metrics.lfMessageFont);
    const auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id) {
        HWND control = CreateWindowExW(cls == std::wstring(L"EDIT") ? WS_EX_CLIENTEDGE : 0, cls, text,
                                       WS_CHILD | WS_VISIBLE | style, x, y, w, h, window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        if (gFont)
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(gFont), FALSE);
    };
    for (int i = 0; i < kFieldCount; ++i) {
        const int y = kMargin + i * kRowHeight;
        make(L"STATIC", kFields[static_cast<size_t>(i)].Label, 0, kMargin, y + 3, kLabelWidth, 20, -1);
        make(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, kMargin + kLabelWidth, y, kEditWidth, 22, kFirstFieldId + i);
    }
    const int y = kMargin + kFieldCount * kRowHeight + 6;
    make(L"BUTTON", L"Save", WS_TABSTOP | BS_DEFPUSHBUTTON, kMargin + kLabelWidth + kEditWidth - 90, y, 90, 26,
         kSaveButtonId);
    make(L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS, kMargin, y + 36, kLabelWidth + kEditWidth, 20,
         kStatusId);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        gWindow = window;
        CreateControls(window);
        return 0;
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        std::string command;
        std::wstring path;
        if (!data || data->dwData != 0 ||
            !ParseOpenRequest(static_cast<const uint8_t*>(data->lpData), data->cbData, command, path) ||
            command != kTagEditorOpenCommand) {
            Log(L"request refused");
            return FALSE;
        }
        Log(L"request open " + path);
        OpenFile(path);
        if (IsIconic(window))
            ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == kSaveButtonId && HIWORD(wParam) == BN_CLICKED) {
            SaveFile();
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The file named on the command line: "<path>" /open. Anything else opens no file.
bool CommandLineFile(std::wstring& path) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    bool found = false;
    if (argv && count == 3 && lstrcmpiW(argv[2], L"/open") == 0) {
        path = argv[1];
        found = true;
    }
    if (argv)
        LocalFree(argv);
    return found;
}

// Hands the file to an editor that already runs; true when it took it.
bool ForwardToRunningEditor(const std::wstring& path) {
    HWND running = FindWindowW(kTagEditorWindowClass, nullptr);
    if (!running)
        return false;
    std::vector<uint8_t> block = BuildOpenRequest(path);
    COPYDATASTRUCT data{0, static_cast<DWORD>(block.size()), block.data()};
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               kTagEditorRequestTimeout, &answer) != 0 &&
           answer != 0;
}

int Run(int show) {
    ReadConfiguration();
    std::wstring path;
    const bool hasFile = CommandLineFile(path);
    Log(L"start " + std::to_wstring(GetCurrentProcessId()) + (hasFile ? L" command open " + path : L" no file"));
    if (hasFile && ForwardToRunningEditor(path)) {
        Log(L"forwarded");
        return 0;
    }
    MediaLibraryStart();

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kTagEditorWindowClass;
    if (!RegisterClassExW(&wc))
        return 1;
    RECT frame{0, 0, 2 * kMargin + kLabelWidth + kEditWidth, 2 * kMargin + kFieldCount * kRowHeight + 70};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW & ~(WS_MAXIMIZEBOX | WS_THICKFRAME), FALSE, 0);
    HWND window = CreateWindowExW(0, kTagEditorWindowClass, L"Marquill", WS_OVERLAPPEDWINDOW & ~(WS_MAXIMIZEBOX | WS_THICKFRAME),
                                  CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    OpenFile(hasFile ? path : std::wstring());
    ShowWindow(window, show);
    Log(L"ready");

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (gFont)
        DeleteObject(gFont);
    MediaLibraryEnd();
    Log(L"exit");
    return 0;
}

} // namespace
} // namespace mellodeck::tageditor

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int show) { return mellodeck::tageditor::Run(show); }
