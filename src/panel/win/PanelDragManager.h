#pragma once
// The panel's drop target: a small reference-counted object that OLE holds while files are dragged over the
// panel's window, forwarding every call to its owner (the panel). OLE keeps its own reference during a drag,
// so the object can outlive the panel: the panel detaches it when it revokes the registration, and from then
// on it refuses every drop.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "common/win/ComObject.h"
#include "common/win/ComPtr.h"

namespace mellodeck {

// The drag manager's own face: what a drag-and-drop aware control asks of it.
struct IVTDragManager : IUnknown {
    // Forwards a drag-leave to the drag-image helper; there is none here.
    virtual HRESULT STDMETHODCALLTYPE ForceDragLeave() = 0;
    // The data object of the drag in progress with a reference for the caller; S_FALSE and null when none.
    virtual HRESULT STDMETHODCALLTYPE GetDataObject(IDataObject** out) = 0;
    // The drag source; always null (the panel never starts a drag).
    virtual HRESULT STDMETHODCALLTYPE GetDragSource(void** out) = 0;
    // Whether the drag-image helper is used; always FALSE (it is never created).
    virtual HRESULT STDMETHODCALLTYPE GetDropTargetHelperSupported(BOOL* out) = 0;
    // Whether a drag is over the panel.
    virtual HRESULT STDMETHODCALLTYPE GetIsDropTarget(BOOL* out) = 0;
};

// What the drag manager forwards to. Calls arrive on the panel's thread, inside OLE's drag loop. An exception
// thrown by them becomes E_UNEXPECTED (with DROPEFFECT_NONE) and never reaches the shell.
class IPanelDropOwner {
public:
    virtual ~IPanelDropOwner() = default;
    // `effect` comes in as the effects the source allows and goes out as the one the panel would take.
    virtual HRESULT DoDragEnter(DWORD keyState, POINTL pt, DWORD& effect) = 0;
    virtual HRESULT DoDragOver(DWORD keyState, POINTL pt, DWORD& effect) = 0;
    virtual void DoDragLeave() = 0;
    virtual HRESULT DoDrop(IDataObject* dataObject, DWORD keyState, DWORD& effect, POINTL pt) = 0;
};

} // namespace mellodeck

__CRT_UUID_DECL(mellodeck::IVTDragManager, 0xC4B25559, 0x14DA, 0x446B, 0x89, 0x01, 0x0C, 0x87, 0x90, 0x00, 0xEB, 0x16)

namespace mellodeck {

class TPanelDragManager final
    : public win::ComObject<IVTDragManager, IDropTarget, IDropSource> {
public:
    explicit TPanelDragManager(IPanelDropOwner* panel) : Panel(panel) {}

    // Cuts the link to the panel (when its window goes): every later drag is refused with DROPEFFECT_NONE.
    void Detach();
    bool Attached() const { return Panel != nullptr; }
    // The data object of the drag in progress (no reference taken); null outside a drag.
    IDataObject* CurrentDataObject() const { return DataObject.Get(); }

    // IDropTarget
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* dataObject, DWORD keyState, POINTL pt, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL pt, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* dataObject, DWORD keyState, POINTL pt, DWORD* effect) override;
    // IDropSource (the panel never starts a drag; answered for completeness)
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;
    // IVTDragManager
    HRESULT STDMETHODCALLTYPE ForceDragLeave() override;
    HRESULT STDMETHODCALLTYPE GetDataObject(IDataObject** out) override;
    HRESULT STDMETHODCALLTYPE GetDragSource(void** out) override;
    HRESULT STDMETHODCALLTYPE GetDropTargetHelperSupported(BOOL* out) override;
    HRESULT STDMETHODCALLTYPE GetIsDropTarget(BOOL* out) override;

private:
    IPanelDropOwner* Panel;     // not owned; null once detached
    void* DragSource = nullptr; // always null
    bool IsDropTarget = false;
    win::ComPtr<IDataObject> DataObject;
    BOOL FullDragging = FALSE;
};

// The files of a drag (CF_HDROP in global memory), in the order the source lists them; empty when the data
// object has none. Each path is read at its own length, so long paths are never cut.
std::vector<std::wstring> ReadDroppedFiles(IDataObject* dataObject);

// The effect to answer for an accepted drop, out of the ones the source allows: LINK, else COPY, else none
// (OLE intersects the answer with the allowed set, so answering one outside it would refuse the drop).
DWORD ChooseDropEffect(DWORD allowed);

} // namespace mellodeck
