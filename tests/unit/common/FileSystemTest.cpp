#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include "PlatformPath.h"
#include "TestPaths.h"
#include "common/AxSys.h"
#include "common/AxVersionInfo.h"
#include "common/FileUtils.h"
#include "common/PlatformFile.h"
#include "common/SystemError.h"

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

TEST(FileSystem, OpenWithDispositionsAndTheirErrorCodes) {
    TempFolder temp;
    const std::wstring file = Base(temp) + L"data.bin";
    // Each failure reports the same Windows code in both builds, in `error` and as the thread's code.
    const auto open = [](const std::wstring& path, uint32_t access, uint32_t sharing, uint32_t disposition,
                         uint32_t expected) {
        SetLastSystemError(0);
        uint32_t error = 12345;
        PlatformFile f = PlatformFile::OpenWith(path, access, sharing, disposition, kFileAttributeNormal, error);
        EXPECT_EQ(f.IsOpen(), expected == 0) << disposition;
        EXPECT_EQ(error, expected) << disposition;
        if (expected != 0) {
            EXPECT_EQ(LastSystemError(), expected) << disposition;
        }
        return f;
    };
    {
        open(file, kGenericRead, kFileShareRead, kOpenExisting, oserr::kFileNotFound);
        open(file, kGenericRead | kGenericWrite, kFileShareRead, kCreateNew, 0);
        open(file, kGenericWrite, kFileShareRead | kFileShareWrite, kCreateNew, oserr::kFileExists);
    }
    test::WriteAll(fs::path(file), "content");
    {
        PlatformFile opened = open(file, kGenericRead, kFileShareRead | kFileShareWrite, kOpenExisting, 0);
        PlatformFile truncated =
            open(file, kGenericWrite, kFileShareRead | kFileShareWrite, kTruncateExisting, 0);
        open(temp.Text(), kGenericRead, kFileShareRead | kFileShareWrite, kOpenExisting, oserr::kAccessDenied);
        // Ownership moves with the handle, and a released handle is no longer closed by the file.
        PlatformFile moved(std::move(opened));
        EXPECT_FALSE(opened.IsOpen());
        EXPECT_TRUE(moved.IsOpen());
        PlatformFile adopted(moved.Release());
        EXPECT_FALSE(moved.IsOpen());
        EXPECT_EQ(adopted.Size(), 0) << "the adopted handle still works";
    }
    EXPECT_EQ(fs::file_size(fs::path(file)), 0u);
    EXPECT_TRUE(GetFileVersion(file).IsZero()) << "a file without a version resource";
    EXPECT_TRUE(GetFileVersion(Base(temp) + L"missing.dll").IsZero());
}

// The log's way of opening: a file is kept and continued, or started afresh, and others may read it
// while it is open.
TEST(FileSystem, AppendContinuesTheFileAndLetsOthersRead) {
    TempFolder temp;
    const std::wstring file = Base(temp) + L"log.txt";
    const auto write = [&](FileDisposition disposition, const std::string& text) {
        uint32_t error = 1;
        PlatformFile log = PlatformFile::Open(file, FileAccess::Append, disposition, error);
        ASSERT_TRUE(log.IsOpen()) << error;
        EXPECT_EQ(error, 0u);
        ASSERT_EQ(log.Write(text.data(), text.size()), static_cast<int64_t>(text.size()));
        PlatformFile reader = PlatformFile::Open(file, FileAccess::Read, FileDisposition::OpenExisting, error);
        EXPECT_TRUE(reader.IsOpen()) << "others may read the open file: " << error;
    };
    write(FileDisposition::OpenAlways, "one\r\n");
    write(FileDisposition::OpenAlways, "two\r\n");
    EXPECT_EQ(test::ReadAll(fs::path(file)), "one\r\ntwo\r\n");
    write(FileDisposition::CreateAlways, "three");
    EXPECT_EQ(test::ReadAll(fs::path(file)), "three");

    // A file where a folder should be.
    uint32_t error = 0;
    PlatformFile missing = PlatformFile::Open(file + kPathDelimiter + L"log.txt", FileAccess::Append,
                                              FileDisposition::OpenAlways, error);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(error, oserr::kPathNotFound);
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
