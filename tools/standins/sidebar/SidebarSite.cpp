#include "SidebarSite.h"

#include <commctrl.h>

#include <png.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "common/TextConvert.h"
#include "common/win/Bstr.h"
#include "common/win/GdiObjects.h"

namespace mellodeck::standin {

void TSiteLog::Add(const std::wstring& line) {
    FLines.push_back(line);
    if (FPath.empty())
        return;
    if (FILE* file = _wfopen(FPath.c_str(), L"ab")) {
        const std::string bytes = WideToUtf8(line) + "\n";
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

// ---- the site ----------------------------------------------------------------------------------------

TSidebarSite::TSidebarSite(TSidebarHost& host, bool displaySite) : FHost(&host), FDisplaySite(displaySite) {}

HRESULT TSidebarSite::QueryOtherInterface(REFIID, void**) { return E_NOINTERFACE; }

HRESULT TSidebarSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT TSidebarSite::GetContainer(IOleContainer** container) {
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT TSidebarSite::GetWindow(HWND* window) {
    if (!window)
        return E_POINTER;
    *window = FHost ? FHost->Window() : nullptr;
    return *window ? S_OK : E_FAIL;
}

HRESULT TSidebarSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                       LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (!frame || !document || !position || !clip || !info)
        return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    const RECT bounds = FHost ? FHost->Bounds() : RECT{};
    *position = bounds;
    *clip = bounds;
    info->fMDIApp = FALSE;
    info->hwndFrame = FHost ? FHost->Window() : nullptr;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT TSidebarSite::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

// Ambient properties of a sidebar: user mode, white background, black text, US English.
HRESULT TSidebarSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
    if (!(flags & DISPATCH_PROPERTYGET) || !result)
        return DISP_E_MEMBERNOTFOUND;
    ::VariantInit(result);
    switch (id) {
    case DISPID_AMBIENT_USERMODE:
        result->vt = VT_BOOL;
        result->boolVal = VARIANT_TRUE;
        return S_OK;
    case DISPID_AMBIENT_UIDEAD:
    case DISPID_AMBIENT_SHOWGRABHANDLES:
    case DISPID_AMBIENT_SHOWHATCHING:
    case DISPID_AMBIENT_MESSAGEREFLECT:
        result->vt = VT_BOOL;
        result->boolVal = VARIANT_FALSE;
        return S_OK;
    case DISPID_AMBIENT_BACKCOLOR:
        result->vt = VT_I4;
        result->lVal = 0xFFFFFF;
        return S_OK;
    case DISPID_AMBIENT_FORECOLOR:
        result->vt = VT_I4;
        result->lVal = 0;
        return S_OK;
    case DISPID_AMBIENT_LOCALEID:
        result->vt = VT_I4;
        result->lVal = 0x409;
        return S_OK;
    case DISPID_AMBIENT_DISPLAYNAME:
        result->vt = VT_BSTR;
        result->bstrVal = ::SysAllocString(L"Sidebar");
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT TSidebarSite::SetTitle(BSTR title) {
    if (FHost)
        FHost->Log().Add(L"SetTitle " + win::BstrText(title));
    return S_OK;
}

HRESULT TSidebarSite::SetTitleIcon(IPicture* icon) {
    if (!FHost)
        return S_OK;
    if (!icon) {
        FHost->Log().Add(L"SetTitleIcon none");
        return S_OK;
    }
    OLE_HANDLE handle = 0;
    icon->get_Handle(&handle);
    BITMAP bitmap{};
    ::GetObjectW(reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(handle)), sizeof(bitmap), &bitmap);
    auto& seen = FHost->TitlePictures;
    size_t index = 0;
    while (index < seen.size() && seen[index] != handle)
        ++index;
    if (index == seen.size())
        seen.push_back(handle);
    FHost->Log().Add(L"SetTitleIcon " + std::to_wstring(bitmap.bmWidth) + L"x" + std::to_wstring(bitmap.bmHeight) +
                     L" picture " + std::to_wstring(index + 1));
    return S_OK;
}

HRESULT TSidebarSite::SetSizeHint(LONG first, LONG second) {
    if (FHost)
        FHost->Log().Add(L"SetSizeHint " + std::to_wstring(first) + L" " + std::to_wstring(second));
    return S_OK;
}

// ---- a CF_HDROP data object --------------------------------------------------------------------------

namespace {

class TFileDropData final : public win::ComObject<IDataObject> {
public:
    explicit TFileDropData(const std::vector<std::wstring>& files) {
        // DROPFILES, then the wide names each ended by a null, then one more null.
        size_t chars = 1;
        for (const auto& f : files)
            chars += f.size() + 1;
        FBytes.resize(sizeof(DROPFILES) + chars * sizeof(wchar_t), 0);
        auto* header = reinterpret_cast<DROPFILES*>(FBytes.data());
        header->pFiles = sizeof(DROPFILES);
        header->fWide = TRUE;
        auto* names = reinterpret_cast<wchar_t*>(FBytes.data() + sizeof(DROPFILES));
        for (const auto& f : files) {
            std::memcpy(names, f.c_str(), (f.size() + 1) * sizeof(wchar_t));
            names += f.size() + 1;
        }
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium)
            return E_POINTER;
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, FBytes.size());
        if (!memory)
            return E_OUTOFMEMORY;
        std::memcpy(::GlobalLock(memory), FBytes.data(), FBytes.size());
        ::GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        if (!format)
            return E_POINTER;
        return format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out)
            out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
        if (!formats)
            return E_POINTER;
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return ::SHCreateStdEnumFmtEtc(1, &format, formats);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::vector<uint8_t> FBytes;
};

} // namespace

// ---- the host ----------------------------------------------------------------------------------------

TSidebarHost::TSidebarHost(TSiteLog& log) : FLog(log) {}

TSidebarHost::~TSidebarHost() {
    Release();
    Destroy();
}

HRESULT TSidebarHost::Create(REFCLSID clsid, int width, int height, bool displaySite) {
    Release();
    FBounds = {0, 0, width, height};
    if (!Handle()) {
        RECT frame{0, 0, width, height};
        ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
        if (!WindowBase::Create(0, L"Sidebar", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr))
            return HRESULT_FROM_WIN32(::GetLastError());
        ::ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    }
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, FControl.PutVoid());
    if (FAILED(hr))
        return hr;
    hr = NewSite(displaySite);
    if (FAILED(hr))
        return hr;
    win::ComPtr<IOleObject> object = FControl.As<IOleObject>();
    if (!object)
        return E_NOINTERFACE;
    SIZEL extent{MulDiv(width, 2540, 96), MulDiv(height, 2540, 96)};
    object->SetExtent(DVASPECT_CONTENT, &extent);
    return object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, FSite.Get(), 0, Handle(), &FBounds);
}

