#include "panel/win/PanelDragManager.h"

namespace mellodeck {

void TPanelDragManager::Detach() {
    Panel = nullptr;
    IsDropTarget = false;
    DataObject.Reset();
}

HRESULT TPanelDragManager::DragEnter(IDataObject* dataObject, DWORD keyState, POINTL pt, DWORD* effect) {
    if (!effect)
        return E_INVALIDARG;
    if (!Panel) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    DataObject = win::ComPtr<IDataObject>(dataObject);
    IsDropTarget = true;
    FullDragging = FALSE;
    ::SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &FullDragging, 0);
    // Without full-window dragging a window may have been locked for the outline; never leave it locked.
    if (!FullDragging)
        ::LockWindowUpdate(nullptr);
    DragSource = nullptr;
    const HRESULT result = win::ComBoundary([&] { return Panel->DoDragEnter(keyState, pt, *effect); }, E_UNEXPECTED);
    if (FAILED(result))
        *effect = DROPEFFECT_NONE;
    return result;
}

HRESULT TPanelDragManager::DragOver(DWORD keyState, POINTL pt, DWORD* effect) {
    if (!effect)
        return E_INVALIDARG;
    if (!Panel) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    const HRESULT result = win::ComBoundary([&] { return Panel->DoDragOver(keyState, pt, *effect); }, E_UNEXPECTED);
    if (FAILED(result))
        *effect = DROPEFFECT_NONE;
    return result;
}

HRESULT TPanelDragManager::DragLeave() {
    if (Panel)
        win::ComBoundary([&] { Panel->DoDragLeave(); }, E_UNEXPECTED);
    IsDropTarget = false;
    DragSource = nullptr;
    DataObject.Reset();
    return S_OK;
}

HRESULT TPanelDragManager::Drop(IDataObject* dataObject, DWORD keyState, POINTL pt, DWORD* effect) {
    if (!effect)
        return E_INVALIDARG;
    HRESULT result = S_OK;
    if (Panel)
        result = win::ComBoundary([&] { return Panel->DoDrop(dataObject, keyState, *effect, pt); }, E_UNEXPECTED);
    if (!Panel || FAILED(result))
        *effect = DROPEFFECT_NONE;
    IsDropTarget = false;
    DataObject.Reset();
    return result;
}

HRESULT TPanelDragManager::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
    const bool left = (keyState & MK_LBUTTON) != 0;
    const bool right = (keyState & MK_RBUTTON) != 0;
    if (escapePressed || (left && right))
        return DRAGDROP_S_CANCEL;
    if (left || right)
        return S_OK;
    return DRAGDROP_S_DROP;
}

HRESULT TPanelDragManager::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

HRESULT TPanelDragManager::ForceDragLeave() { return S_OK; }

HRESULT TPanelDragManager::GetDataObject(IDataObject** out) {
    if (!out)
        return E_POINTER;
    *out = DataObject.Get();
    if (!*out)
        return S_FALSE;
    (*out)->AddRef();
    return S_OK;
}

HRESULT TPanelDragManager::GetDragSource(void** out) {
    if (!out)
        return E_POINTER;
    *out = DragSource;
    return S_OK;
}

HRESULT TPanelDragManager::GetDropTargetHelperSupported(BOOL* out) {
    if (!out)
        return E_POINTER;
    *out = FALSE;
    return S_OK;
}

HRESULT TPanelDragManager::GetIsDropTarget(BOOL* out) {
    if (!out)
        return E_POINTER;
    *out = IsDropTarget ? TRUE : FALSE;
    return S_OK;
}

std::vector<std::wstring> ReadDroppedFiles(IDataObject* dataObject) {
    std::vector<std::wstring> files;
    if (!dataObject)
        return files;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(dataObject->GetData(&format, &medium)))
        return files;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        const auto drop = static_cast<HDROP>(medium.hGlobal);
        const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
            std::wstring path(static_cast<size_t>(length) + 1, L'\0');
            path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
            if (!path.empty()) // a list with no names at all may still report one empty entry
                files.push_back(std::move(path));
        }
    }
    ::ReleaseStgMedium(&medium);
    return files;
}

DWORD ChooseDropEffect(DWORD allowed) {
    if (allowed & DROPEFFECT_LINK)
        return DROPEFFECT_LINK;
    if (allowed & DROPEFFECT_COPY)
        return DROPEFFECT_COPY;
    return DROPEFFECT_NONE;
}

} // namespace mellodeck
