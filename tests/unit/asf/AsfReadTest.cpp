// The ASF header reader on files made by ffmpeg and tagged by mutagen.
#include <gtest/gtest.h>

#include "AsfTestSupport.h"
#include "media/asf/ASFPicture.h"
#include "media/core/MediaManager.h"

namespace mellodeck::test {
namespace {

using asf::TASFFile;

TASFFile LoadFixture(const std::string& name) {
    TASFFile file;
    EXPECT_TRUE(HaveFixture("wma/" + name)) << "run tests/fixtures/make-wma.sh";
    EXPECT_TRUE(file.Load(FixtureText("wma/" + name))) << name << ": " << file.Error;
    return file;
}

TEST(AsfRead, AttributesKeepTheirTypesAndValues) {
    const TASFFile file = LoadFixture("tagged.wma");
    ASSERT_NE(Attribute(file, u"Title"), nullptr);
    // The reader keeps the stored text; trimming is the format's business.
    EXPECT_EQ(asf::StringOf(Attribute(file, u"Title")->Value), u"Nachtzug \u00fcber Br\u00fccken   ");
    EXPECT_EQ(Attribute(file, u"Title")->Home, asf::TASFHome::ContentDescription);
    const auto* track = Attribute(file, u"WM/TrackNumber");
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->Type, asf::adtDWord);
    EXPECT_EQ(asf::NumberOf(*track), 7u);
    const auto* compilation = Attribute(file, u"WM/PartOfACompilation");
    ASSERT_NE(compilation, nullptr);
    EXPECT_EQ(compilation->Type, asf::adtBool);
    EXPECT_EQ(asf::NumberOf(*compilation), 1u);
    EXPECT_EQ(asf::NumberOf(*Attribute(file, u"Mellodeck/Counter")), 1234567890123u);

    const auto* picture = Attribute(file, u"WM/Picture");
    ASSERT_NE(picture, nullptr);
    asf::TASFPicture p;
    ASSERT_TRUE(asf::ParseStoredPicture(picture->Value.data(), picture->Value.size(), p));
    EXPECT_EQ(p.MIMEType, u"image/jpeg");
    EXPECT_EQ(p.Description, u"Front");
    EXPECT_EQ(p.Type, 3);
    EXPECT_EQ(std::string(p.Data.begin(), p.Data.end()), ReadAll(FixturePath("wma/cover.jpg")));
}

TEST(AsfRead, PlayLengthAndBitRateFromTheHeader) {
    const TASFFile plain = LoadFixture("plain.wma");
    EXPECT_TRUE(plain.HaveFileProperties);
    // 3 s of audio; the stored play duration includes the preroll (milliseconds).
    EXPECT_NEAR(static_cast<double>(plain.PlayDuration - plain.Preroll * 10000) / 1e7, 3.0, 0.05);
    EXPECT_EQ(plain.StreamsBitrate, 128000u);
    const TASFFile reshaped = LoadFixture("duration.wma");
    EXPECT_EQ(reshaped.PlayDuration - reshaped.Preroll * 10000, 2345678901u);
    EXPECT_EQ(reshaped.StreamsBitrate, 127999u); // the listed stream bit rate wins over the format block
}

TEST(AsfRead, LargeValuesLiveInTheMetadataLibrary) {
    const TASFFile file = LoadFixture("bigcover.wma");
    const auto* picture = Attribute(file, u"WM/Picture");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Home, asf::TASFHome::MetadataLibrary);
    asf::TASFPicture p;
    ASSERT_TRUE(asf::ParseStoredPicture(picture->Value.data(), picture->Value.size(), p));
    EXPECT_GT(p.Data.size(), 65536u);
    EXPECT_EQ(std::string(p.Data.begin(), p.Data.end()), ReadAll(FixturePath("wma/big.jpg")));
}

TEST(AsfRead, SeveralValuesOfOneNameInFileOrder) {
    const TASFFile file = LoadFixture("covers3.wma");
    const std::vector<int> pictures = file.FindAll(u"WM/Picture", 0);
    ASSERT_EQ(pictures.size(), 3u);
    const char16_t* mimes[] = {u"image/jpeg", u"image/png", u"image/jpeg"};
    for (size_t i = 0; i < 3; ++i) {
        asf::TASFPicture p;
        const auto& value = file.Attributes[static_cast<size_t>(pictures[i])].Value;
        ASSERT_TRUE(asf::ParseStoredPicture(value.data(), value.size(), p));
        EXPECT_EQ(p.MIMEType, mimes[i]);
    }
    // ffmpeg's own tags: the author in both description objects, the title in lower case beside Title.
    const TASFFile bus = LoadFixture("demo-library/Rain on Tin/Field Notes/03 Night Bus.wma");
    EXPECT_EQ(bus.FindAll(u"Author", 0).size(), 2u);
    EXPECT_GE(bus.Find(u"title", 0), 0);
}

} // namespace
} // namespace mellodeck::test

namespace mellodeck::test {
namespace {

// Without the Windows Media runtime the three extensions are not offered; the reader above still is.
TEST(AsfRead, NoWindowsMediaFormatsWithoutTheRuntime) {
    MediaLibraryStart();
    for (const wchar_t* extension : {L".wma", L".wmv", L".asf"})
        EXPECT_FALSE(MediaManager()->IsSupportedExtension(extension));
    EXPECT_TRUE(MediaManager()->IsSupportedExtension(L".m4p"));
}

} // namespace
} // namespace mellodeck::test
