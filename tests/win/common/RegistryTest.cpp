#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>

#include "common/AxSys.h"
#include "common/win/RegKey.h"

namespace mellodeck {
namespace {

constexpr wchar_t kTestRoot[] = L"Software\\MellodeckTest";

// A fresh key below HKCU\Software\MellodeckTest, removed with everything in it afterwards.
class ScratchKey : public ::testing::Test {
protected:
    ScratchKey() {
        std::random_device random;
        FPath = std::wstring(kTestRoot) + L"\\" + std::to_wstring(random()) + std::to_wstring(GetCurrentProcessId());
    }
    ~ScratchKey() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, FPath.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, FPath.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, kTestRoot); // only succeeds once no other test uses it
    }
    // Stores raw value data of any type, the way another program might have written it.
    void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
        win::RegKey key = win::RegKey::Create(HKEY_CURRENT_USER, FPath, KEY_SET_VALUE);
        ASSERT_TRUE(key);
        ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
    }

    std::wstring FPath;
};

TEST_F(ScratchKey, WrittenTextReadsBack) {
    const std::wstring texts[] = {L"Ctrl+Alt+W", L"", L"C:\\Program Files\\\u00c9diteur \u266b\\tag.exe",
                                  std::wstring(3000, L'x')};
    for (const std::wstring& written : texts) {
        ASSERT_TRUE(WriteRegistryText(RegistryRoot::CurrentUser, FPath + L"\\Nested", L"Value", written));
        std::wstring read = L"old";
        EXPECT_TRUE(ReadRegistryText(RegistryRoot::CurrentUser, FPath + L"\\Nested", L"Value", read));
        EXPECT_EQ(read, written);
    }
    // Stored with its terminating null character, as REG_SZ.
    DWORD type = 0, bytes = 0;
    win::RegKey key = win::RegKey::Open(HKEY_CURRENT_USER, FPath + L"\\Nested", KEY_READ);
    ASSERT_TRUE(key);
    ASSERT_EQ(RegQueryValueExW(key.Get(), L"Value", nullptr, &type, nullptr, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, 3001u * sizeof(wchar_t));
}

TEST_F(ScratchKey, OnlyPlainTextValuesAreRead) {
    const wchar_t expand[] = L"%TEMP%\\x";
    SetRaw(L"Expand", REG_EXPAND_SZ, expand, sizeof(expand));
    const DWORD number = 7;
    SetRaw(L"Number", REG_DWORD, &number, sizeof(number));
    for (const wchar_t* name : {L"Expand", L"Number", L"Missing"}) {
        std::wstring text = L"untouched";
        EXPECT_FALSE(ReadRegistryText(RegistryRoot::CurrentUser, FPath, name, text)) << name;
        EXPECT_EQ(text, L"untouched") << name;
        ReadRegistryTextOrEmpty(RegistryRoot::CurrentUser, FPath, name, text);
        EXPECT_EQ(text, L"") << name;
    }
    std::wstring text = L"untouched";
    EXPECT_FALSE(ReadRegistryText(RegistryRoot::CurrentUser, FPath + L"\\NoSuchKey", L"Value", text));
    EXPECT_EQ(text, L"untouched");
}

TEST_F(ScratchKey, TextEndsAtTheFirstNullAndNeedsNone) {
    const wchar_t embedded[] = {L'a', L'b', 0, L'c', L'd', 0};
    SetRaw(L"Embedded", REG_SZ, embedded, sizeof(embedded));
    const wchar_t unterminated[] = {L'x', L'y', L'z'};
    SetRaw(L"Unterminated", REG_SZ, unterminated, sizeof(unterminated));
    const char oddBytes[] = {'Q', 0, 'R'}; // one and a half characters
    SetRaw(L"Odd", REG_SZ, oddBytes, sizeof(oddBytes));

    std::wstring text;
    EXPECT_TRUE(ReadRegistryText(RegistryRoot::CurrentUser, FPath, L"Embedded", text));
    EXPECT_EQ(text, L"ab");
    EXPECT_TRUE(ReadRegistryText(RegistryRoot::CurrentUser, FPath, L"Unterminated", text));
    EXPECT_EQ(text, L"xyz");
    EXPECT_TRUE(ReadRegistryText(RegistryRoot::CurrentUser, FPath, L"Odd", text));
    EXPECT_EQ(text.substr(0, 1), L"Q");
    EXPECT_LE(text.size(), 2u);
}

} // namespace
} // namespace mellodeck
