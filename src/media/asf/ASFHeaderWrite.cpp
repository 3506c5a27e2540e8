// Writing the header back: the attribute objects are made anew from the attributes, every other object is
// copied byte for byte, and the File Properties object gets the new file size.
#include <algorithm>
#include <cstring>

#include "common/PlatformFile.h"
#include "media/asf/ASFGuids.h"
#include "media/asf/ASFHeader.h"
#include "media/core/MediaFormat.h"
#include "media/core/SafeSave.h"

namespace mellodeck::asf {

namespace {

constexpr size_t kObjectHeader = 24;

bool IsDescriptionName(const std::u16string& name) {
    return name == u"Title" || name == u"Author" || name == u"Copyright" || name == u"Description" || name == u"Rating";
}

// Whether the attribute can be stored in the object.
bool Fits(const TASFAttribute& a, TASFHome home) {
    const size_t nameBytes = (a.Name.size() + 1) * 2;
    switch (home) {
    case TASFHome::ContentDescription:
        return IsDescriptionName(a.Name) && a.Type == adtString && a.Stream == 0 && a.Language == 0 &&
               a.Value.size() <= 0xFFFF;
    case TASFHome::ExtendedContent:
        return a.Stream == 0 && a.Language == 0 && a.Type != adtGuid && a.Value.size() <= 0xFFFF && nameBytes <= 0xFFFF;
    case TASFHome::Metadata:
        // New values of stream 0 too large for the extended description go to the library, as other
        // writers put them; a value read from here stays.
        return (a.Stream != 0 || a.Home == TASFHome::Metadata) && a.Language == 0 && a.Type != adtGuid &&
               FitsInDword(a.Value.size()) && nameBytes <= 0xFFFF;
    case TASFHome::MetadataLibrary:
        return FitsInDword(a.Value.size()) && nameBytes <= 0xFFFF;
    default:
        return false;
    }
}

TASFHome HomeFor(const TASFAttribute& a) {
    if (a.Home != TASFHome::None && Fits(a, a.Home))
        return a.Home;
    for (TASFHome h :
         {TASFHome::ContentDescription, TASFHome::ExtendedContent, TASFHome::Metadata, TASFHome::MetadataLibrary})
        if (Fits(a, h))
            return h;
    return TASFHome::None;
}

void Append16(std::vector<uint8_t>& out, uint16_t v) {
    uint8_t b[2];
    PutLE16(b, v);
    out.insert(out.end(), b, b + 2);
}
void Append32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4];
    PutLE32(b, v);
    out.insert(out.end(), b, b + 4);
}
void Append64(std::vector<uint8_t>& out, uint64_t v) {
    uint8_t b[8];
    PutLE64(b, v);
    out.insert(out.end(), b, b + 8);
}
void AppendName(std::vector<uint8_t>& out, const std::u16string& name) {
    const std::vector<uint8_t> bytes = StringValue(name);
    out.insert(out.end(), bytes.begin(), bytes.end());
}
void AppendObject(std::vector<uint8_t>& out, const TGuidBytes& guid, const std::vector<uint8_t>& payload) {
    out.insert(out.end(), guid.Bytes, guid.Bytes + 16);
    Append64(out, kObjectHeader + payload.size());
    out.insert(out.end(), payload.begin(), payload.end());
}
// A BOOL is 4 bytes in the extended content description and 2 in the metadata objects.
std::vector<uint8_t> StoredValue(const TASFAttribute& a, bool shortBool) {
    if (a.Type == adtBool && shortBool) {
        std::vector<uint8_t> v(2);
        PutLE16(v.data(), NumberOf(a) != 0 ? 1 : 0);
        return v;
    }
    return a.Value;
}

} // namespace

