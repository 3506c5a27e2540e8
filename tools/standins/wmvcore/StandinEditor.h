#pragma once
// The stand-in runtime's metadata editor: one object answering the editor interfaces and the header-info
// interfaces, over the ASF header of one open file.
//
// Environment switches, read on each call so a test in the same process can change them:
//   MELLODECK_WMVCORE_LOG      a file to append one line per call received (Open, OpenEx, Flush, Close,
//                              SetAttribute, AddAttribute, DeleteAttribute, ModifyAttribute)
//   MELLODECK_WMVCORE_REFUSE   an attribute name whose setting is refused (NS_E_INVALID_REQUEST)
//   MELLODECK_WMVCORE_BASIC    "1": only IWMHeaderInfo is offered, as older runtimes do
#include <string>

#include "common/win/ComObject.h"
#include "media/asf/ASFHeader.h"
#include "media/win/WindowsMedia.h"

namespace mellodeck::standin {

class TStandinEditor final : public win::ComObject<win::Extends<IWMMetadataEditor2, IWMMetadataEditor>,
                                                   win::Extends<IWMHeaderInfo3, IWMHeaderInfo2, IWMHeaderInfo>> {
public:
    TStandinEditor() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;

    // IWMMetadataEditor / IWMMetadataEditor2
    HRESULT STDMETHODCALLTYPE Open(const WCHAR* fileName) override;
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE Flush() override;
    HRESULT STDMETHODCALLTYPE OpenEx(const WCHAR* fileName, DWORD access, DWORD share) override;

    // IWMHeaderInfo
    HRESULT STDMETHODCALLTYPE GetAttributeCount(WORD stream, WORD* count) override;
    HRESULT STDMETHODCALLTYPE GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                                  WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) override;
    HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type, BYTE* value,
                                                 WORD* length) override;
    HRESULT STDMETHODCALLTYPE SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type, const BYTE* value,
                                           WORD length) override;
    HRESULT STDMETHODCALLTYPE GetMarkerCount(WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMarker(WORD, WCHAR*, WORD*, QWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddMarker(LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveMarker(WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetScriptCount(WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddScript(LPCWSTR_WMSDK_TYPE_SAFE, LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RemoveScript(WORD) override { return E_NOTIMPL; }
    // IWMHeaderInfo2
    HRESULT STDMETHODCALLTYPE GetCodecInfoCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCodecInfo(DWORD, WORD*, WCHAR*, WORD*, WCHAR*, WMT_CODEC_INFO_TYPE*, WORD*,
                                           BYTE*) override {
        return E_NOTIMPL;
    }
    // IWMHeaderInfo3
    HRESULT STDMETHODCALLTYPE GetAttributeCountEx(WORD stream, WORD* count) override;
    HRESULT STDMETHODCALLTYPE GetAttributeIndices(WORD stream, LPCWSTR name, WORD* language, WORD* indices,
                                                  WORD* count) override;
    HRESULT STDMETHODCALLTYPE GetAttributeByIndexEx(WORD stream, WORD index, LPWSTR name, WORD* nameLength,
                                                    WMT_ATTR_DATATYPE* type, WORD* language, BYTE* value,
                                                    DWORD* length) override;
    HRESULT STDMETHODCALLTYPE ModifyAttribute(WORD stream, WORD index, WMT_ATTR_DATATYPE type, WORD language,
                                              const BYTE* value, DWORD length) override;
    HRESULT STDMETHODCALLTYPE AddAttribute(WORD stream, LPCWSTR name, WORD* index, WMT_ATTR_DATATYPE type,
                                           WORD language, const BYTE* value, DWORD length) override;
    HRESULT STDMETHODCALLTYPE DeleteAttribute(WORD stream, WORD index) override;
    HRESULT STDMETHODCALLTYPE AddCodecInfo(LPCWSTR_WMSDK_TYPE_SAFE, LPCWSTR_WMSDK_TYPE_SAFE, WMT_CODEC_INFO_TYPE, WORD,
                                           BYTE*) override {
        return E_NOTIMPL;
    }

private:
    HRESULT OpenFile(const WCHAR* fileName, bool writable);
    // Position in the model of the stream's index-th attribute; -1 when there is none.
    int ModelIndex(WORD stream, WORD index) const;
    // The runtime's form of a stored value (the picture record laid out in the caller's buffer).
    HRESULT HandOut(const asf::TASFAttribute& attribute, WMT_ATTR_DATATYPE* type, BYTE* value, DWORD* length,
                    DWORD limit) const;
    // The stored form of a value passed in; false for a type or value this runtime does not take.
    HRESULT TakeIn(const std::u16string& name, WMT_ATTR_DATATYPE type, const BYTE* value, DWORD length,
                   asf::TASFAttribute& out) const;
    // Values the runtime computes: "Duration", "Bitrate", "IsVBR".
    bool Computed(const std::u16string& name, asf::TASFAttribute& out) const;

    bool FOpen = false;
    bool FWritable = false;
    bool FDirty = false;
    std::wstring FPath;
    asf::TASFFile FFile;
};

} // namespace mellodeck::standin
