#include "EditorTestSupport.h"

#include <shellapi.h>

#include <random>

#include "panel/win/ShellSeams.h"

namespace mellodeck::test {

EditorFixture::EditorFixture() {
    std::random_device random;
    FKey = L"Software\\MellodeckTest\\Editor" + std::to_wstring(random()) + L"\\";
    win::SetMessageBoxSeam([this](HWND, const std::wstring& text, const std::wstring& caption, UINT type) {
        Boxes.push_back({text, caption, type});
        const size_t index = Boxes.size() - 1;
        return index < BoxAnswers.size() ? BoxAnswers[index] : IDNO;
    });
    win::SetShellOpenSeam([this](HWND owner, const std::wstring& file, const std::wstring& parameters,
                                 const std::wstring& folder, int show) -> INT_PTR {
        Opens.push_back({file, parameters, folder, show});
        if (!RealOpen)
            return OpenAnswer;
        return reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", file.c_str(), parameters.c_str(),
                                                       folder.empty() ? nullptr : folder.c_str(), show));
    });
}

EditorFixture::~EditorFixture() {
    win::SetMessageBoxSeam(nullptr);
    win::SetShellOpenSeam(nullptr);
    const std::wstring key = FKey.substr(0, FKey.size() - 1);
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\MellodeckTest");
}

void EditorFixture::RegisterEditor(const std::wstring& path, DWORD type) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, FKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    RegSetValueExW(key, L"Executable", 0, type, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

} // namespace mellodeck::test
