#include <gtest/gtest.h>

#include "TestFormat.h"
#include "TestPaths.h"
#include "imaging/ImageCodecs.h"
#include "media/core/MediaManager.h"

using namespace mellodeck;
using mellodeck::test::TTestFormat;

namespace {

std::vector<uint8_t> SmallJpeg(int w, int h, uint32_t argb) {
    Bitmap32 b(w, h);
    b.Fill(argb);
    std::vector<uint8_t> out;
    EXPECT_TRUE(EncodeJpeg(b, out, 80));
    return out;
}

} // namespace

TEST(StringTag, ModifiedOnlyByRealChangesAndByClearOfAValue) {
    TTestFormat f;
    TBaseStringTag& tag = *f.Tags->Title;
    tag.SetValue(L"");
    EXPECT_FALSE(tag.GetModified()) << "equal value";
    tag.SetValue(L"x");
    EXPECT_TRUE(tag.GetModified());
    tag.SetModified(false);
    tag.SetValue(L"x");
    EXPECT_FALSE(tag.GetModified());
    tag.SetValue(L"X");
    EXPECT_TRUE(tag.GetModified()) << "comparison is case-sensitive";

    tag.Exists = true;
    tag.Clear();
    EXPECT_EQ(tag.Value, L"");
    EXPECT_FALSE(tag.Exists);
    EXPECT_TRUE(tag.GetModified()) << "clearing a value is a change";
    tag.Clear();
    EXPECT_FALSE(tag.GetModified()) << "clearing an empty tag is not";
}

TEST(StringTag, AssignRefusesOtherKinds) {
    TTestFormat f;
    f.Tags->Artist->SetValue(L"a");
    f.Tags->Title->Assign(*f.Tags->Artist);
    EXPECT_EQ(f.Tags->Title->Value, L"a");
    EXPECT_THROW(f.Tags->Title->Assign(*f.Tags->Pictures), EConvertError);
}

TEST(PictureItem, DrawingIntoTheBitmapFreesRawBytes) {
    TTestFormat f;
    TPictureItem* item = f.Tags->Pictures->Add();
    item->MIMEType = "image/jpeg";
    const auto jpeg = SmallJpeg(8, 6, 0xFF204080);
    ASSERT_TRUE(DecodePictureByMime(*item, jpeg.data(), jpeg.size()));
    EXPECT_TRUE(item->Decoded);
    EXPECT_TRUE(item->HasData());
    EXPECT_EQ(item->GetBitmap().Width(), 8);
    f.Tags->Pictures->SetModified(false);
    EXPECT_FALSE(f.Tags->Pictures->GetModified());

    item->GetBitmap().SetPixel(0, 0, 0xFFFFFFFF);
    item->GetBitmap().NotifyChanged();
    EXPECT_FALSE(item->HasData());
    EXPECT_TRUE(item->Modified);
    EXPECT_TRUE(f.Tags->Pictures->GetModified());
}

TEST(PictureItem, MimeLookupIgnoresCaseAndUnknownTypesKeepBytesOnly) {
    struct Row {
        const char* Mime;
        ImageKind Kind;
    } rows[] = {{"image/jpeg", ImageKind::Jpeg}, {"IMAGE/JPG", ImageKind::Jpeg}, {"image/PNG", ImageKind::Png},
                {"Image/Gif", ImageKind::Gif},   {"image/tiff", ImageKind::Tiff}, {"image/bmp", ImageKind::Bmp},
                {"image/webp", ImageKind::Unknown}, {"", ImageKind::Unknown}, {"-->", ImageKind::Unknown}};
    for (const Row& r : rows)
        EXPECT_EQ(ImageKindFromMime(r.Mime), r.Kind) << r.Mime;

    TTestFormat f;
    f.Tags->Pictures->Exists = true;
    TPictureItem* item = f.Tags->Pictures->Add();
    item->MIMEType = "IMAGE/JPEG";
    const auto jpeg = SmallJpeg(4, 4, 0xFF00FF00);
    EXPECT_TRUE(DecodePictureByMime(*item, jpeg.data(), jpeg.size()));

    TPictureItem* unknown = f.Tags->Pictures->Add();
    unknown->MIMEType = "image/x-unknown";
    EXPECT_FALSE(DecodePictureByMime(*unknown, jpeg.data(), jpeg.size()));
    EXPECT_FALSE(unknown->Decoded);
    EXPECT_TRUE(unknown->HasData());
    EXPECT_TRUE(f.Tags->Pictures->Exists) << "an unknown type is not a decoding failure";

    TPictureItem* broken = f.Tags->Pictures->Add();
    broken->MIMEType = "image/png";
    const uint8_t garbage[] = {1, 2, 3, 4, 5};
    EXPECT_FALSE(DecodePictureByMime(*broken, garbage, sizeof garbage));
    EXPECT_TRUE(broken->HasData());
    EXPECT_TRUE(f.Tags->Pictures->Exists) << "a picture that does not decode still exists: its bytes are kept";
}