HRESULT TSidebarHost::NewSite(bool displaySite) {
    win::ComPtr<IOleObject> object = FControl.As<IOleObject>();
    if (!object)
        return E_NOINTERFACE;
    if (FSite)
        FSite->Detach();
    FSite = win::MakeComObject<TSidebarSite>(*this, displaySite);
    return object->SetClientSite(FSite.Get());
}

HRESULT TSidebarHost::Resize(int width, int height) {
    FBounds = {0, 0, width, height};
    RECT frame{0, 0, width, height};
    ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    ::SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    win::ComPtr<IOleInPlaceObject> inPlace = FControl.As<IOleInPlaceObject>();
    return inPlace ? inPlace->SetObjectRects(&FBounds, &FBounds) : E_NOINTERFACE;
}

void TSidebarHost::Release() {
    if (!FControl)
        return;
    if (auto inPlace = FControl.As<IOleInPlaceObject>())
        inPlace->InPlaceDeactivate();
    if (auto object = FControl.As<IOleObject>()) {
        object->Close(OLECLOSE_NOSAVE);
        object->SetClientSite(nullptr);
    }
    FControl.Reset();
    if (FSite)
        FSite->Detach();
    FSite.Reset();
}

HWND TSidebarHost::ControlWindow() const {
    HWND window = nullptr;
    if (auto ole = FControl.As<IOleWindow>(__uuidof(IOleInPlaceObject)))
        ole->GetWindow(&window);
    return window;
}

