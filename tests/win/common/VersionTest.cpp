#include <gtest/gtest.h>

#include "TestLibraries.h"
#include "common/AxSys.h"
#include "common/AxVersionInfo.h"
#include "common/FileUtils.h"

namespace mellodeck {
namespace {

TEST(FileVersionResource, ReadsTheFourParts) {
    const std::wstring versioned = test::BesideTestProgram(L"mdtest_versioned.dll");
    ASSERT_TRUE(FileExists(versioned));
    EXPECT_EQ(GetFileVersion(versioned), (FileVersion{7, 65535, 1, 40000}));
    EXPECT_EQ(FormatFileVersion(GetFileVersion(versioned)), L"7.65535.1.40000");

    const std::wstring plain = test::BesideTestProgram(L"mdtest_plain.dll");
    ASSERT_TRUE(FileExists(plain));
    EXPECT_TRUE(GetFileVersion(plain).IsZero());
    EXPECT_TRUE(GetFileVersion(test::BesideTestProgram(L"mdtest_missing.dll")).IsZero());
    // The test program carries no version resource either.
    EXPECT_TRUE(ApplicationVersion().IsZero());
}

TEST(FileVersionResource, ModuleFileNames) {
    const std::wstring process = ModuleFileName(true);
    EXPECT_TRUE(SamePath(ExtractName(process), L"common_win.exe")) << process;
    EXPECT_TRUE(IsDrivePath(process)) << process;
    EXPECT_TRUE(SamePath(ModuleFileName(false), process));
    EXPECT_TRUE(SamePath(ModuleName(), L"common_win.exe"));
}

} // namespace
} // namespace mellodeck
