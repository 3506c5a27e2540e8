#include "media/asf/ASFHeader.h"

#include <algorithm>

#include "media/asf/ASFGuids.h"
#include "common/PlatformFile.h"

namespace mellodeck::asf {
namespace {

constexpr size_t kObjectHeader = 24; // GUID + 64-bit size
constexpr size_t kHeaderObjectSize = 30;
constexpr size_t kExtensionFixed = 46; // object header + reserved GUID + reserved WORD + data size

int KindOf(const uint8_t* guid, bool inExtension) {
    if (inExtension) {
        if (kGuidMetadata.Matches(guid))
            return okMetadata;
        if (kGuidMetadataLibrary.Matches(guid))
            return okMetadataLibrary;
        return okOther;
    }
    if (kGuidFileProperties.Matches(guid))
        return okFileProperties;
    if (kGuidStreamProperties.Matches(guid))
        return okStreamProperties;
    if (kGuidHeaderExtension.Matches(guid))
        return okHeaderExtension;
    if (kGuidContentDescription.Matches(guid))
        return okContentDescription;
    if (kGuidExtendedContent.Matches(guid))
        return okExtendedContent;
    if (kGuidStreamBitrates.Matches(guid))
        return okStreamBitrates;
    return okOther;
}

// A value as the model keeps it: strings end in exactly one zero character (an odd trailing byte is
// dropped), BOOL becomes 4 bytes.
std::vector<uint8_t> NormalValue(uint16_t type, const uint8_t* p, size_t size) {
    if (type == adtBool) {
        uint32_t v = 0;
        for (size_t i = 0; i < size && i < 4; ++i)
            v |= static_cast<uint32_t>(p[i]) << (8 * i);
        std::vector<uint8_t> out(4);
        PutLE32(out.data(), v != 0 ? 1 : 0);
        return out;
    }
    if (type == adtString) {
        std::u16string text;
        for (size_t i = 0; i + 1 < size; i += 2)
            text.push_back(static_cast<char16_t>(GetLE16(p + i)));
        while (!text.empty() && text.back() == 0)
            text.pop_back();
        return StringValue(text);
    }
    return std::vector<uint8_t>(p, p + size);
}

std::u16string NameOf(const uint8_t* p, size_t size) {
    std::u16string name;
    for (size_t i = 0; i + 1 < size; i += 2)
        name.push_back(static_cast<char16_t>(GetLE16(p + i)));
    while (!name.empty() && name.back() == 0)
        name.pop_back();
    return name;
}

} // namespace

bool WMTypeOf(uint16_t asfType, TWMType& out) {
    static const TWMType map[] = {wmtString, wmtBinary, wmtBool, wmtDWord, wmtQWord, wmtWord, wmtGuid};
    if (asfType > adtGuid)
        return false;
    out = map[asfType];
    return true;
}

bool ASFTypeOf(uint32_t wmType, uint16_t& out) {
    static const uint16_t map[] = {adtDWord, adtString, adtBinary, adtBool, adtQWord, adtWord, adtGuid};
    if (wmType > wmtGuid)
        return false;
    out = map[wmType];
    return true;
}

std::vector<uint8_t> StringValue(const std::u16string& text) {
    std::vector<uint8_t> out((text.size() + 1) * 2, 0);
    for (size_t i = 0; i < text.size(); ++i)
        PutLE16(out.data() + 2 * i, static_cast<uint16_t>(text[i]));
    return out;
}

std::u16string StringOf(const std::vector<uint8_t>& value) {
    return NameOf(value.data(), value.size());
}

uint64_t NumberOf(const TASFAttribute& a) {
    const size_t n = a.Value.size();
    switch (a.Type) {
    case adtBool:
    case adtDWord:
        return n >= 4 ? GetLE32(a.Value.data()) : 0;
    case adtQWord:
        return n >= 8 ? GetLE64(a.Value.data()) : 0;
    case adtWord:
        return n >= 2 ? GetLE16(a.Value.data()) : 0;
    default:
        return 0;
    }
}

bool TASFFile::Fail(uint32_t code, const std::string& text) {
    ErrorCode = code;
    Error = text;
    Attributes.clear();
    FObjects.clear();
    FHeader.clear();
    return false;
}

bool TASFFile::Load(const std::wstring& path) {
    uint32_t error = 0;
    PlatformFile file = PlatformFile::Open(path, FileAccess::Read, FileDisposition::OpenExisting, error);
    if (!file.IsOpen())
        return Fail(error ? error : oserr::kFileNotFound, "cannot open the file");
    const int64_t size = file.Size();
    if (size < 0)
        return Fail(file.LastError(), "cannot read the file's size");
    uint8_t head[kHeaderObjectSize];
    if (size < static_cast<int64_t>(kHeaderObjectSize) || file.Read(head, sizeof head) != sizeof head ||
        !kGuidHeader.Matches(head))
        return Fail(kASFErrorNotASF, "no ASF header object at the start");
    const uint64_t headerSize = GetLE64(head + 16);
    if (headerSize < kHeaderObjectSize || headerSize > static_cast<uint64_t>(size))
        return Fail(kASFErrorBadHeader, "the header object's size does not fit the file");
    if (headerSize > kASFMaxHeaderSize)
        return Fail(kASFErrorTooLarge, "the header is too large");
    std::vector<uint8_t> bytes(static_cast<size_t>(headerSize));
    std::copy(head, head + kHeaderObjectSize, bytes.begin());
    const size_t rest = bytes.size() - kHeaderObjectSize;
    if (rest > 0 && file.Read(bytes.data() + kHeaderObjectSize, rest) != static_cast<int64_t>(rest))
        return Fail(file.LastError() ? file.LastError() : oserr::kReadFault, "cannot read the header");
    return Parse(bytes.data(), bytes.size(), static_cast<uint64_t>(size));
}

bool TASFFile::Parse(const uint8_t* data, size_t size, uint64_t fileSize) {
    *this = TASFFile();
    if (size < kHeaderObjectSize || !kGuidHeader.Matches(data))
        return Fail(kASFErrorNotASF, "no ASF header object at the start");
    const uint64_t headerSize = GetLE64(data + 16);
    if (headerSize < kHeaderObjectSize || headerSize > size || headerSize > fileSize)
        return Fail(kASFErrorBadHeader, "the header object's size does not fit the file");
    if (headerSize > kASFMaxHeaderSize)
        return Fail(kASFErrorTooLarge, "the header is too large");
    FHeader.assign(data, data + headerSize);
    FileSize = fileSize;
    HeaderSize = headerSize;
    if (!ParseChildren(kHeaderObjectSize, FHeader.size(), FObjects, false))
        return false;
    // The runtime lists the description texts first, then the extended content, then the metadata
    // objects, wherever the header extension stands: a name's first value is the one found first so.
    std::stable_sort(Attributes.begin(), Attributes.end(),
                     [](const TASFAttribute& a, const TASFAttribute& b) { return a.Home < b.Home; });
    StreamsBitrate = FHaveListedBitrate ? FListedBitrate : FAudioBitrate;
    return true;
}

bool TASFFile::ParseChildren(size_t start, size_t end, std::vector<TObject>& into, bool inExtension) {
    size_t at = start;
    while (at < end) {
        if (end - at < kObjectHeader)
            return Fail(kASFErrorBadHeader, "an object header is cut short");
        const uint64_t size = GetLE64(FHeader.data() + at + 16);
        if (size < kObjectHeader || size > end - at)
            return Fail(kASFErrorBadHeader, "an object's size overruns its parent");
        if (into.size() >= kASFMaxObjects)
            return Fail(kASFErrorBadHeader, "too many objects");
        TObject object;
        object.Offset = at;
        object.Size = static_cast<size_t>(size);
        object.Kind = KindOf(FHeader.data() + at, inExtension);
        if (!ParseObject(object, inExtension))
            return false;
        into.push_back(std::move(object));
        at += static_cast<size_t>(size);
    }
    return true;
}

bool TASFFile::ParseObject(TObject& object, bool inExtension) {
    const uint8_t* p = FHeader.data() + object.Offset + kObjectHeader;
    const size_t size = object.Size - kObjectHeader;
    switch (object.Kind) {
    case okFileProperties:
        if (size < 80)
            return Fail(kASFErrorBadHeader, "the file properties object is cut short");
        PlayDuration = GetLE64(p + 40);
        Preroll = GetLE64(p + 56);
        MaxBitrate = GetLE32(p + 76);
        HaveFileProperties = true;
        return true;
    case okStreamProperties:
        return ParseStreamProperties(p, size);
    case okStreamBitrates:
        return ParseBitrates(p, size);
    case okContentDescription:
        return ParseContentDescription(p, size);
    case okExtendedContent:
        return ParseExtendedContent(p, size);
    case okMetadata:
        return ParseMetadata(p, size, false);
    case okMetadataLibrary:
        return ParseMetadata(p, size, true);
    case okHeaderExtension: {
        if (inExtension)
            return true;
        if (object.Size < kExtensionFixed)
            return Fail(kASFErrorBadHeader, "the header extension object is cut short");
        const uint32_t dataSize = GetLE32(p + 18);
        if (dataSize != object.Size - kExtensionFixed)
            return Fail(kASFErrorBadHeader, "the header extension's data size disagrees with its object size");
        return ParseChildren(object.Offset + kExtensionFixed, object.Offset + object.Size, object.Children, true);
    }
    default:
        return true;
    }
}

bool TASFFile::ParseStreamProperties(const uint8_t* p, size_t size) {
    if (size < 54)
        return Fail(kASFErrorBadHeader, "a stream properties object is cut short");
    const uint32_t typeLength = GetLE32(p + 40);
    const uint32_t correctionLength = GetLE32(p + 44);
    if (static_cast<uint64_t>(typeLength) + correctionLength > size - 54)
        return Fail(kASFErrorBadHeader, "a stream's format data overruns its object");
    if (kGuidAudioMedia.Matches(p) && typeLength >= 12)
        FAudioBitrate += GetLE32(p + 54 + 8) * 8u;
    return true;
}

bool TASFFile::ParseBitrates(const uint8_t* p, size_t size) {
    if (size < 2)
        return Fail(kASFErrorBadHeader, "the stream bit rates object is cut short");
    const uint16_t count = GetLE16(p);
    if (static_cast<size_t>(count) * 6 > size - 2)
        return Fail(kASFErrorBadHeader, "the stream bit rates overrun their object");
    FHaveListedBitrate = true;
    for (uint16_t i = 0; i < count; ++i)
        FListedBitrate += GetLE32(p + 2 + 6 * i + 2);
    return true;
}

bool TASFFile::ParseContentDescription(const uint8_t* p, size_t size) {
    static const char16_t* const names[5] = {u"Title", u"Author", u"Copyright", u"Description", u"Rating"};
    if (size < 10)
        return Fail(kASFErrorBadHeader, "the content description object is cut short");
    size_t at = 10;
    for (int i = 0; i < 5; ++i) {
        const size_t length = GetLE16(p + 2 * i);
        if (length > size - at)
            return Fail(kASFErrorBadHeader, "a content description text overruns its object");
        if (length > 0) {
            TASFAttribute a;
            a.Name = names[i];
            a.Type = adtString;
            a.Value = NormalValue(adtString, p + at, length);
            a.Home = TASFHome::ContentDescription;
            Attributes.push_back(std::move(a));
        }
        at += length;
    }
    return true;
}

bool TASFFile::ParseExtendedContent(const uint8_t* p, size_t size) {
    if (size < 2)
        return Fail(kASFErrorBadHeader, "the extended content description object is cut short");
    const uint16_t count = GetLE16(p);
    size_t at = 2;
    for (uint16_t i = 0; i < count; ++i) {
        if (size - at < 2)
            return Fail(kASFErrorBadHeader, "an extended content record is cut short");
        const size_t nameLength = GetLE16(p + at);
        if (nameLength + 4 > size - at - 2)
            return Fail(kASFErrorBadHeader, "an extended content name overruns its object");
        const uint8_t* name = p + at + 2;
        const uint16_t type = GetLE16(name + nameLength);
        const size_t valueLength = GetLE16(name + nameLength + 2);
        const size_t valueAt = at + 2 + nameLength + 4;
        if (valueLength > size - valueAt)
            return Fail(kASFErrorBadHeader, "an extended content value overruns its object");
        TASFAttribute a;
        a.Name = NameOf(name, nameLength);
        a.Type = type;
        a.Value = NormalValue(type, p + valueAt, valueLength);
        a.Home = TASFHome::ExtendedContent;
        Attributes.push_back(std::move(a));
        at = valueAt + valueLength;
    }
    return true;
}

bool TASFFile::ParseMetadata(const uint8_t* p, size_t size, bool library) {
    if (size < 2)
        return Fail(kASFErrorBadHeader, "a metadata object is cut short");
    const uint16_t count = GetLE16(p);
    size_t at = 2;
    for (uint16_t i = 0; i < count; ++i) {
        if (size - at < 12)
            return Fail(kASFErrorBadHeader, "a metadata record is cut short");
        const uint8_t* r = p + at;
        const size_t nameLength = GetLE16(r + 4);
        const uint16_t type = GetLE16(r + 6);
        const uint64_t dataLength = GetLE32(r + 8);
        if (nameLength + dataLength > size - at - 12)
            return Fail(kASFErrorBadHeader, "a metadata record overruns its object");
        TASFAttribute a;
        a.Language = library ? GetLE16(r) : 0;
        a.Stream = GetLE16(r + 2);
        a.Name = NameOf(r + 12, nameLength);
        a.Type = type;
        a.Value = NormalValue(type, r + 12 + nameLength, static_cast<size_t>(dataLength));
        a.Home = library ? TASFHome::MetadataLibrary : TASFHome::Metadata;
        Attributes.push_back(std::move(a));
        at += 12 + nameLength + static_cast<size_t>(dataLength);
    }
    return true;
}

int TASFFile::Find(const std::u16string& name, uint16_t stream, int from) const {
    for (size_t i = static_cast<size_t>(from < 0 ? 0 : from); i < Attributes.size(); ++i)
        if (Attributes[i].Stream == stream && Attributes[i].Name == name)
            return static_cast<int>(i);
    return -1;
}

std::vector<int> TASFFile::FindAll(const std::u16string& name, uint16_t stream) const {
    std::vector<int> out;
    for (int i = Find(name, stream); i >= 0; i = Find(name, stream, i + 1))
        out.push_back(i);
    return out;
}

} // namespace mellodeck::asf
