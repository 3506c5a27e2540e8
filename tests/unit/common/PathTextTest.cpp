#include <gtest/gtest.h>

#include "PlatformPath.h"
#include "common/AxVersionInfo.h"
#include "common/FileUtils.h"

namespace mellodeck {
namespace {

using test::P;

struct TextCase {
    const wchar_t* Input;
    const wchar_t* Expected;
};

TEST(PathText, TrailingDelimiter) {
    const TextCase with[] = {
        {L"", L"\\"}, {L"C:", L"C:\\"}, {L"C:\\", L"C:\\"}, {L"C:\\dir", L"C:\\dir\\"}, {L"dir\\\\", L"dir\\\\"}};
    for (const TextCase& c : with)
        EXPECT_EQ(WithTrailingBackslash(P(c.Input)), P(c.Expected)) << "input " << c.Input;

    const TextCase without[] = {
        {L"", L""}, {L"\\", L""}, {L"C:\\", L"C:"}, {L"C:\\dir", L"C:\\dir"}, {L"dir\\\\", L"dir\\"}};
    for (const TextCase& c : without)
        EXPECT_EQ(WithoutTrailingBackslash(P(c.Input)), P(c.Expected)) << "input " << c.Input;
}

TEST(PathText, ExtractParts) {
    const TextCase extensions[] = {{L"C:\\dir\\song.mp3", L".mp3"},
                                   {L"C:\\a.b\\file", L".b\\file"},
                                   {L"archive.tar.gz", L".gz"},
                                   {L"C:\\dir\\noext", L""},
                                   {L"name.", L"."},
                                   {L"", L""}};
    for (const TextCase& c : extensions)
        EXPECT_EQ(ExtractExtension(P(c.Input)), P(c.Expected)) << "input " << c.Input;

    const TextCase names[] = {{L"C:\\dir\\song.mp3", L"song.mp3"},
                              {L"song.mp3", L"song.mp3"},
                              {L"C:\\", L""},
                              {L"C:", L""},
                              {L"C:\\dir\\", L""},
                              {L"\\\\server\\share\\x", L"x"},
                              {L"", L""}};
    for (const TextCase& c : names)
        EXPECT_EQ(ExtractName(P(c.Input)), P(c.Expected)) << "input " << c.Input;

    const TextCase folders[] = {{L"C:\\dir\\file", L"C:\\dir"},
                                {L"C:\\file", L"C:"},
                                {L"C:\\dir\\sub\\", L"C:\\dir\\sub"},
                                {L"C:file", L"C"},
                                {L"\\\\server\\share\\f", L"\\\\server\\share"},
                                {L"file", L""},
                                {L"", L""}};
    for (const TextCase& c : folders)
        EXPECT_EQ(ExtractFolder(P(c.Input)), P(c.Expected)) << "input " << c.Input;
}

TEST(PathText, SamePathAndSameTextN) {
    struct Case {
        const wchar_t* A;
        const wchar_t* B;
        bool Same;
    };
    const Case cases[] = {
        {L"C:\\Music\\Track.MP3", L"c:\\music\\track.mp3", true},
        {L"C:\\Music\\", L"C:\\Music", true},
        {L"C:\\Music\\\\", L"C:\\Music", false}, // only one trailing delimiter is ignored
        {L"C:\\Music", L"C:\\Musik", false},
        {L"C:\\Music", L"C:\\Musi", false},
        {L"\u00e9t\u00e9\\\u03b1\u0451", L"\u00c9T\u00c9\\\u0391\u0401", true}, // Unicode, not just ASCII
        {L"", L"\\", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SamePath(P(c.A), P(c.B)), c.Same) << c.A << " vs " << c.B;

    EXPECT_TRUE(SameTextN(L"abcX", L"ABCy", 3, 3));
    EXPECT_FALSE(SameTextN(L"abcX", L"ABCy", 4, 4));
    EXPECT_FALSE(SameTextN(L"abc", L"abc", 3, 2));
    EXPECT_TRUE(SameTextN(L"\u00e9x", L"\u00c9y", 1, 1));
    EXPECT_TRUE(SameTextN(L"", L"", 0, 0));
    EXPECT_FALSE(SameTextN(L"ab", L"abc", 3, 3)); // beyond the end of one text
}

TEST(PathText, IsDrivePath) {
    struct Case {
        const wchar_t* Path;
        bool Drive;
    };
    const Case cases[] = {{L"C:\\", true},  {L"z:\\music\\a.mp3", true}, {L"C:", false},         {L"C:file", false},
                          {L"1:\\", false}, {L"\\\\srv\\share", false},  {L"\u00c4:\\x", false}, {L"", false}};
    for (const Case& c : cases)
        EXPECT_EQ(IsDrivePath(P(c.Path)), c.Drive) << c.Path;
}

TEST(PathText, FileVersionText) {
    EXPECT_EQ(FormatFileVersion(FileVersion{2, 0, 1, 15}), L"2.0.1.15");
    EXPECT_EQ(FormatFileVersion(FileVersion{65535, 1, 0, 65535}), L"65535.1.0.65535");
}

} // namespace
} // namespace mellodeck
