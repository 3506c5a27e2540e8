#pragma once
// The panel's five user options. The store is the only copy: every read goes to it and every write lands in
// it at once, so two panels of the same user see each other's changes at their next read.
#include <cstdint>
#include <map>
#include <string>

namespace mellodeck {

// Where the options live: HKCU\Software\Marquill\GDS Controls\ on Windows.
inline constexpr wchar_t kPanelSettingsKey[] = L"Software\\Marquill\\GDS Controls\\";
inline constexpr wchar_t kRunMinimizedValue[] = L"RunMinimized";
inline constexpr wchar_t kReplaceWithDroppedValue[] = L"ReplaceWithDropped";
inline constexpr wchar_t kSeparateLinesValue[] = L"SeparateLines";
inline constexpr wchar_t kGlobalShortcutsValue[] = L"GlobalShortcuts";
inline constexpr wchar_t kShortcutShowValue[] = L"ShortcutShow";
inline constexpr wchar_t kDefaultOpenHotkey[] = L"Ctrl+Alt+W";

// Named values of two kinds. A value stored with another type (or, for numbers, another size) reads as missing.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // A 32-bit number (REG_DWORD of exactly 4 bytes); false when missing or of another type or size.
    virtual bool ReadNumber(const std::wstring& name, uint32_t& value) = 0;
    // Creates the key when needed; false when the value could not be written.
    virtual bool WriteNumber(const std::wstring& name, uint32_t value) = 0;
    // A text (REG_SZ); false when missing or of another type, `value` is then left untouched.
    virtual bool ReadText(const std::wstring& name, std::wstring& value) = 0;
    virtual bool WriteText(const std::wstring& name, const std::wstring& value) = 0;
};

// A store in memory, for the native build and for tests. SetOther stores a value of a foreign type, the way
// another program might have written it; Writes counts the successful writes.
class TMemorySettingsStore : public ISettingsStore {
public:
    bool ReadNumber(const std::wstring& name, uint32_t& value) override;
    bool WriteNumber(const std::wstring& name, uint32_t value) override;
    bool ReadText(const std::wstring& name, std::wstring& value) override;
    bool WriteText(const std::wstring& name, const std::wstring& value) override;
    void SetOther(const std::wstring& name);
    void Remove(const std::wstring& name) { FValues.erase(name); }
    bool Contains(const std::wstring& name) const { return FValues.count(name) != 0; }

    int Writes = 0;
    // While set, every write fails (a key that cannot be created).
    bool FailWrites = false;

private:
    enum class Kind { Number, Text, Other };
    struct Value {
        Kind Type = Kind::Other;
        uint32_t Number = 0;
        std::wstring Text;
    };
    std::map<std::wstring, Value> FValues;
};

// The five options over a store (not owned). Store failures are never reported: a failed read gives the
// default, a failed write leaves the old value. The setters that write only on a change answer whether they
// wrote, so the panel knows when to repaint or re-register its hotkey.
class TPanelSettings {
public:
    explicit TPanelSettings(ISettingsStore& store) : FStore(store) {}

    bool RunAlwaysMinimized();
    void SetRunAlwaysMinimized(bool value); // always writes
    bool ReplaceWithDropped();
    bool SetReplaceWithDropped(bool value);
    bool SeparateLines();
    bool SetSeparateLines(bool value);
    bool GlobalHotkeyEnabled();
    bool SetGlobalHotkeyEnabled(bool value);
    // The stored text, "Ctrl+Alt+W" when missing or empty.
    std::wstring OpenHotkey();
    // Writes nothing for an empty text, the current text, or a text that names no key or is longer than
    // kMaxHotkeyTextLength (the working hotkey stays); true when the text was written.
    bool SetOpenHotkey(const std::wstring& value);

    ISettingsStore& Store() { return FStore; }

private:
    bool ReadBool(const wchar_t* name);
    bool WriteBoolIfChanged(const wchar_t* name, bool value);

    ISettingsStore& FStore;
};

} // namespace mellodeck
