#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "imaging/ImageCodecs.h"

namespace mellodeck {
namespace {

TEST(ImageKind, DetectsSignatures) {
    struct Case {
        std::string bytes;
        ImageKind kind;
    };
    const std::string bmpInfo = std::string("BM") + std::string(12, '\0') + std::string("\x28\0\0\0", 4);
    const std::string bmpCore = std::string("BM") + std::string(12, '\0') + std::string("\x0C\0\0\0", 4);
    const std::vector<Case> cases = {
        {"\xFF\xD8\xFF\xE0", ImageKind::Jpeg},
        {"\xFF\xD8\xFF", ImageKind::Jpeg},
        {"\xFF\xD8", ImageKind::Unknown},
        {"\x89PNG\r\n\x1A\n....", ImageKind::Png},
        {"\x89PNG\r\n\x1A", ImageKind::Unknown},
        {"GIF87a", ImageKind::Gif},
        {"GIF89a\x01\0", ImageKind::Gif},
        {"GIF88a", ImageKind::Unknown},
        {std::string("II*\0", 4), ImageKind::Tiff},
        {std::string("MM\0*", 4), ImageKind::Tiff},
        {std::string("II+\0", 4), ImageKind::Tiff},
        {std::string("MM\0+", 4), ImageKind::Tiff},
        {std::string("MM*\0", 4), ImageKind::Unknown},
        {bmpInfo, ImageKind::Bmp},
        {bmpCore, ImageKind::Bmp},
        {"BM", ImageKind::Unknown},
        {std::string("BM") + std::string(12, '\0') + std::string("\x63\0\0\0", 4), ImageKind::Unknown},
        {"ID3\x03", ImageKind::Unknown},
        {"", ImageKind::Unknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DetectImageKind(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()), c.kind)
            << "bytes of length " << c.bytes.size() << " starting " << c.bytes.substr(0, 4);
    EXPECT_EQ(DetectImageKind(nullptr, 10), ImageKind::Unknown);
}

TEST(ImageKind, MapsExtensionsIgnoringCaseAndDot) {
    struct Case {
        const wchar_t* ext;
        ImageKind kind;
    };
    const Case cases[] = {
        {L".jpg", ImageKind::Jpeg}, {L"JPEG", ImageKind::Jpeg},     {L".Jpe", ImageKind::Jpeg},
        {L"jfif", ImageKind::Jpeg}, {L".PNG", ImageKind::Png},      {L"gif", ImageKind::Gif},
        {L".tif", ImageKind::Tiff}, {L".TIFF", ImageKind::Tiff},    {L".bmp", ImageKind::Bmp},
        {L"Dib", ImageKind::Bmp},   {L".ico", ImageKind::Unknown},  {L"", ImageKind::Unknown},
        {L".", ImageKind::Unknown}, {L"..jpg", ImageKind::Unknown}, {L"jpg ", ImageKind::Unknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ImageKindFromExtension(c.ext), c.kind) << "extension index " << (&c - cases);
}

} // namespace
} // namespace mellodeck