bool TASFFile::BuildHeader(std::vector<uint8_t>& out) {
    // Sort the attributes into the objects that will hold them; a second value of a description name
    // goes to the extended content description.
    std::vector<const TASFAttribute*> description[5];
    std::vector<const TASFAttribute*> extended, metadata, library;
    std::vector<std::u16string> extendedNames; // the extended content description holds one value a name
    static const char16_t* const names[5] = {u"Title", u"Author", u"Copyright", u"Description", u"Rating"};
    for (const TASFAttribute& a : Attributes) {
        TASFHome home = HomeFor(a);
        if (home == TASFHome::ContentDescription) {
            int slot = 0;
            while (a.Name != names[slot])
                ++slot;
            if (description[slot].empty()) {
                description[slot].push_back(&a);
                continue;
            }
            TASFAttribute moved = a;
            moved.Home = TASFHome::None;
            home = Fits(moved, TASFHome::ExtendedContent) ? TASFHome::ExtendedContent : TASFHome::MetadataLibrary;
        }
        if (home == TASFHome::ExtendedContent &&
            std::find(extendedNames.begin(), extendedNames.end(), a.Name) != extendedNames.end())
            home = TASFHome::MetadataLibrary;
        switch (home) {
        case TASFHome::ExtendedContent:
            extended.push_back(&a);
            extendedNames.push_back(a.Name);
            break;
        case TASFHome::Metadata:
            metadata.push_back(&a);
            break;
        case TASFHome::MetadataLibrary:
            library.push_back(&a);
            break;
        default:
            ErrorCode = kASFErrorCannotWrite;
            Error = "an attribute is too large for any object";
            return false;
        }
    }
    if (extended.size() > 0xFFFF || metadata.size() > 0xFFFF || library.size() > 0xFFFF) {
        ErrorCode = kASFErrorCannotWrite;
        Error = "too many attributes";
        return false;
    }

    std::vector<uint8_t> cd, ecd, md, ml;
    bool haveCd = false;
    for (auto& slot : description)
        haveCd = haveCd || !slot.empty();
    if (haveCd) {
        for (auto& slot : description)
            Append16(cd, static_cast<uint16_t>(slot.empty() ? 0 : slot.front()->Value.size()));
        for (auto& slot : description)
            if (!slot.empty())
                cd.insert(cd.end(), slot.front()->Value.begin(), slot.front()->Value.end());
    }
    if (!extended.empty()) {
        Append16(ecd, static_cast<uint16_t>(extended.size()));
        for (const TASFAttribute* a : extended) {
            const std::vector<uint8_t> value = StoredValue(*a, false);
            Append16(ecd, static_cast<uint16_t>((a->Name.size() + 1) * 2));
            AppendName(ecd, a->Name);
            Append16(ecd, a->Type);
            Append16(ecd, static_cast<uint16_t>(value.size()));
            ecd.insert(ecd.end(), value.begin(), value.end());
        }
    }
    auto records = [](std::vector<uint8_t>& into, const std::vector<const TASFAttribute*>& list) {
        if (list.empty())
            return;
        Append16(into, static_cast<uint16_t>(list.size()));
        for (const TASFAttribute* a : list) {
            const std::vector<uint8_t> value = StoredValue(*a, true);
            Append16(into, a->Language);
            Append16(into, a->Stream);
            Append16(into, static_cast<uint16_t>((a->Name.size() + 1) * 2));
            Append16(into, a->Type);
            Append32(into, static_cast<uint32_t>(value.size()));
            AppendName(into, a->Name);
            into.insert(into.end(), value.begin(), value.end());
        }
    };
    records(md, metadata);
    records(ml, library);

    // The objects in their old order, the attribute objects where the old ones stood (new ones at the end).
    std::vector<uint8_t> body;
    uint32_t count = 0;
    bool wroteCd = false, wroteEcd = false, wroteExtension = false;
    size_t filePropertiesAt = SIZE_MAX;
    auto extension = [&](const TObject* old) {
        std::vector<uint8_t> children;
        bool wroteMd = false, wroteMl = false;
        if (old)
            for (const TObject& child : old->Children) {
                if (child.Kind == okMetadata) {
                    if (!wroteMd && !md.empty())
                        AppendObject(children, kGuidMetadata, md);
                    wroteMd = true;
                } else if (child.Kind == okMetadataLibrary) {
                    if (!wroteMl && !ml.empty())
                        AppendObject(children, kGuidMetadataLibrary, ml);
                    wroteMl = true;
                } else {
                    children.insert(children.end(), FHeader.begin() + static_cast<ptrdiff_t>(child.Offset),
                                    FHeader.begin() + static_cast<ptrdiff_t>(child.Offset + child.Size));
                }
            }
        if (!wroteMd && !md.empty())
            AppendObject(children, kGuidMetadata, md);
        if (!wroteMl && !ml.empty())
            AppendObject(children, kGuidMetadataLibrary, ml);
        std::vector<uint8_t> payload;
        if (old)
            payload.assign(FHeader.begin() + static_cast<ptrdiff_t>(old->Offset + kObjectHeader),
                           FHeader.begin() + static_cast<ptrdiff_t>(old->Offset + kObjectHeader + 18));
        else {
            payload.assign(kGuidHeaderExtensionReserved.Bytes, kGuidHeaderExtensionReserved.Bytes + 16);
            Append16(payload, 6);
        }
        Append32(payload, static_cast<uint32_t>(children.size()));
        payload.insert(payload.end(), children.begin(), children.end());
        AppendObject(body, kGuidHeaderExtension, payload);
        ++count;
    };
    for (const TObject& object : FObjects) {
        switch (object.Kind) {
        case okContentDescription:
            if (!wroteCd && haveCd) {
                AppendObject(body, kGuidContentDescription, cd);
                ++count;
            }
            wroteCd = true;
            break;
        case okExtendedContent:
            if (!wroteEcd && !ecd.empty()) {
                AppendObject(body, kGuidExtendedContent, ecd);
                ++count;
            }
            wroteEcd = true;
            break;
        case okHeaderExtension:
            if (!wroteExtension)
                extension(&object);
            wroteExtension = true;
            break;
        default:
            if (object.Kind == okFileProperties && filePropertiesAt == SIZE_MAX)
                filePropertiesAt = body.size();
            body.insert(body.end(), FHeader.begin() + static_cast<ptrdiff_t>(object.Offset),
                        FHeader.begin() + static_cast<ptrdiff_t>(object.Offset + object.Size));
            ++count;
            break;
        }
    }
    if (!wroteCd && haveCd) {
        AppendObject(body, kGuidContentDescription, cd);
        ++count;
    }
    if (!wroteEcd && !ecd.empty()) {
        AppendObject(body, kGuidExtendedContent, ecd);
        ++count;
    }
    if (!wroteExtension && (!md.empty() || !ml.empty()))
        extension(nullptr);

    out.assign(kGuidHeader.Bytes, kGuidHeader.Bytes + 16);
    Append64(out, 30 + body.size());
    Append32(out, count);
    out.push_back(FHeader.size() >= 30 ? FHeader[28] : 1);
    out.push_back(FHeader.size() >= 30 ? FHeader[29] : 2);
    out.insert(out.end(), body.begin(), body.end());
    if (filePropertiesAt != SIZE_MAX) {
        const uint64_t newSize = FileSize - HeaderSize + out.size();
        PutLE64(out.data() + 30 + filePropertiesAt + kObjectHeader + 16, newSize);
    }
    return true;
}

