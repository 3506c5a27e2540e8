#pragma once
// A stand-in for the control as the options page sees it: IGoogleSideBarX keeping the five options and
// recording every write in order; any read can be made to fail.
#include <windows.h>

#include <string>
#include <vector>

#include "common/win/Bstr.h"
#include "common/win/ComObject.h"
#include "host/HostIds.h"

namespace mellodeck::test {

class TFakeSideBarControl final : public win::ComObject<win::Extends<IGoogleSideBarX, IDispatch>> {
public:
    bool RunAlwaysMinimized = false, ReplaceWithDropped = false, SeparateLines = false, GlobalHotkeyEnabled = false;
    std::wstring OpenHotkey;
    std::vector<std::wstring> Writes;
    HRESULT ReadFailure = S_OK;

#define FAKE_FLAG(Name)                                                                                            \
    HRESULT STDMETHODCALLTYPE get_##Name(VARIANT_BOOL* v) override {                                               \
        if (FAILED(ReadFailure))                                                                                   \
            return ReadFailure;                                                                                    \
        *v = Name ? VARIANT_TRUE : VARIANT_FALSE;                                                                  \
        return S_OK;                                                                                               \
    }                                                                                                              \
    HRESULT STDMETHODCALLTYPE put_##Name(VARIANT_BOOL v) override {                                                \
        Name = v != VARIANT_FALSE;                                                                                 \
        Writes.push_back(L"" #Name L"=" + std::to_wstring(v));                                                     \
        return S_OK;                                                                                               \
    }
    FAKE_FLAG(RunAlwaysMinimized)
    FAKE_FLAG(ReplaceWithDropped)
    FAKE_FLAG(SeparateLines)
    FAKE_FLAG(GlobalHotkeyEnabled)
#undef FAKE_FLAG
    HRESULT STDMETHODCALLTYPE get_OpenHotkey(BSTR* v) override {
        if (FAILED(ReadFailure))
            return ReadFailure;
        return win::Bstr::FromString(OpenHotkey).CopyOut(v);
    }
    HRESULT STDMETHODCALLTYPE put_OpenHotkey(BSTR v) override {
        OpenHotkey = win::BstrText(v);
        Writes.push_back(L"OpenHotkey=" + OpenHotkey);
        return S_OK;
    }

    // Nothing else is asked of the control by the page.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_PositionString(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_PositionString(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Font(IFontDisp**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Font(IFontDisp*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putref_Font(IFontDisp*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Caption(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Caption(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Mode(TxSideBarMode*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Mode(TxSideBarMode) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DoubleBuffered(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_DoubleBuffered(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_AlignDisabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_VisibleDockClientCount(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DrawTextBiDiModeFlagsReadingOnly(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitiateAction() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsRightToLeft(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UseRightToLeftReading(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UseRightToLeftScrollBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSubComponent(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AboutBox() override { return E_NOTIMPL; }
};

} // namespace mellodeck::test
