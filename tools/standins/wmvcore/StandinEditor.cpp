#include "StandinEditor.h"

#include <nserror.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/ByteOrder.h"
#include "common/TextConvert.h"
#include "media/asf/ASFPicture.h"

namespace mellodeck::standin {
namespace {

// The runtime's "no such attribute".
constexpr HRESULT kNotFound = static_cast<HRESULT>(0xC00D07F0);
constexpr HRESULT kTooSmall = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
    return n > 0 && n < 1024 ? std::wstring(buffer, n) : std::wstring();
}

std::u16string U16(const WCHAR* text) {
    std::u16string out;
    if (text)
        for (; *text; ++text)
            out.push_back(static_cast<char16_t>(*text));
    return out;
}

std::string Utf8(const std::u16string& text) {
    return WideToUtf8(std::wstring(text.begin(), text.end()));
}

void Log(const std::string& line) {
    const std::wstring path = Environment(L"MELLODECK_WMVCORE_LOG");
    if (path.empty())
        return;
    if (FILE* f = _wfopen(path.c_str(), L"ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

bool Refused(const std::u16string& name) {
    const std::wstring refused = Environment(L"MELLODECK_WMVCORE_REFUSE");
    return !refused.empty() && std::u16string(refused.begin(), refused.end()) == name;
}

HRESULT FromError(uint32_t code) {
    switch (code) {
    case kASFErrorNotASF:
        return NS_E_INVALID_INPUT_FORMAT;
    case kASFErrorBadHeader:
    case kASFErrorTooLarge:
    case kASFErrorCannotWrite:
        return NS_E_INVALID_DATA;
    default:
        return code ? HRESULT_FROM_WIN32(code) : E_FAIL;
    }
}

const std::u16string kPicture = u"WM/Picture";

} // namespace

HRESULT STDMETHODCALLTYPE TStandinEditor::QueryInterface(REFIID iid, void** out) {
    if (Environment(L"MELLODECK_WMVCORE_BASIC") == L"1" &&
        (IsEqualIID(iid, __uuidof(IWMHeaderInfo3)) || IsEqualIID(iid, __uuidof(IWMHeaderInfo2)) ||
         IsEqualIID(iid, __uuidof(IWMMetadataEditor2)))) {
        if (out)
            *out = nullptr;
        return E_NOINTERFACE;
    }
    return ComObject::QueryInterface(iid, out);
}

HRESULT TStandinEditor::OpenFile(const WCHAR* fileName, bool writable) {
    if (!fileName)
        return E_POINTER;
    if (FOpen)
        return NS_E_INVALID_REQUEST;
    asf::TASFFile file;
    if (!file.Load(fileName))
        return FromError(file.ErrorCode);
    FFile = std::move(file);
    FPath = fileName;
    FOpen = true;
    FWritable = writable;
    FDirty = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TStandinEditor::Open(const WCHAR* fileName) {
    return win::ComBoundary([&] {
        Log("Open " + WideToUtf8(fileName ? fileName : L""));
        return OpenFile(fileName, true);
    });
}

HRESULT STDMETHODCALLTYPE TStandinEditor::OpenEx(const WCHAR* fileName, DWORD access, DWORD) {
    return win::ComBoundary([&] {
        Log("OpenEx " + WideToUtf8(fileName ? fileName : L"") + ((access & GENERIC_WRITE) ? " write" : " read"));
        return OpenFile(fileName, (access & GENERIC_WRITE) != 0);
    });
}

HRESULT STDMETHODCALLTYPE TStandinEditor::Close() {
    Log("Close");
    if (!FOpen)
        return NS_E_INVALID_REQUEST;
    FOpen = false;
    FFile = asf::TASFFile();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TStandinEditor::Flush() {
    return win::ComBoundary([&] {
        Log(FDirty ? "Flush changes" : "Flush");
        if (!FOpen)
            return NS_E_INVALID_REQUEST;
        HRESULT hr = S_OK;
        if (FDirty)
            hr = !FWritable ? E_ACCESSDENIED : FFile.Save(FPath) ? S_OK : FromError(FFile.ErrorCode);
        // Flushing closes the file, saved or not.
        FOpen = false;
        FDirty = false;
        FFile = asf::TASFFile();
        return hr;
    });
}

int TStandinEditor::ModelIndex(WORD stream, WORD index) const {
    int seen = 0;
    for (size_t i = 0; i < FFile.Attributes.size(); ++i)
        if (FFile.Attributes[i].Stream == stream && seen++ == index)
            return static_cast<int>(i);
    return -1;
}

bool TStandinEditor::Computed(const std::u16string& name, asf::TASFAttribute& out) const {
    out = asf::TASFAttribute();
    out.Name = name;
    if (name == u"Duration" && FFile.HaveFileProperties) {
        const uint64_t preroll = FFile.Preroll * 10000;
        const uint64_t duration = FFile.PlayDuration > preroll ? FFile.PlayDuration - preroll : 0;
        out.Type = asf::adtQWord;
        out.Value.resize(8);
        std::memcpy(out.Value.data(), &duration, 8);
        return true;
    }
    if (name == u"Bitrate") {
        const uint32_t bitrate = FFile.StreamsBitrate ? FFile.StreamsBitrate : FFile.MaxBitrate;
        out.Type = asf::adtDWord;
        out.Value.resize(4);
        std::memcpy(out.Value.data(), &bitrate, 4);
        return true;
    }
    if (name == u"IsVBR" && FFile.Find(name, 0) < 0) {
        out.Type = asf::adtBool;
        out.Value.assign(4, 0);
        return true;
    }
    return false;
}

HRESULT TStandinEditor::HandOut(const asf::TASFAttribute& attribute, WMT_ATTR_DATATYPE* type, BYTE* value,
                                DWORD* length, DWORD limit) const {
    if (!type || !length)
        return E_POINTER;
    asf::TWMType wmType;
    if (!asf::WMTypeOf(attribute.Type, wmType))
        return NS_E_INVALID_DATA;
    asf::TASFPicture picture;
    const bool isPicture = attribute.Name == kPicture && attribute.Type == asf::adtBinary &&
                           asf::ParseStoredPicture(attribute.Value.data(), attribute.Value.size(), picture);
    const size_t need = isPicture ? asf::PictureValueSize(picture) : attribute.Value.size();
    if (need > limit)
        return kTooSmall; // the 16-bit calls cannot carry it
    *type = static_cast<WMT_ATTR_DATATYPE>(wmType);
    if (!value) {
        *length = static_cast<DWORD>(need);
        return S_OK;
    }
    if (*length < need) {
        *length = static_cast<DWORD>(need);
        return kTooSmall;
    }
    if (isPicture)
        asf::WritePictureValue(value, picture);
    else if (need > 0)
        std::memcpy(value, attribute.Value.data(), need);
    *length = static_cast<DWORD>(need);
    return S_OK;
}

HRESULT TStandinEditor::TakeIn(const std::u16string& name, WMT_ATTR_DATATYPE type, const BYTE* value, DWORD length,
                               asf::TASFAttribute& out) const {
    out = asf::TASFAttribute();
    out.Name = name;
    if (!asf::ASFTypeOf(type, out.Type))
        return E_INVALIDARG;
    if (!value && length > 0)
        return E_POINTER;
    switch (type) {
    case WMT_TYPE_STRING: {
        std::u16string text;
        for (DWORD i = 0; i + 1 < length; i += 2)
            text.push_back(static_cast<char16_t>(GetLE16(value + i)));
        while (!text.empty() && text.back() == 0)
            text.pop_back();
        out.Value = asf::StringValue(text);
        return S_OK;
    }
    case WMT_TYPE_BOOL: {
        if (length != 4)
            return E_INVALIDARG;
        uint32_t v;
        std::memcpy(&v, value, 4);
        out.Value = {static_cast<uint8_t>(v != 0), 0, 0, 0};
        return S_OK;
    }
    case WMT_TYPE_DWORD:
    case WMT_TYPE_QWORD:
    case WMT_TYPE_WORD:
    case WMT_TYPE_GUID: {
        const DWORD size = type == WMT_TYPE_DWORD ? 4 : type == WMT_TYPE_QWORD ? 8 : type == WMT_TYPE_WORD ? 2 : 16;
        if (length != size)
            return E_INVALIDARG;
        out.Value.assign(value, value + length);
        return S_OK;
    }
    case WMT_TYPE_BINARY:
        if (name == kPicture) {
            // The caller's record: packed, native pointers; exactly its size.
            if (length != sizeof(asf::TWMPictureRecord))
                return E_INVALIDARG;
            asf::TWMPictureRecord record;
            std::memcpy(&record, value, sizeof record);
            out.Value = asf::StoredPicture(asf::PictureFromRecord(record));
            return S_OK;
        }
        out.Value.assign(value, value + length);
        return S_OK;
    default:
        return E_INVALIDARG;
    }
}

HRESULT STDMETHODCALLTYPE TStandinEditor::GetAttributeCount(WORD stream, WORD* count) {
    if (!count)
        return E_POINTER;
    if (!FOpen)
        return NS_E_INVALID_REQUEST;
    *count = static_cast<WORD>(std::count_if(FFile.Attributes.begin(), FFile.Attributes.end(),
                                             [&](const asf::TASFAttribute& a) { return a.Stream == stream; }));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TStandinEditor::GetAttributeCountEx(WORD stream, WORD* count) {
    return GetAttributeCount(stream, count);
}

HRESULT STDMETHODCALLTYPE TStandinEditor::GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                                              WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) {
    return win::ComBoundary([&] {
        if (!stream || !nameLength || !length)
            return E_POINTER;
        WORD language = 0;
        DWORD longLength = *length;
        const HRESULT hr =
            GetAttributeByIndexEx(*stream, index, name, nameLength, type, &language, nullptr, &longLength);
        if (FAILED(hr))
            return hr;
        if (longLength > 0xFFFF)
            return kTooSmall;
        if (!value) {
            *length = static_cast<WORD>(longLength);
            return S_OK;
        }
        longLength = *length;
        const HRESULT got =
            GetAttributeByIndexEx(*stream, index, name, nameLength, type, &language, value, &longLength);
        *length = static_cast<WORD>(std::min<DWORD>(longLength, 0xFFFF));
        return got;
    });
}

HRESULT STDMETHODCALLTYPE TStandinEditor::GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type,
                                                             BYTE* value, WORD* length) {
    return win::ComBoundary([&] {
        if (!stream || !name || !length)
            return E_POINTER;
        if (!FOpen)
            return NS_E_INVALID_REQUEST;
        const std::u16string wanted = U16(name);
        asf::TASFAttribute computed;
        const asf::TASFAttribute* attribute = nullptr;
        if (*stream == 0 && Computed(wanted, computed)) {
            attribute = &computed;
        } else {
            const int i = FFile.Find(wanted, *stream);
            if (i < 0)
                return kNotFound;
            attribute = &FFile.Attributes[static_cast<size_t>(i)];
        }
        DWORD longLength = *length;
        const HRESULT hr = HandOut(*attribute, type, value, &longLength, 0xFFFF);
        *length = static_cast<WORD>(std::min<DWORD>(longLength, 0xFFFF));
        return hr;
    });
}

HRESULT STDMETHODCALLTYPE TStandinEditor::SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                                       const BYTE* value, WORD length) {
    return win::ComBoundary([&] {
        if (!name)
            return E_POINTER;
        const std::u16string key = U16(name);
        Log("SetAttribute " + Utf8(key) + " " + std::to_string(length));
        if (!FOpen)
            return NS_E_INVALID_REQUEST;
        asf::TASFAttribute probe;
        if (Refused(key) || (stream == 0 && Computed(key, probe) && key != u"IsVBR"))
            return NS_E_INVALID_REQUEST;
        std::vector<int> existing = FFile.FindAll(key, stream);
        if (!value && length == 0) {
            // No value clears every value of the name.
            for (auto it = existing.rbegin(); it != existing.rend(); ++it)
                FFile.Attributes.erase(FFile.Attributes.begin() + *it);
            FDirty = FDirty || !existing.empty();
            return S_OK;
        }
        asf::TASFAttribute attribute;
        const HRESULT hr = TakeIn(key, type, value, length, attribute);
        if (FAILED(hr))
            return hr;
        attribute.Stream = stream;
        if (existing.empty()) {
            FFile.Attributes.push_back(std::move(attribute));
        } else {
            // One value in place of all, where the first one was.
            for (size_t k = existing.size(); k-- > 1;)
                FFile.Attributes.erase(FFile.Attributes.begin() + existing[k]);
            asf::TASFAttribute& first = FFile.Attributes[static_cast<size_t>(existing[0])];
            attribute.Home = first.Home;
            attribute.Language = first.Language;
            first = std::move(attribute);
        }
        FDirty = true;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TStandinEditor::GetAttributeIndices(WORD stream, LPCWSTR name, WORD* language, WORD* indices,
                                                              WORD* count) {
    return win::ComBoundary([&] {
        if (!count)
            return E_POINTER;
        if (!FOpen)
            return NS_E_INVALID_REQUEST;
        const std::u16string wanted = U16(name);
        std::vector<WORD> found;
        WORD position = 0;
        for (const asf::TASFAttribute& a : FFile.Attributes) {
            if (a.Stream != stream)
                continue;
            if ((!name || a.Name == wanted) && (!language || a.Language == *language))
                found.push_back(position);
            ++position;
        }
        if (!indices) {
            *count = static_cast<WORD>(found.size());
            return S_OK;
        }
        if (*count < found.size()) {
            *count = static_cast<WORD>(found.size());
            return kTooSmall;
        }
        std::copy(found.begin(), found.end(), indices);
        *count = static_cast<WORD>(found.size());
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TStandinEditor::GetAttributeByIndexEx(WORD stream, WORD index, LPWSTR name, WORD* nameLength,
                                                                WMT_ATTR_DATATYPE* type, WORD* language, BYTE* value,
                                                                DWORD* length) {
    return win::ComBoundary([&] {
        if (!nameLength || !type || !length)
            return E_POINTER;
        if (!FOpen)
            return NS_E_INVALID_REQUEST;
        const int i = ModelIndex(stream, index);
        if (i < 0)
            return E_INVALIDARG;
        const asf::TASFAttribute& attribute = FFile.Attributes[static_cast<size_t>(i)];
        const WORD chars = static_cast<WORD>(attribute.Name.size() + 1);
        if (name) {
            if (*nameLength < chars) {
                *nameLength = chars;
                return kTooSmall;
            }
            std::copy(attribute.Name.begin(), attribute.Name.end(), name);
            name[attribute.Name.size()] = 0;
        }
        *nameLength = chars;
        if (language)
            *language = attribute.Language;
        return HandOut(attribute, type, value, length, 0xFFFFFFFFu);
    });
}

HRESULT STDMETHODCALLTYPE TStandinEditor::ModifyAttribute(WORD stream, WORD index, WMT_ATTR_DATATYPE type,
                                                          WORD language, const BYTE* value, DWORD length) {
    return win::ComBoundary([&] {
        if (!FOpen)
            return NS_E_INVALID_REQUEST;
        const int i = ModelIndex(stream, index);
        if (i < 0)
            return E_INVALIDARG;
        asf::TASFAttribute& target = FFile.Attributes[static_cast<size_t>(i)];
        Log("ModifyAttribute " + Utf8(target.Name));
        if (Refused(target.Name))
            return NS_E_INVALID_REQUEST;
        asf::TASFAttribute attribute;
        const HRESULT hr = TakeIn(target.Name, type, value, length, attribute);
        if (FAILED(hr))
            return hr;
        attribute.Stream = stream;
        attribute.Language = language;
        attribute.Home = target.Home;
        target = std::move(attribute);
        FDirty = true;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TStandinEditor::AddAttribute(WORD stream, LPCWSTR name, WORD* index, WMT_ATTR_DATATYPE type,
                                                       WORD language, const BYTE* value, DWORD length) {
    return win::ComBoundary([&] {
        if (!name)
            return E_POINTER;
        const std::u16string key = U16(name);
        Log("AddAttribute " + Utf8(key) + " " + std::to_string(length));
        if (!FOpen)
            return NS_E_INVALID_REQUEST;
        if (Refused(key))
            return NS_E_INVALID_REQUEST;
        asf::TASFAttribute attribute;
        const HRESULT hr = TakeIn(key, type, value, length, attribute);
        if (FAILED(hr))
            return hr;
        attribute.Stream = stream;
        attribute.Language = language;
        FFile.Attributes.push_back(std::move(attribute));
        FDirty = true;
        if (index) {
            WORD count = 0;
            GetAttributeCount(stream, &count);
            *index = static_cast<WORD>(count - 1);
        }
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TStandinEditor::DeleteAttribute(WORD stream, WORD index) {
    return win::ComBoundary([&] {
        if (!FOpen)
            return NS_E_INVALID_REQUEST;
        const int i = ModelIndex(stream, index);
        if (i < 0)
            return E_INVALIDARG;
        Log("DeleteAttribute " + Utf8(FFile.Attributes[static_cast<size_t>(i)].Name));
        FFile.Attributes.erase(FFile.Attributes.begin() + i);
        FDirty = true;
        return S_OK;
    });
}

} // namespace mellodeck::standin
