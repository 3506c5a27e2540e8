#pragma once
// The tag objects of ID3v2 frames. Each parses its frame payload (LoadFromBuffer, any of versions 2.2,
// 2.3 and 2.4) and writes itself as an ID3v2.3 frame (SaveToStream).
#include <cstdint>
#include <string>
#include <vector>

#include "media/core/Tags.h"

namespace mellodeck {

// Base of the text-like frame tags: TagID holds the four-character frame id, V22FrameID the three
// characters of the ID3v2.2 frame ("" when that version has none).
class TBaseMp3Tag : public TBaseStringTag {
public:
    TBaseMp3Tag(TCommonMediaTags* owner, const char* frameID, const char* v22FrameID = "");
    std::string FrameID() const;
    std::string V22FrameID;

protected:
    // Writes frame id, 32-bit big-endian payload size, two zero flag bytes, payload.
    void WriteFrame(TStream& stream, const std::vector<uint8_t>& payload) const;
};

// A text frame (T...): encoding byte, then the text.
class TMP3TextTag : public TBaseMp3Tag {
public:
    using TBaseMp3Tag::TBaseMp3Tag;
    // A changed value also picks Encoding: 1 when the text does not survive the 8-bit code page, else 0.
    void SetValue(const std::wstring& value) override;
    void Clear() override;
    void Assign(const TBaseTag& source) override;
    // The first value goes to Value, further ones (separated by terminators) to MoreValues.
    void LoadFromBuffer(const uint8_t* data, size_t size) override;
    // A further frame of the same id: its values join MoreValues.
    void AddValuesFrom(const uint8_t* data, size_t size);
    // Writes every value, separated by terminators.
    void SaveToStream(TStream& stream) override;

    uint8_t Encoding = 0;

protected:
    // The text written for the value (the genre tag adds its number).
    virtual std::wstring SavedText() const { return Value; }
};

// TYER, which also takes the year of a recording time (TDRC, version 2.4) when the tag has no TYER.
class TMP3YearTag : public TMP3TextTag {
public:
    using TMP3TextTag::TMP3TextTag;
    void SetValue(const std::wstring& value) override;
    void Clear() override;
    void Assign(const TBaseTag& source) override;
    // Takes the year from a TDRC payload that begins with four digits; false (nothing changed) otherwise.
    bool LoadTimestamp(const uint8_t* data, size_t size);
    // TYER, then TDAT and TIME for the rest of a recording time read with the year.
    void SaveToStream(TStream& stream) override;

    // The recording time the year was read from ("2023-05-01T10:30"); empty when read from TYER or set.
    std::wstring Timestamp;
};

// TCON: a text frame whose numeric references "(n)" become genre names.
class TMP3GenreTag : public TMP3TextTag {
public:
    using TMP3TextTag::TMP3TextTag;
    void LoadFromBuffer(const uint8_t* data, size_t size) override;

protected:
    std::wstring SavedText() const override;
};

// COMM and USLT: encoding, language, description, text. The value keeps its lines joined by CR LF.
class TMP3CommentTag : public TBaseMp3Tag {
public:
    TMP3CommentTag(TCommonMediaTags* owner, const char* frameID, const char* v22FrameID = "");
    void SetValue(const std::wstring& value) override;
    // Marks the tag modified when the description changes; picks Encoding like SetValue.
    void SetDescription(const std::wstring& description);
    void Clear() override;
    void Assign(const TBaseTag& source) override;
    void LoadFromBuffer(const uint8_t* data, size_t size) override;
    // Writes nothing when the value is blank.
    void SaveToStream(TStream& stream) override;

    uint8_t Encoding = 0;
    char Language[3] = {'e', 'n', 'g'};
    std::wstring Description;
};

// WXXX and TPUB. WXXX is encoding, description, URL; its URL is 8-bit text whatever the encoding byte
// says (as every other reader and writer keeps it). TPUB is a plain text frame; a TPUB laid out as
// description, terminator, value is read that way too.
class TMP3UserTextTag : public TBaseMp3Tag {
public:
    using TBaseMp3Tag::TBaseMp3Tag;
    void Clear() override;
    void Assign(const TBaseTag& source) override;
    void LoadFromBuffer(const uint8_t* data, size_t size) override;
    void SaveToStream(TStream& stream) override;

    uint8_t Encoding = 0;
    std::string Description; // 8-bit text
    bool IsUrl() const;
};

// APIC (and PIC of version 2.2): one picture item per frame, in file order.
class TMp3PictureTag : public TBasePictureTag {
public:
    TMp3PictureTag(TCommonMediaTags* owner, const char* frameID, const char* v22FrameID = "");
    // Payloads of 4 bytes or fewer are ignored. A frame that fails leaves no half-read item behind.
    void LoadFromBuffer(const uint8_t* data, size_t size) override;
    // One APIC frame per item that has a decoded picture or raw bytes.
    void SaveToStream(TStream& stream) override;
    std::string V22FrameID;
};

} // namespace mellodeck
