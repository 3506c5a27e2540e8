// Saving the header: what mutagen and ffmpeg read afterwards, objects the writer does not know carried
// through, and failed saves that leave the file as it was.
#include <gtest/gtest.h>

#include <algorithm>

#include "AsfTestSupport.h"
#include "media/asf/ASFPicture.h"
#include "common/SystemError.h"
#include "media/core/SafeSave.h"

namespace mellodeck::test {
namespace {

using asf::TASFAttribute;
using asf::TASFFile;

std::filesystem::path Copy(const TempFolder& folder, const std::string& fixture) {
    const auto target = folder.Path() / "copy.wma";
    std::filesystem::copy_file(FixturePath("wma/" + fixture), target);
    return target;
}

std::vector<std::string> Replace(std::vector<std::string> lines, const std::string& prefix,
                                 const std::vector<std::string>& with) {
    lines.erase(
        std::remove_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }),
        lines.end());
    lines.insert(lines.end(), with.begin(), with.end());
    std::sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
        // info lines stay last, as the dump prints them
        const bool ia = a.rfind("info\t", 0) == 0, ib = b.rfind("info\t", 0) == 0;
        return ia != ib ? ib : (ia ? false : a < b);
    });
    return lines;
}

TASFAttribute Picture(const std::string& mime, uint8_t type, const std::string& bytes) {
    asf::TASFPicture p;
    p.MIMEType.assign(mime.begin(), mime.end());
    p.Type = type;
    p.Data.assign(bytes.begin(), bytes.end());
    TASFAttribute a;
    a.Name = u"WM/Picture";
    a.Type = asf::adtBinary;
    a.Value = asf::StoredPicture(p);
    return a;
}

TEST(AsfSave, ChangedAttributesOnlyAndTheAudioUntouched) {
    ASSERT_TRUE(HaveFixture("wma/tagged.wma"));
    TempFolder folder;
    const auto path = Copy(folder, "tagged.wma");
    const std::string before = ReadAll(path);
    TASFFile file;
    ASSERT_TRUE(file.Load(path.wstring()));
    const uint64_t oldHeader = file.HeaderSize;
    // A new title, no pictures, three new ones (the second too large for the extended description).
    file.Attributes[static_cast<size_t>(file.Find(u"Title", 0))].Value = asf::StringValue(u"New title");
    for (int i : [&] {
             auto v = file.FindAll(u"WM/Picture", 0);
             std::reverse(v.begin(), v.end());
             return v;
         }())
        file.Attributes.erase(file.Attributes.begin() + i);
    const std::string big = ReadAll(FixturePath("wma/big.jpg"));
    const std::string small = ReadAll(FixturePath("wma/cover.png"));
    file.Attributes.push_back(Picture("image/png", 3, small));
    file.Attributes.push_back(Picture("image/jpeg", 4, big));
    file.Attributes.push_back(Picture("image/png", 5, small));
    ASSERT_TRUE(file.Save(path.wstring())) << file.Error;

    const std::string after = ReadAll(path);
    // The media data after the header is the same bytes.
    EXPECT_EQ(after.substr(file.HeaderSize), before.substr(oldHeader));
    EXPECT_EQ(FfmpegComplaints(path), "");
    int status = 0;
    const std::string sha = RunTool("sha1sum '" + FixturePath("wma/big.jpg").string() + "'", status).substr(0, 40);
    const std::string shaPng = RunTool("sha1sum '" + FixturePath("wma/cover.png").string() + "'", status).substr(0, 40);
    auto expected =
        Replace(Lines(ReadAll(FixturePath("wma/tagged.wma.dump"))), "Title\t", {"Title\tUnicode\t'New title'"});
    expected =
        Replace(expected, "WM/Picture\t",
                {"WM/Picture\tByteArray\tpicture type=3 mime=image/png desc= bytes=" + std::to_string(small.size()) +
                     " sha1=" + shaPng,
                 "WM/Picture\tByteArray\tpicture type=4 mime=image/jpeg desc= bytes=" + std::to_string(big.size()) +
                     " sha1=" + sha,
                 "WM/Picture\tByteArray\tpicture type=5 mime=image/png desc= bytes=" + std::to_string(small.size()) +
                     " sha1=" + shaPng});
    std::vector<std::string> got = WmaDump(path);
    std::vector<std::string> gotPictures, wantPictures;
    for (const auto& l : got)
        if (l.rfind("WM/Picture", 0) == 0)
            gotPictures.push_back(l);
    for (const auto& l : expected)
        if (l.rfind("WM/Picture", 0) == 0)
            wantPictures.push_back(l);
    // mutagen lists values of one name in the order stored, whichever object holds them
    std::sort(gotPictures.begin(), gotPictures.end());
    std::sort(wantPictures.begin(), wantPictures.end());
    EXPECT_EQ(gotPictures, wantPictures);
    auto strip = [](std::vector<std::string> v) {
        v.erase(std::remove_if(v.begin(), v.end(), [](const std::string& l) { return l.rfind("WM/Picture", 0) == 0; }),
                v.end());
        return v;
    };
    EXPECT_EQ(strip(got), strip(expected));

    // Read back by ourselves: the extended description keeps one value a name; the big picture and the
    // third went to the metadata library; the rest stayed where it was.
    TASFFile again;
    ASSERT_TRUE(again.Load(path.wstring()));
    const auto pictures = again.FindAll(u"WM/Picture", 0);
    ASSERT_EQ(pictures.size(), 3u);
    int inLibrary = 0;
    for (int i : pictures)
        inLibrary += again.Attributes[static_cast<size_t>(i)].Home == asf::TASFHome::MetadataLibrary;
    EXPECT_EQ(inLibrary, 2);
    EXPECT_EQ(Attribute(again, u"Title")->Home, asf::TASFHome::ContentDescription);
    EXPECT_EQ(Attribute(again, u"Mellodeck/Kept")->Home, asf::TASFHome::ExtendedContent);
}

