#pragma once
// Atom and item type codes of MPEG-4 files. A type is kept as the 32-bit big-endian number of its four
// bytes, so "moov" compares as one integer; the module's integer access is common/ByteOrder.h.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/ByteOrder.h"

namespace mellodeck {

constexpr uint32_t FourCC(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return (uint32_t(a) << 24) | (uint32_t(b) << 16) | (uint32_t(c) << 8) | uint32_t(d);
}
constexpr uint32_t FourCC(const char (&text)[5]) {
    return FourCC(uint8_t(text[0]), uint8_t(text[1]), uint8_t(text[2]), uint8_t(text[3]));
}
// The item types of the form "©xyz", where © is the single byte 0xA9.
constexpr uint32_t CopyrightCode(const char (&text)[4]) {
    return FourCC(0xA9, uint8_t(text[0]), uint8_t(text[1]), uint8_t(text[2]));
}

namespace atom {
constexpr uint32_t kMoov = FourCC("moov");
constexpr uint32_t kMdat = FourCC("mdat");
constexpr uint32_t kMoof = FourCC("moof");
constexpr uint32_t kMfra = FourCC("mfra");
constexpr uint32_t kMvex = FourCC("mvex");
constexpr uint32_t kMvhd = FourCC("mvhd");
constexpr uint32_t kTrak = FourCC("trak");
constexpr uint32_t kMdia = FourCC("mdia");
constexpr uint32_t kMdhd = FourCC("mdhd");
constexpr uint32_t kHdlr = FourCC("hdlr");
constexpr uint32_t kMinf = FourCC("minf");
constexpr uint32_t kStbl = FourCC("stbl");
constexpr uint32_t kStsd = FourCC("stsd");
constexpr uint32_t kStco = FourCC("stco");
constexpr uint32_t kCo64 = FourCC("co64");
constexpr uint32_t kSaio = FourCC("saio");
constexpr uint32_t kUdta = FourCC("udta");
constexpr uint32_t kMeta = FourCC("meta");
constexpr uint32_t kIlst = FourCC("ilst");
constexpr uint32_t kFree = FourCC("free");
constexpr uint32_t kData = FourCC("data");
constexpr uint32_t kSoun = FourCC("soun");
} // namespace atom

namespace item {
constexpr uint32_t kArtist = CopyrightCode("ART");
constexpr uint32_t kTitle = CopyrightCode("nam");
constexpr uint32_t kAlbum = CopyrightCode("alb");
constexpr uint32_t kComment = CopyrightCode("cmt");
constexpr uint32_t kTrack = FourCC("trkn");
constexpr uint32_t kComposer = CopyrightCode("wrt");
constexpr uint32_t kGenreText = CopyrightCode("gen");
constexpr uint32_t kGenreCode = FourCC("gnre");
constexpr uint32_t kYear = CopyrightCode("day");
constexpr uint32_t kCover = FourCC("covr");
constexpr uint32_t kAlbumArtist = FourCC("aART");
constexpr uint32_t kCompilation = FourCC("cpil");
constexpr uint32_t kCopyright = CopyrightCode("cpy");
constexpr uint32_t kPublisher = CopyrightCode("mak");
constexpr uint32_t kLyrics = CopyrightCode("lyr");
constexpr uint32_t kLyricist = CopyrightCode("aut");
constexpr uint32_t kConductor = CopyrightCode("dir");
constexpr uint32_t kInvolvedPeople = CopyrightCode("inf");
constexpr uint32_t kOriginalAlbum = CopyrightCode("src");
constexpr uint32_t kOriginalArtist = CopyrightCode("ope");
constexpr uint32_t kOriginalLyricist = FourCC("olyr");
constexpr uint32_t kOriginalYear = FourCC("oday");
constexpr uint32_t kMood = FourCC("mood");
constexpr uint32_t kBPM = FourCC("tmpo");
constexpr uint32_t kISRC = FourCC("ISRC");
constexpr uint32_t kEncodedBy = CopyrightCode("enc");
constexpr uint32_t kURL = CopyrightCode("url");
constexpr uint32_t kEncoderTool = CopyrightCode("too");
} // namespace item

// The last byte of a data atom's type indicator: what its payload holds.
namespace kind {
constexpr uint8_t kBinary = 0;
constexpr uint8_t kUtf8 = 1;
constexpr uint8_t kUtf16 = 2;
constexpr uint8_t kJpeg = 13;
constexpr uint8_t kPng = 14;
constexpr uint8_t kInteger = 21;
} // namespace kind

// Printable form of a type for messages ("moov", "\xA9nam" as "(c)nam").
std::string AtomTypeText(uint32_t type);

} // namespace mellodeck