TEST(Artwork, IsTheFirstPictureThatDecoded) {
    TTestFormat f;
    TBasePictureTag& pics = *f.Tags->Pictures;
    pics.Exists = true;
    TPictureItem* first = pics.Add();
    first->MIMEType = "image/x-unknown";
    const auto jpeg = SmallJpeg(16, 16, 0xFF112233);
    DecodePictureByMime(*first, jpeg.data(), jpeg.size());
    EXPECT_FALSE(HasArtwork(&f)) << "nothing decoded yet";
    TPictureItem* second = pics.Add();
    second->MIMEType = "image/jpeg";
    ASSERT_TRUE(DecodePictureByMime(*second, jpeg.data(), jpeg.size()));
    TPictureItem* third = pics.Add();
    const auto other = SmallJpeg(8, 8, 0xFF445566);
    third->MIMEType = "image/jpeg";
    ASSERT_TRUE(DecodePictureByMime(*third, other.data(), other.size()));
    ASSERT_TRUE(HasArtwork(&f)) << "a picture that does not decode does not hide a later one";
    EXPECT_EQ(GetArtwork(&f), second->Bitmap.get());
    EXPECT_EQ(GetArtwork(&f)->Width(), 16);

    pics.Remove(second);
    EXPECT_EQ(GetArtwork(&f)->Width(), 8);
    pics.Supported = false;
    EXPECT_FALSE(HasArtwork(&f));
    EXPECT_FALSE(HasArtwork(nullptr));
}

TEST(Container, AssignCopiesTheFirst24SlotsOnly) {
    TTestFormat a, b;
    for (const auto& slot : TCommonMediaTags::StringSlots())
        (a.Tags.get()->*slot.Member)->SetValue(L"src-" + Utf8ToWide(slot.Name));
    b.Tags->AlbumArtist->SetValue(L"keep-aa");
    b.Tags->Compilation->SetValue(L"keep-c");
    TPictureItem* pic = a.Tags->Pictures->Add();
    pic->GetBitmap().SetSize(3, 2); // a picture set by the program, without raw bytes
    b.Tags->Assign(*a.Tags);
    for (const auto& slot : TCommonMediaTags::StringSlots()) {
        const std::string name = slot.Name;
        const std::wstring got = (b.Tags.get()->*slot.Member)->Value;
        if (name == "AlbumArtist")
            EXPECT_EQ(got, L"keep-aa");
        else if (name == "Compilation")
            EXPECT_EQ(got, L"keep-c");
        else
            EXPECT_EQ(got, L"src-" + Utf8ToWide(name)) << name;
    }
    ASSERT_EQ(b.Tags->Pictures->Count(), 1);
    EXPECT_EQ(b.Tags->Pictures->Item(0)->GetBitmap().Width(), 3) << "bitmap-only pictures survive a copy";
    EXPECT_TRUE(b.Tags->Pictures->Exists);
}

TEST(Limiter, KeepsAspectAndIsOffByDefault) {
    MediaLibraryStart();
    ASSERT_NE(ImageTagLimiter(), nullptr);
    EXPECT_FALSE(ImageTagLimiter()->Enabled);
    TImageTagLimiter limiter;
    limiter.Enabled = true;
    limiter.MaxWidth = 100;
    limiter.MaxHeight = 100;
    struct Row {
        int W, H, EW, EH;
    } rows[] = {{400, 200, 100, 50}, {200, 400, 50, 100}, {300, 300, 100, 100}, {80, 90, 80, 90}, {150, 99, 100, 66}};
    for (const Row& r : rows) {
        Bitmap32 b(r.W, r.H);
        limiter.Limit(&b);
        EXPECT_EQ(b.Width(), r.EW) << r.W << "x" << r.H;
        EXPECT_EQ(b.Height(), r.EH) << r.W << "x" << r.H;
    }
    limiter.Limit(nullptr);
}
