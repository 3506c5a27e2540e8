#pragma once
// Windows Media files (.wma, .wmv; .asf through TASFMediaFormat): every value comes from the Windows Media
// runtime's metadata editor and header-info interfaces, by attribute name. No stream of its own.
#include <cstdint>
#include <string>
#include <vector>

#include "common/win/ComPtr.h"
#include "media/core/MediaFormat.h"
#include "media/win/WMATags.h"
#include "media/win/WindowsMedia.h"

namespace mellodeck {

// LastError codes of this format (beside the runtime's own HRESULTs, kept when it refuses a file or a
// flush).
constexpr uint32_t kErrorWMANoEditor = 0x10000001;      // the editor could not be created
constexpr uint32_t kErrorWMAOpenException = 0x10000002; // an exception while opening
constexpr uint32_t kErrorWMANoHeaderInfo = 0x10000003;  // on save, no header-info interface
constexpr uint32_t kErrorWMASaveException = 0x10000004; // on save, an exception while setting a tag
constexpr uint32_t kErrorWMARefused = 0x10000005;       // on save, the runtime refused an attribute

class TWMAMediaFormat : public TBaseMediaFormat {
public:
    TWMAMediaFormat();
    // Closes here: the base destructor would reach only the base's Close.
    ~TWMAMediaFormat() override;
    const char* ClassName() const override { return "TWMAMediaFormat"; }

    bool Open(const std::wstring& fileName, bool forWriting, uint32_t context, bool infoOnly) override;
    bool IsOpen() const override { return static_cast<bool>(Editor); }
    // Closes without saving: a save commits its changes itself (SaveTags), so a read never writes the
    // file and a failed save leaves it as it was.
    void Close(uint32_t context) override;
    bool ReadInfo() override;
    bool SaveTags(uint32_t context) override;
    bool IsTagEmpty() const override;
    void Reset() override;
    // Also true when pictures were removed since the read (removing an item does not mark the tag).
    bool GetModified() const override;
    // Whether the program changed the pictures since the read: an item changed, added or removed.
    bool PicturesChanged() const;

    TWMAKnownTags* KnownTags() const { return static_cast<TWMAKnownTags*>(Tags.get()); }

    // The runtime's editor for the open file; none while closed.
    win::ComPtr<IWMMetadataEditor> Editor;

private:
    struct THeader {
        win::ComPtr<IWMHeaderInfo> Info;
        win::ComPtr<IWMHeaderInfo3> Info3; // when the runtime offers it: 32-bit value lengths
    };
    bool ReachHeader(THeader& header) const;
    // Two-step fetch of a stream-0 attribute's first value: type and bytes. The runtime's HRESULT.
    HRESULT FetchAttribute(const THeader& header, const wchar_t* name, WMT_ATTR_DATATYPE& type,
                           std::vector<uint8_t>& value) const;
    std::wstring ReadAttributeText(const THeader& header, const wchar_t* name, bool& found) const;
    uint64_t ReadAttributeNumber(const THeader& header, const wchar_t* name, WMT_ATTR_DATATYPE* type = nullptr) const;
    void ReadAttributePicture(const THeader& header);
    void TakePicture(const uint8_t* value, size_t size);
    bool WriteText(const THeader& header, TWMABaseTag& tag);
    bool WritePictures(const THeader& header);

    // The stored bytes of pictures not taken into Pictures (not JPEG), written back after the program's own
    // when it changes the pictures.
    std::vector<std::vector<uint8_t>> FOtherPictures;
    // The items the read made, in order.
    std::vector<const TPictureItem*> FReadPictures;
};

// The same format for ".asf" files, under its own class name.
class TASFMediaFormat : public TWMAMediaFormat {
public:
    const char* ClassName() const override { return "TASFMediaFormat"; }
};

} // namespace mellodeck