TEST(AsfSave, EmptiedDescriptionAndUnknownObjectsCarriedThrough) {
    ASSERT_TRUE(HaveFixture("wma/duration.wma"));
    TempFolder folder;
    const auto path = Copy(folder, "duration.wma");
    TASFFile file;
    ASSERT_TRUE(file.Load(path.wstring()));
    // Remove every content description text: the object goes; the stream bit rates object (which this
    // writer does not rewrite) and the padding stay byte for byte.
    for (const char16_t* name : {u"Title", u"Author", u"Copyright", u"Description"})
        file.Attributes.erase(file.Attributes.begin() + file.Find(name, 0));
    const std::string before = ReadAll(path);
    ASSERT_TRUE(file.Save(path.wstring())) << file.Error;
    const std::string after = ReadAll(path);
    const std::string bitrates = before.substr(before.find(std::string("\xCE\x75\xF8\x7B", 4)), 32);
    EXPECT_NE(after.find(bitrates), std::string::npos);
    EXPECT_EQ(FfmpegComplaints(path), "");
    const auto dump = WmaDump(path);
    for (const char* gone : {"Title\t", "Author\t", "Copyright\t", "Description\t"})
        EXPECT_TRUE(std::none_of(dump.begin(), dump.end(), [&](const std::string& l) { return l.rfind(gone, 0) == 0; }))
            << gone;
    EXPECT_NE(std::find(dump.begin(), dump.end(), "info\tlength\t234.5679"), dump.end());
    TASFFile again;
    ASSERT_TRUE(again.Load(path.wstring()));
    EXPECT_EQ(again.StreamsBitrate, 127999u);
    EXPECT_EQ(again.FileSize, after.size());
}

TEST(AsfSave, AFailedStepLeavesTheFileAsItWas) {
    ASSERT_TRUE(HaveFixture("wma/tagged.wma"));
    for (const char* step : {"create-temporary", "write", "flush", "rename-original", "rename-temporary"}) {
        SCOPED_TRACE(step);
        TempFolder folder;
        const auto path = Copy(folder, "tagged.wma");
        const std::string before = ReadAll(path);
        TASFFile file;
        ASSERT_TRUE(file.Load(path.wstring()));
        file.Attributes[static_cast<size_t>(file.Find(u"Title", 0))].Value = asf::StringValue(u"Lost");
        SetSaveFaultHook([&](const char* s) { return std::string(s) == step ? oserr::kDiskFull : 0u; });
        EXPECT_FALSE(file.Save(path.wstring()));
        SetSaveFaultHook(nullptr);
        EXPECT_EQ(file.ErrorCode, oserr::kDiskFull);
        EXPECT_EQ(ReadAll(path), before);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1) << "a file left behind";
    }
}

TEST(AsfSave, RefusesAFileChangedSinceItsHeaderWasRead) {
    ASSERT_TRUE(HaveFixture("wma/tagged.wma"));
    TempFolder folder;
    const auto path = Copy(folder, "tagged.wma");
    TASFFile file;
    ASSERT_TRUE(file.Load(path.wstring()));
    std::filesystem::copy_file(FixturePath("wma/plain.wma"), path, std::filesystem::copy_options::overwrite_existing);
    EXPECT_FALSE(file.Save(path.wstring()));
    EXPECT_EQ(ReadAll(path), ReadAll(FixturePath("wma/plain.wma")));
}

TEST(AsfSave, AddsMetadataObjectsToAFileWithoutThem) {
    ASSERT_TRUE(HaveFixture("wma/plain.wma"));
    TempFolder folder;
    const auto path = Copy(folder, "plain.wma");
    TASFFile file;
    ASSERT_TRUE(file.Load(path.wstring()));
    TASFAttribute perStream;
    perStream.Name = u"WM/StreamNote";
    perStream.Stream = 1;
    perStream.Value = asf::StringValue(u"stream one");
    TASFAttribute flag;
    flag.Name = u"IsVBR";
    flag.Type = asf::adtBool;
    flag.Value = {1, 0, 0, 0};
    TASFAttribute title;
    title.Name = u"Title";
    title.Value = asf::StringValue(u"Fresh");
    file.Attributes = {perStream, flag, title};
    ASSERT_TRUE(file.Save(path.wstring())) << file.Error;
    EXPECT_EQ(FfmpegComplaints(path), "");
    const auto dump = WmaDump(path);
    for (const char* line : {"Title\tUnicode\t'Fresh'", "IsVBR\tBool\tTrue", "WM/StreamNote\tUnicode\t'stream one'"})
        EXPECT_NE(std::find(dump.begin(), dump.end(), line), dump.end()) << line;
    TASFFile again;
    ASSERT_TRUE(again.Load(path.wstring()));
    ASSERT_GE(again.Find(u"WM/StreamNote", 1), 0);
    EXPECT_EQ(again.Attributes[static_cast<size_t>(again.Find(u"WM/StreamNote", 1))].Home, asf::TASFHome::Metadata);
}

} // namespace
} // namespace mellodeck::test
