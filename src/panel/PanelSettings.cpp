#include "panel/PanelSettings.h"

#include "panel/HotkeyText.h"

namespace mellodeck {

bool TMemorySettingsStore::ReadNumber(const std::wstring& name, uint32_t& value) {
    const auto it = FValues.find(name);
    if (it == FValues.end() || it->second.Type != Kind::Number)
        return false;
    value = it->second.Number;
    return true;
}

bool TMemorySettingsStore::WriteNumber(const std::wstring& name, uint32_t value) {
    if (FailWrites)
        return false;
    FValues[name] = Value{Kind::Number, value, {}};
    ++Writes;
    return true;
}

bool TMemorySettingsStore::ReadText(const std::wstring& name, std::wstring& value) {
    const auto it = FValues.find(name);
    if (it == FValues.end() || it->second.Type != Kind::Text)
        return false;
    value = it->second.Text;
    return true;
}

bool TMemorySettingsStore::WriteText(const std::wstring& name, const std::wstring& value) {
    if (FailWrites)
        return false;
    FValues[name] = Value{Kind::Text, 0, value};
    ++Writes;
    return true;
}

void TMemorySettingsStore::SetOther(const std::wstring& name) { FValues[name] = Value{}; }

bool TPanelSettings::ReadBool(const wchar_t* name) {
    uint32_t number = 0;
    return FStore.ReadNumber(name, number) && number != 0;
}

bool TPanelSettings::WriteBoolIfChanged(const wchar_t* name, bool value) {
    if (ReadBool(name) == value)
        return false;
    return FStore.WriteNumber(name, value ? 1 : 0);
}

bool TPanelSettings::RunAlwaysMinimized() { return ReadBool(kRunMinimizedValue); }
void TPanelSettings::SetRunAlwaysMinimized(bool value) { FStore.WriteNumber(kRunMinimizedValue, value ? 1 : 0); }
bool TPanelSettings::ReplaceWithDropped() { return ReadBool(kReplaceWithDroppedValue); }
bool TPanelSettings::SetReplaceWithDropped(bool value) { return WriteBoolIfChanged(kReplaceWithDroppedValue, value); }
bool TPanelSettings::SeparateLines() { return ReadBool(kSeparateLinesValue); }
bool TPanelSettings::SetSeparateLines(bool value) { return WriteBoolIfChanged(kSeparateLinesValue, value); }
bool TPanelSettings::GlobalHotkeyEnabled() { return ReadBool(kGlobalShortcutsValue); }
bool TPanelSettings::SetGlobalHotkeyEnabled(bool value) { return WriteBoolIfChanged(kGlobalShortcutsValue, value); }

std::wstring TPanelSettings::OpenHotkey() {
    std::wstring text;
    if (!FStore.ReadText(kShortcutShowValue, text))
        text.clear();
    return text.empty() ? std::wstring(kDefaultOpenHotkey) : text;
}

bool TPanelSettings::SetOpenHotkey(const std::wstring& value) {
    if (value.empty() || value == OpenHotkey())
        return false;
    // Storing a text that names no key would leave the user without the hotkey at the next start.
    if (TextToShortCut(value).Key == 0)
        return false;
    return FStore.WriteText(kShortcutShowValue, value);
}

} // namespace mellodeck