void TSidebarHost::MouseMove(int x, int y) {
    if (HWND w = ControlWindow())
        ::SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

void TSidebarHost::Click(int x, int y) {
    HWND w = ControlWindow();
    if (!w)
        return;
    ::SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    ::SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

HRESULT TSidebarHost::DropFiles(const std::vector<std::wstring>& files, int x, int y, DWORD keyState) {
    HWND w = ControlWindow();
    if (!w)
        return E_FAIL;
    auto* target = static_cast<IDropTarget*>(::GetPropW(w, L"OleDropTargetInterface"));
    if (!target)
        return E_NOINTERFACE;
    win::ComPtr<IDataObject> data = win::MakeComObject<TFileDropData, IDataObject>(files);
    POINT screen{x, y};
    ::ClientToScreen(w, &screen);
    const POINTL at{screen.x, screen.y};
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK | DROPEFFECT_MOVE;
    HRESULT hr = target->DragEnter(data.Get(), keyState, at, &effect);
    if (FAILED(hr))
        return hr;
    effect = DROPEFFECT_COPY | DROPEFFECT_LINK | DROPEFFECT_MOVE;
    target->DragOver(keyState, at, &effect);
    effect = DROPEFFECT_COPY | DROPEFFECT_LINK | DROPEFFECT_MOVE;
    hr = target->Drop(data.Get(), keyState, at, &effect);
    FLog.Add(L"Drop effect " + std::to_wstring(effect) + L" result " + std::to_wstring(hr));
    return hr;
}

namespace {

// Pixels of what `draw` paints into a top-down 32-bit bitmap of width x height, alpha forced to 255 (GDI
// leaves it 0).
bool PaintToPixels(int width, int height, const std::function<void(HDC)>& draw, std::vector<uint32_t>& pixels) {
    if (width <= 0 || height <= 0)
        return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    win::GdiObject<HBITMAP> bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap)
        return false;
    win::MemoryDC dc = win::MemoryDC::CreateCompatible(nullptr);
    {
        win::SelectGuard select(dc.Get(), bitmap.Get());
        draw(dc.Get());
        ::GdiFlush();
    }
    const auto* source = static_cast<const uint32_t*>(bits);
    pixels.assign(source, source + static_cast<size_t>(width) * height);
    for (uint32_t& p : pixels)
        p |= 0xFF000000u;
    return true;
}

} // namespace

bool TSidebarHost::CapturePixels(std::vector<uint32_t>& pixels, int& width, int& height) const {
    HWND w = ControlWindow();
    if (!w)
        return false;
    RECT client{};
    ::GetClientRect(w, &client);
    width = client.right;
    height = client.bottom;
    return PaintToPixels(width, height, [w](HDC dc) {
        ::SendMessageW(w, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    }, pixels);
}

bool TSidebarHost::CapturePng(const std::wstring& path) const {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    return CapturePixels(pixels, width, height) && WritePng(path, pixels, width, height);
}

void TSidebarHost::Pump(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= milliseconds)
            return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    }
}

bool WritePng(const std::wstring& path, const std::vector<uint32_t>& pixels, int width, int height) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
    if (png && info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
                row[x * 4 + 0] = static_cast<uint8_t>(p >> 16);
                row[x * 4 + 1] = static_cast<uint8_t>(p >> 8);
                row[x * 4 + 2] = static_cast<uint8_t>(p);
                row[x * 4 + 3] = static_cast<uint8_t>(p >> 24);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    std::fclose(file);
    return ok;
}

bool CaptureWindowPng(HWND window, const std::wstring& path) {
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    // The window usually belongs to another thread (a modal loop): its children repaint in their own time,
    // and the screen is read only after they have.
    ::Sleep(250);
    RECT r{};
    ::GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    std::vector<uint32_t> pixels;
    return PaintToPixels(width, height, [&r, width, height](HDC dc) {
        win::WindowDC screen(nullptr);
        ::BitBlt(dc, 0, 0, width, height, screen.Get(), r.left, r.top, SRCCOPY);
    }, pixels) && WritePng(path, pixels, width, height);
}

namespace {

struct TDialogSearch {
    const wchar_t* Caption;
    HWND Found;
};

BOOL CALLBACK FindDialog(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<TDialogSearch*>(p);
    DWORD process = 0;
    ::GetWindowThreadProcessId(w, &process);
    wchar_t cls[16] = {}, text[128] = {};
    ::GetClassNameW(w, cls, 16);
    ::GetWindowTextW(w, text, 128);
    if (process == ::GetCurrentProcessId() && std::wcscmp(cls, L"#32770") == 0 &&
        (!s->Caption || std::wcscmp(text, s->Caption) == 0) && ::IsWindowVisible(w)) {
        s->Found = w;
        return FALSE;
    }
    return TRUE;
}

} // namespace

namespace {

struct TDescendantSearch {
    const std::function<bool(HWND)>* Match;
    HWND Found;
};

BOOL CALLBACK VisitDescendant(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<TDescendantSearch*>(p);
    if ((*s->Match)(w)) {
        s->Found = w;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindDescendant(HWND root, const std::function<bool(HWND)>& match) {
    TDescendantSearch search{&match, nullptr};
    ::EnumChildWindows(root, &VisitDescendant, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

HWND FindControl(HWND root, int id) {
    return FindDescendant(root, [id](HWND w) { return ::GetDlgCtrlID(w) == id; });
}

std::wstring TabText(HWND tabs, int index) {
    wchar_t text[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    ::SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

HWND WaitForDialog(const wchar_t* caption, DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        TDialogSearch search{caption, nullptr};
        ::EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
        if (search.Found || ::GetTickCount() - start >= milliseconds)
            return search.Found;
        ::Sleep(50);
    }
}

} // namespace mellodeck::standin
