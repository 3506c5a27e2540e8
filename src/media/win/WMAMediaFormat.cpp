#include "media/win/WMAMediaFormat.h"

#include <algorithm>
#include <cwctype>

#include "common/ByteOrder.h"
#include "common/TextConvert.h"
#include "media/asf/ASFHeader.h"
#include "media/asf/ASFPicture.h"
#include "media/core/MediaManager.h"

namespace mellodeck {
namespace {

constexpr uint64_t kUnitsPerSecond = 10000000; // "Duration" counts 100 ns units

std::u16string ToU16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}
std::u16string ToU16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

bool IsJpegMime(const std::u16string& mime) {
    std::wstring lower(mime.begin(), mime.end());
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return lower == L"image/jpg" || lower == L"image/jpeg";
}

// A record pointing at the picture's own buffers (which must outlive the call it is passed to).
asf::TWMPictureRecord RecordOf(asf::TASFPicture& p) {
    p.MIMEType.push_back(0);
    p.Description.push_back(0);
    asf::TWMPictureRecord record;
    record.MIMEType = p.MIMEType.data();
    record.PictureType = p.Type;
    record.Description = p.Description.data();
    record.DataLength = static_cast<uint32_t>(p.Data.size());
    record.Data = p.Data.empty() ? nullptr : p.Data.data();
    return record;
}

} // namespace

TWMAMediaFormat::TWMAMediaFormat() {
    SetTags(std::make_unique<TWMAKnownTags>(this));
}

TWMAMediaFormat::~TWMAMediaFormat() {
    Close(0);
}

