#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include "PlatformPath.h"
#include "TestPaths.h"
#include "common/AxSys.h"
#include "common/AxVersionInfo.h"
#include "common/FileUtils.h"

namespace mellodeck {
namespace {

namespace fs = std::filesystem;
using test::P;
using test::TempFolder;

// The scratch folder's path with a trailing delimiter, ready for names written the Windows way.
std::wstring Base(const TempFolder& temp) {
    return WithTrailingBackslash(temp.Text());
}

TEST(FileSystem, ExistenceOfFilesAndFolders) {
    TempFolder temp;
    const std::wstring file = Base(temp) + L"file.txt";
    test::WriteAll(fs::path(file), "x");
    const std::wstring folder = Base(temp) + L"sub";
    ASSERT_TRUE(CreateFolder(folder));
    EXPECT_FALSE(CreateFolder(folder)) << "creating an existing folder fails";

    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FolderExists(file));
    EXPECT_TRUE(FolderExists(folder));
    EXPECT_TRUE(FolderExists(WithTrailingBackslash(folder)));
    EXPECT_FALSE(FileExists(folder));
    EXPECT_FALSE(FileExists(Base(temp) + L"missing"));
    EXPECT_FALSE(FolderExists(Base(temp) + L"missing"));
    for (const wchar_t* special : {L"/", L""}) {
        EXPECT_FALSE(FileExists(special)) << special;
        EXPECT_FALSE(FolderExists(special)) << special;
    }

    EXPECT_EQ(GetAttributes(Base(temp) + L"missing"), kInvalidFileAttributes);
    EXPECT_NE(GetAttributes(folder) & kFileAttributeDirectory, 0u);
    EXPECT_EQ(GetAttributes(file) & (kFileAttributeDirectory | kFileAttributeReadOnly), 0u);
}

TEST(FileSystem, ClearProtectiveAttributes) {
    TempFolder temp;
    EXPECT_FALSE(ClearProtectiveAttributes(Base(temp) + L"missing"));

    const std::wstring file = Base(temp) + L"locked.txt";
    test::WriteAll(fs::path(file), "x");
    EXPECT_TRUE(ClearProtectiveAttributes(file)) << "nothing to clear is success";
    ASSERT_TRUE(SetAttributes(file, kFileAttributeReadOnly));
    ASSERT_NE(GetAttributes(file) & kFileAttributeReadOnly, 0u);
    EXPECT_TRUE(ClearProtectiveAttributes(file));
    EXPECT_EQ(GetAttributes(file) & kFileAttributeReadOnly, 0u);
    EXPECT_FALSE(FolderExists(file)) << "the file stays a file";
}

TEST(FileSystem, ForceFoldersCreatesEveryMissingParent) {
    TempFolder temp;
    const std::wstring nested = Base(temp) + P(L"a\\b\\c");
    EXPECT_TRUE(ForceFolders(nested));
    EXPECT_TRUE(FolderExists(nested));
    EXPECT_TRUE(ForceFolders(nested)) << "an existing folder";
    EXPECT_TRUE(ForceFolders(Base(temp) + P(L"a\\d\\")));
    EXPECT_TRUE(FolderExists(Base(temp) + P(L"a\\d")));

    // A file in the way makes the creation fail instead of claiming success.
    test::WriteAll(fs::path(Base(temp) + L"plain"), "x");
    EXPECT_FALSE(ForceFolders(Base(temp) + P(L"plain\\sub")));

    // Names without a folder part are created in the current folder.
    const fs::path previous = fs::current_path();
    fs::current_path(temp.Path());
    const bool single = ForceFolders(L"r");
    const bool relative = ForceFolders(P(L"rel\\sub"));
    fs::current_path(previous);
    EXPECT_TRUE(single);
    EXPECT_TRUE(relative);
    EXPECT_TRUE(FolderExists(Base(temp) + L"r"));
    EXPECT_TRUE(FolderExists(Base(temp) + P(L"rel\\sub")));
}

TEST(FileSystem, ForceFoldersOfRootsAndEmptyPath) {
#ifdef _WIN32
    EXPECT_TRUE(ForceFolders(L"C:\\"));
    EXPECT_TRUE(ForceFolders(L"C:"));
#else
    EXPECT_TRUE(ForceFolders(L"/"));
#endif
    try {
        ForceFolders(L"");
        FAIL() << "an empty path must throw";
    } catch (const EFileUtils& e) {
        EXPECT_STREQ(e.what(), "Can't create folder \"\".");
    }
}

TEST(FileSystem, OpenFileHandleDispositions) {
    TempFolder temp;
    const std::wstring file = Base(temp) + L"data.bin";
    {
        FileHandleOwner missing(
            OpenFileHandle(file, kGenericRead, kFileShareRead, kOpenExisting, kFileAttributeNormal));
        EXPECT_FALSE(missing);
        FileHandleOwner created(
            OpenFileHandle(file, kGenericRead | kGenericWrite, kFileShareRead, kCreateNew, kFileAttributeNormal));
        EXPECT_TRUE(created);
        FileHandleOwner again(OpenFileHandle(file, kGenericWrite, kFileShareRead, kCreateNew, kFileAttributeNormal));
        EXPECT_FALSE(again) << "CreateNew of an existing file";
    }
    test::WriteAll(fs::path(file), "content");
    {
        FileHandleOwner opened(
            OpenFileHandle(file, kGenericRead, kFileShareRead | kFileShareWrite, kOpenExisting, kFileAttributeNormal));
        EXPECT_TRUE(opened);
        FileHandleOwner truncated(OpenFileHandle(file, kGenericWrite, kFileShareRead | kFileShareWrite,
                                                 kTruncateExisting, kFileAttributeNormal));
        EXPECT_TRUE(truncated);
        FileHandleOwner folder(OpenFileHandle(temp.Text(), kGenericRead, kFileShareRead | kFileShareWrite,
                                              kOpenExisting, kFileAttributeNormal));
        EXPECT_FALSE(folder) << "a folder is not a file";
    }
    EXPECT_EQ(fs::file_size(fs::path(file)), 0u);
    EXPECT_TRUE(GetFileVersion(file).IsZero()) << "a file without a version resource";
    EXPECT_TRUE(GetFileVersion(Base(temp) + L"missing.dll").IsZero());
}

TEST(FileSystem, ModuleFileNameNamesTheTestProgram) {
    const std::wstring process = ModuleFileName(true);
    EXPECT_EQ(ExtractName(process).rfind(L"common_unit", 0), 0u) << process;
    EXPECT_TRUE(FileExists(process));
    // The helpers are linked statically, so "this module" is the test program too.
    EXPECT_TRUE(SamePath(ModuleFileName(false), process));
    EXPECT_EQ(ModuleName(), ExtractName(process));
}

} // namespace
} // namespace mellodeck