bool TASFFile::Save(const std::wstring& path) {
    ErrorCode = 0;
    Error.clear();
    if (FHeader.empty()) {
        ErrorCode = kASFErrorNotASF;
        Error = "nothing loaded";
        return false;
    }
    std::vector<uint8_t> header;
    if (!BuildHeader(header))
        return false;
    uint32_t error = 0;
    PlatformFile source = PlatformFile::Open(path, FileAccess::Read, FileDisposition::OpenExisting, error);
    if (!source.IsOpen()) {
        ErrorCode = error;
        Error = "cannot open the file";
        return false;
    }
    // The file must still be the one the header came from.
    if (source.Size() != static_cast<int64_t>(FileSize)) {
        ErrorCode = kASFErrorBadHeader;
        Error = "the file changed since its header was read";
        return false;
    }
    std::vector<uint8_t> old(FHeader.size());
    if (source.Read(old.data(), old.size()) != static_cast<int64_t>(old.size()) || old != FHeader) {
        ErrorCode = kASFErrorBadHeader;
        Error = "the file changed since its header was read";
        return false;
    }
    const char* stage = "cannot create the temporary file";
    try {
        TTemporarySave save(path, static_cast<int32_t>(kCopyChunk));
        stage = "cannot write the header";
        save.Writer().Write(header);
        stage = "cannot copy the media data";
        std::vector<uint8_t> chunk(static_cast<size_t>(kCopyChunk));
        for (uint64_t left = FileSize - HeaderSize; left > 0;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(left, kCopyChunk));
            if (source.Read(chunk.data(), n) != static_cast<int64_t>(n)) {
                ErrorCode = source.LastError() ? source.LastError() : oserr::kReadFault;
                Error = "cannot read the media data";
                return false; // the temporary file goes with `save`
            }
            save.Writer().Write(chunk.data(), n);
            left -= n;
        }
        save.Finish();
        source.Close();
        stage = "cannot put the saved file in place";
        save.Replace();
    } catch (const ESaveFailure& failure) {
        ErrorCode = failure.Code;
        Error = stage;
        return false;
    }
    // The saved header is now the file's.
    const uint64_t newSize = FileSize - HeaderSize + header.size();
    return Parse(header.data(), header.size(), newSize) || (Error = "the saved header reads back wrong", false);
}

} // namespace mellodeck::asf
