// Every format's save, on each of its paths, made to fail at each step it reaches and at each single write:
// the original stays byte-identical and nothing is left beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "TestPaths.h"
#include "media/asf/ASFHeader.h"
#include "media/core/MediaManager.h"
#include "media/core/SafeSave.h"
#include "media/flac/FlacMediaFormat.h"
#include "media/mp3/MP3MediaFormat.h"
#include "media/mp4/MPEG4MediaFormat.h"
#include "media/ogg/OggMediaFormat.h"

namespace mellodeck {
namespace {

using test::FixturePath;
using test::HaveFixture;
using test::ReadAll;
using test::TempFolder;
using test::WriteAll;

// Opens the file, changes a text and saves; true when the save went through.
template <typename TFormat> std::function<bool(const std::wstring&)> EditAndPost(void (*edit)(TBaseMediaFormat&)) {
    return [edit](const std::wstring& path) {
        TFormat format;
        EXPECT_TRUE(format.Open(path, true, 0, false));
        edit(format);
        return format.Post(0);
    };
}

void NewTitle(TBaseMediaFormat& f) { f.Tags->Title->SetValue(L"Changed title"); }
void LongComment(TBaseMediaFormat& f) { f.Tags->Comment->SetValue(std::wstring(300000, L'c')); }

bool SaveAsf(const std::wstring& path) {
    asf::TASFFile file;
    EXPECT_TRUE(file.Load(path));
    const int title = file.Find(u"Title", 0);
    EXPECT_GE(title, 0);
    file.Attributes[static_cast<size_t>(title)].Value = asf::StringValue(u"Changed title");
    return file.Save(path);
}

struct SavePath {
    const char* Name;
    const char* Fixture;
    const char* Way; // the step that tells the path: "open-for-writing" or "create-temporary"
    std::function<bool(const std::wstring&)> Save;
};

class SaveFaults : public ::testing::Test {
protected:
    void SetUp() override { MediaLibraryStart(); }
    void TearDown() override { SetSaveFaultHook(nullptr); }
};

TEST_F(SaveFaults, AFailureAtAnyStepOrWriteLeavesTheOriginal) {
    const std::vector<SavePath> paths = {
        {"MP3 in place", "mp3/v23-full.mp3", "open-for-writing", EditAndPost<TMP3MediaFormat>(NewTitle)},
        {"MP3 rewritten", "mp3/v23-full.mp3", "create-temporary", EditAndPost<TMP3MediaFormat>(LongComment)},
        {"FLAC in place", "flacogg/tagged.flac", "open-for-writing", EditAndPost<TFlacMediaFormat>(NewTitle)},
        {"FLAC rewritten", "flacogg/nopad.flac", "create-temporary", EditAndPost<TFlacMediaFormat>(NewTitle)},
        {"Ogg Vorbis", "flacogg/tagged.ogg", "create-temporary", EditAndPost<TOggMediaFormat>(NewTitle)},
        {"MPEG-4 in place", "mp4/tagged-faststart.m4a", "open-for-writing", EditAndPost<TMPEG4MediaFormat>(NewTitle)},
        {"MPEG-4 rewritten", "mp4/tagged-faststart.m4a", "create-temporary",
         [](const std::wstring& path) {
             // Any slack left in the old metadata is given back by a rebuild.
             const int32_t gap = MPEG4MaxInPlaceGap;
             MPEG4MaxInPlaceGap = 0;
             const bool saved = EditAndPost<TMPEG4MediaFormat>(NewTitle)(path);
             MPEG4MaxInPlaceGap = gap;
             return saved;
         }},
        {"ASF header", "wma/tagged.wma", "create-temporary", SaveAsf},
    };
    for (const SavePath& path : paths) {
        SCOPED_TRACE(path.Name);
        ASSERT_TRUE(HaveFixture(path.Fixture)) << path.Fixture;
        TempFolder folder;
        const std::filesystem::path file = folder.Path() / std::filesystem::path(path.Fixture).filename();
        const std::wstring name = folder.Text(std::filesystem::path(path.Fixture).filename().string());
        const std::string original = ReadAll(FixturePath(path.Fixture));

        // The steps this path reaches, and how many writes it makes.
        std::vector<std::string> steps;
        int writes = 0;
        WriteAll(file, original);
        SetSaveFaultHook([&](const char* step) -> uint32_t {
            if (std::string(step) == savestep::kWrite)
                ++writes;
            else
                steps.push_back(step);
            return 0;
        });
        ASSERT_TRUE(path.Save(name));
        EXPECT_NE(ReadAll(file), original);
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.front(), path.Way) << ::testing::PrintToString(steps) << " writes " << writes;
        EXPECT_GT(writes, 0);

        std::vector<std::pair<std::string, int>> faults; // a named step, or the Nth write
        for (const std::string& step : steps)
            faults.emplace_back(step, 0);
        for (int n = 1; n <= writes; ++n)
            faults.emplace_back(savestep::kWrite, n);
        for (const auto& [step, nth] : faults) {
            SCOPED_TRACE(step + (nth ? " #" + std::to_string(nth) : std::string()));
            WriteAll(file, original);
            int counted = 0;
            SetSaveFaultHook([&](const char* s) -> uint32_t {
                if (step != s)
                    return 0;
                return nth == 0 || ++counted == nth ? oserr::kDiskFull : 0;
            });
            EXPECT_FALSE(path.Save(name));
            SetSaveFaultHook(nullptr);
            EXPECT_TRUE(ReadAll(file) == original);
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1)
                << "a temporary or backup file left behind";
        }
    }
}

} // namespace
} // namespace mellodeck