bool TWMAMediaFormat::Open(const std::wstring& fileName, bool forWriting, uint32_t context, bool infoOnly) {
    Flags |= mfOpening;
    if (Editor)
        Close(context);
    LastError = 0;
    FileName = fileName;
    ForWriting = forWriting;
    bool result = false;
    try {
        if (!MediaManager())
            MediaLibraryStart();
        win::ComPtr<IWMMetadataEditor> editor;
        HRESULT hr = CreateMetadataEditor(editor.Put());
        if (FAILED(hr) || !editor) {
            LastError = kErrorWMANoEditor;
        } else {
            // A read shares the file with everyone (the player is playing it); a writing open asks for
            // the runtime's usual access.
            win::ComPtr<IWMMetadataEditor2> editor2;
            if (!forWriting && SUCCEEDED(editor->QueryInterface(__uuidof(IWMMetadataEditor2), editor2.PutVoid())))
                hr = editor2->OpenEx(fileName.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
            else
                hr = editor->Open(fileName.c_str());
            if (FAILED(hr)) {
                // The editor goes with the refusal, and the refusal is the error.
                LastError = static_cast<uint32_t>(hr);
            } else {
                Editor = std::move(editor);
                if (infoOnly) {
                    InfoOnlyOpen = true;
                    result = true;
                } else {
                    Reset();
                    result = ReadInfo();
                    SetModified(false);
                }
            }
        }
    } catch (...) {
        LastError = kErrorWMAOpenException;
        Close(context);
        result = false;
    }
    Flags &= ~mfOpening;
    return result;
}

void TWMAMediaFormat::Close(uint32_t) {
    Flags |= mfClosing;
    if (Editor) {
        Editor->Close();
        Editor.Reset();
    }
    InfoOnlyOpen = false;
    Flags &= ~mfClosing;
}

bool TWMAMediaFormat::IsTagEmpty() const {
    return std::none_of(Tags->TagList.begin(), Tags->TagList.end(), [](const TBaseTag* t) { return t->Exists; });
}

void TWMAMediaFormat::Reset() {
    TBaseMediaFormat::Reset();
    Tags->Pictures->Clear();
    FOtherPictures.clear();
    FReadPictures.clear();
    Duration = 0;
    Bitrate = 0;
    IsVBR = false;
}

bool TWMAMediaFormat::PicturesChanged() const {
    const TBasePictureTag& pictures = *Tags->Pictures;
    if (pictures.GetModified() || pictures.Items.size() != FReadPictures.size())
        return true;
    for (size_t i = 0; i < FReadPictures.size(); ++i)
        if (pictures.Items[i].get() != FReadPictures[i])
            return true;
    return false;
}

bool TWMAMediaFormat::GetModified() const {
    return TBaseMediaFormat::GetModified() || PicturesChanged();
}

bool TWMAMediaFormat::ReachHeader(THeader& header) const {
    if (!Editor)
        return false;
    if (SUCCEEDED(Editor->QueryInterface(__uuidof(IWMHeaderInfo3), header.Info3.PutVoid())) && header.Info3) {
        header.Info = header.Info3;
        return true;
    }
    return SUCCEEDED(Editor->QueryInterface(__uuidof(IWMHeaderInfo), header.Info.PutVoid())) && header.Info;
}

HRESULT TWMAMediaFormat::FetchAttribute(const THeader& header, const wchar_t* name, WMT_ATTR_DATATYPE& type,
                                        std::vector<uint8_t>& value) const {
    value.clear();
    if (header.Info3) {
        // 32-bit lengths: values over 64 KB (covers, long lyrics) read whole.
        WORD count = 0;
        if (SUCCEEDED(header.Info3->GetAttributeIndices(0, name, nullptr, nullptr, &count)) && count > 0) {
            std::vector<WORD> indices(count);
            if (SUCCEEDED(header.Info3->GetAttributeIndices(0, name, nullptr, indices.data(), &count)) && count > 0) {
                WORD nameLength = 0, language = 0;
                DWORD length = 0;
                HRESULT hr = header.Info3->GetAttributeByIndexEx(0, indices[0], nullptr, &nameLength, &type, &language,
                                                                 nullptr, &length);
                if (FAILED(hr))
                    return hr;
                std::vector<WCHAR> nameBuffer(nameLength + 1u);
                value.resize(length);
                hr = header.Info3->GetAttributeByIndexEx(0, indices[0], nameBuffer.data(), &nameLength, &type,
                                                         &language, value.empty() ? nullptr : value.data(), &length);
                if (SUCCEEDED(hr))
                    value.resize(std::min<size_t>(length, value.size()));
                return hr;
            }
        }
    }
    WORD stream = 0;
    WORD length = 0;
    HRESULT hr = header.Info->GetAttributeByName(&stream, name, &type, nullptr, &length);
    if (FAILED(hr))
        return hr;
    value.resize(length);
    stream = 0;
    hr = header.Info->GetAttributeByName(&stream, name, &type, value.empty() ? nullptr : value.data(), &length);
    if (SUCCEEDED(hr))
        value.resize(std::min<size_t>(length, value.size()));
    return hr;
}

std::wstring TWMAMediaFormat::ReadAttributeText(const THeader& header, const wchar_t* name, bool& found) const {
    found = false;
    WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
    std::vector<uint8_t> value;
    if (FAILED(FetchAttribute(header, name, type, value)))
        return std::wstring();
    switch (type) {
    case WMT_TYPE_STRING: {
        std::wstring text;
        for (size_t i = 0; i + 1 < value.size(); i += 2)
            text.push_back(static_cast<wchar_t>(GetLE16(&value[i])));
        // Characters at or below the space (the terminating zero among them) are trimmed at both ends.
        size_t first = 0;
        while (first < text.size() && text[first] <= L' ')
            ++first;
        if (first == text.size())
            return std::wstring();
        size_t last = text.size();
        while (last > first && text[last - 1] <= L' ')
            --last;
        found = true;
        return text.substr(first, last - first);
    }
    case WMT_TYPE_DWORD:
        found = value.size() >= 4;
        return found ? std::to_wstring(GetLE32(value.data())) : std::wstring();
    case WMT_TYPE_QWORD:
        found = value.size() >= 8;
        return found ? std::to_wstring(GetLE64(value.data())) : std::wstring();
    case WMT_TYPE_WORD:
        found = value.size() >= 2;
        return found ? std::to_wstring(GetLE16(value.data())) : std::wstring();
    default:
        return std::wstring();
    }
}

uint64_t TWMAMediaFormat::ReadAttributeNumber(const THeader& header, const wchar_t* name,
                                              WMT_ATTR_DATATYPE* typeOut) const {
    WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
    std::vector<uint8_t> value;
    if (FAILED(FetchAttribute(header, name, type, value)))
        return 0;
    if (typeOut)
        *typeOut = type;
    switch (type) {
    case WMT_TYPE_DWORD:
    case WMT_TYPE_BOOL:
        return value.size() >= 4 ? GetLE32(value.data()) : 0;
    case WMT_TYPE_QWORD:
        return value.size() >= 8 ? GetLE64(value.data()) : 0;
    case WMT_TYPE_WORD:
        return value.size() >= 2 ? GetLE16(value.data()) : 0;
    default:
        return 0;
    }
}

void TWMAMediaFormat::TakePicture(const uint8_t* value, size_t size) {
    asf::TASFPicture picture;
    // The record, its texts and its data must all lie inside the value the runtime handed out.
    if (!asf::ReadPictureValue(value, size, picture))
        return;
    if (!IsJpegMime(picture.MIMEType)) {
        FOtherPictures.push_back(asf::StoredPicture(picture));
        return;
    }
    TPictureItem* item = Tags->Pictures->Add();
    item->MIMEType.assign(picture.MIMEType.begin(), picture.MIMEType.end());
    item->PictureType = picture.Type;
    item->Description = WideToAnsi(std::wstring(picture.Description.begin(), picture.Description.end()));
    DecodePictureAs(*item, ImageKind::Jpeg, picture.Data.data(), picture.Data.size());
    item->Modified = false;
}

void TWMAMediaFormat::ReadAttributePicture(const THeader& header) {
    TBasePictureTag& pictures = *Tags->Pictures;
    if (header.Info3) {
        // Every value, each through the 32-bit calls: covers over 64 KB show.
        WORD count = 0;
        if (SUCCEEDED(header.Info3->GetAttributeIndices(0, kWMPictureAttribute, nullptr, nullptr, &count)) && count) {
            std::vector<WORD> indices(count);
            if (SUCCEEDED(header.Info3->GetAttributeIndices(0, kWMPictureAttribute, nullptr, indices.data(), &count)))
                for (WORD i = 0; i < count && i < indices.size(); ++i) {
                    WORD nameLength = 0, language = 0;
                    WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
                    DWORD length = 0;
                    if (FAILED(header.Info3->GetAttributeByIndexEx(0, indices[i], nullptr, &nameLength, &type,
                                                                   &language, nullptr, &length)) ||
                        type != WMT_TYPE_BINARY)
                        continue;
                    std::vector<WCHAR> name(nameLength + 1u);
                    std::vector<uint8_t> value(length);
                    if (SUCCEEDED(header.Info3->GetAttributeByIndexEx(0, indices[i], name.data(), &nameLength, &type,
                                                                      &language, value.data(), &length)) &&
                        length <= value.size())
                        TakePicture(value.data(), length);
                }
        }
    } else {
        WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
        std::vector<uint8_t> value;
        if (SUCCEEDED(FetchAttribute(header, kWMPictureAttribute, type, value)) && type == WMT_TYPE_BINARY)
            TakePicture(value.data(), value.size());
    }
    pictures.Exists =
        std::any_of(pictures.Items.begin(), pictures.Items.end(), [](const auto& item) { return item->Decoded; });
    FReadPictures.clear();
    for (const auto& item : pictures.Items)
        FReadPictures.push_back(item.get());
}

bool TWMAMediaFormat::ReadInfo() {
    THeader header;
    if (!ReachHeader(header))
        return false;
    try {
        for (TBaseTag* tag : Tags->TagList) {
            try {
                if (tag->Ignore())
                    continue;
                bool found = false;
                if (tag == Tags->Pictures) {
                    ReadAttributePicture(header);
                    found = tag->Exists;
                } else if (auto* text = dynamic_cast<TWMABaseTag*>(tag)) {
                    text->Value = ReadAttributeText(header, text->AttributeName.c_str(), found);
                    text->MoreValues.clear();
                } else {
                    continue;
                }
                tag->SetModified(false);
                tag->Exists = found;
            } catch (...) {
                // One unreadable attribute does not stop the others.
            }
        }
        Duration = static_cast<int64_t>(ReadAttributeNumber(header, L"Duration") / kUnitsPerSecond);
        Bitrate = static_cast<int32_t>(ReadAttributeNumber(header, L"Bitrate") / 1000);
        // The runtime reports the flag for every file; its value says whether the bit rate varies.
        WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
        IsVBR = ReadAttributeNumber(header, L"IsVBR", &type) != 0;
        return true;
    } catch (...) {
        return false;
    }
}

bool TWMAMediaFormat::WriteText(const THeader& header, TWMABaseTag& tag) {
    const std::wstring& value = tag.Value;
    const wchar_t* name = tag.AttributeName.c_str();
    if (value.empty())
        return SUCCEEDED(header.Info->SetAttribute(0, name, WMT_TYPE_STRING, nullptr, 0));
    // With its terminating zero, as the runtime documents string values.
    const size_t bytes = (value.size() + 1) * sizeof(wchar_t);
    const auto* data = reinterpret_cast<const BYTE*>(value.c_str());
    if (bytes <= 0xFFFF)
        return SUCCEEDED(header.Info->SetAttribute(0, name, WMT_TYPE_STRING, data, static_cast<WORD>(bytes)));
    if (!header.Info3 || !asf::FitsInDword(bytes))
        return false;
    if (FAILED(header.Info->SetAttribute(0, name, WMT_TYPE_STRING, nullptr, 0)))
        return false;
    WORD index = 0;
    return SUCCEEDED(header.Info3->AddAttribute(0, name, &index, WMT_TYPE_STRING, 0, data, static_cast<DWORD>(bytes)));
}

bool TWMAMediaFormat::WritePictures(const THeader& header) {
    std::vector<asf::TASFPicture> list;
    for (const auto& owned : Tags->Pictures->Items) {
        TPictureItem& item = *owned;
        asf::TASFPicture p;
        if (item.HasData() && !item.Modified) {
            // Unchanged bytes go back as they were read, type and description included.
            p.Data = item.Data;
            p.MIMEType = ToU16(item.MIMEType.empty() ? std::string("image/jpeg") : item.MIMEType);
            p.Type = item.PictureType;
            p.Description = ToU16(AnsiToWide(item.Description));
        } else if (item.HasBitmap()) {
            Bitmap32 picture = *item.Bitmap;
            if (ImageTagLimiter())
                ImageTagLimiter()->Limit(&picture);
            bool encoded;
            {
                auto lease = TMediaManager::AcquireJpegImage();
                encoded = EncodeJpeg(picture, p.Data, 80);
            }
            if (!encoded)
                throw EMediaError(L"JPEG encoding failed");
            p.MIMEType = u"image/jpg";
            p.Type = 3;
        } else {
            continue; // neither a picture nor its bytes
        }
        list.push_back(std::move(p));
    }
    for (const auto& stored : FOtherPictures) {
        asf::TASFPicture p;
        if (asf::ParseStoredPicture(stored.data(), stored.size(), p))
            list.push_back(std::move(p));
    }
    if (!header.Info3) {
        // The basic interface holds one value a name: the first picture.
        if (list.empty())
            return SUCCEEDED(header.Info->SetAttribute(0, kWMPictureAttribute, WMT_TYPE_BINARY, nullptr, 0));
        const asf::TWMPictureRecord record = RecordOf(list.front());
        return SUCCEEDED(header.Info->SetAttribute(0, kWMPictureAttribute, WMT_TYPE_BINARY,
                                                   reinterpret_cast<const BYTE*>(&record), sizeof record));
    }
    WORD count = 0;
    if (SUCCEEDED(header.Info3->GetAttributeIndices(0, kWMPictureAttribute, nullptr, nullptr, &count)) && count) {
        std::vector<WORD> indices(count);
        if (FAILED(header.Info3->GetAttributeIndices(0, kWMPictureAttribute, nullptr, indices.data(), &count)))
            return false;
        indices.resize(std::min<size_t>(count, indices.size()));
        std::sort(indices.rbegin(), indices.rend());
        for (WORD index : indices)
            if (FAILED(header.Info3->DeleteAttribute(0, index)))
                return false;
    }
    for (asf::TASFPicture& p : list) {
        const asf::TWMPictureRecord record = RecordOf(p);
        WORD index = 0;
        if (FAILED(header.Info3->AddAttribute(0, kWMPictureAttribute, &index, WMT_TYPE_BINARY, 0,
                                              reinterpret_cast<const BYTE*>(&record), sizeof record)))
            return false;
    }
    return true;
}

bool TWMAMediaFormat::SaveTags(uint32_t) {
    LastError = 0;
    if (!GetModified())
        return true;
    THeader header;
    if (!ReachHeader(header)) {
        LastError = kErrorWMANoHeaderInfo;
        return false;
    }
    for (TBaseTag* tag : Tags->TagList) {
        if (LastError != 0)
            break;
        try {
            if (tag->Ignore())
                continue;
            if (tag == Tags->Pictures) {
                // Only pictures the program changed are written: untouched ones (and those never read)
                // stay exactly as stored.
                if (!PicturesChanged())
                    continue;
                if (!WritePictures(header)) {
                    LastError = kErrorWMARefused;
                    break;
                }
                tag->SetModified(false);
                tag->Exists = Tags->Pictures->Count() > 0;
                continue;
            }
            auto* text = dynamic_cast<TWMABaseTag*>(tag);
            if (!text || !text->Supported || !text->GetModified())
                continue;
            if (!WriteText(header, *text)) {
                LastError = kErrorWMARefused;
                break;
            }
            text->SetModified(false);
            text->Exists = !text->Value.empty();
        } catch (...) {
            LastError = kErrorWMASaveException;
            break;
        }
    }
    if (LastError != 0)
        return false; // Close discards the half-done changes
    // Commit now, so the save's result says whether the file was written.
    const HRESULT hr = Editor->Flush();
    Editor.Reset();
    if (FAILED(hr)) {
        LastError = static_cast<uint32_t>(hr);
        return false;
    }
    return true;
}

} // namespace mellodeck
