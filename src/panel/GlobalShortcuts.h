#pragma once
// System-wide hotkeys registered for one window: a list of entries that each want to be registered while
// they are active and their owner is enabled. The system side (RegisterHotKey for a window on Windows) sits
// behind IHotkeyRegistrar.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mellodeck {

// Identifier of the panel's open hotkey.
inline constexpr int32_t kOpenHotkeyId = 1034;

class IHotkeyRegistrar {
public:
    virtual ~IHotkeyRegistrar() = default;
    // `modifiers` are the system's flags (HotkeyModifiers); false when the system refuses.
    virtual bool Register(int32_t id, uint32_t modifiers, uint32_t key) = 0;
    virtual bool Unregister(int32_t id) = 0;
};

class TGlobalShortcuts;

class TGlobalShortcut {
public:
    TGlobalShortcut(TGlobalShortcuts* owner, const std::wstring& name, int32_t id, uint32_t shift, uint32_t key,
                    const std::string& data1, const std::string& data2);

    // Registers with the system only while the owner is enabled; a refusal (another program holds the
    // combination, key 0) is ignored.
    void Register();
    // A failure (not registered) is ignored.
    void Unregister();
    bool Active() const { return FActive; }
    // Nothing when unchanged; otherwise registers (true) or unregisters (false).
    void SetActive(bool value);
    // Replaces key and modifiers and, when active, registers the new combination in place of the old one.
    void Reassign(uint32_t shift, uint32_t key);

    TGlobalShortcuts* Owner;
    uint32_t Shift; // kHotkey* bits
    uint32_t Key;   // virtual-key code
    std::wstring Name;
    std::string Data1, Data2;
    int32_t Id;

private:
    bool FActive = false;
};

class TGlobalShortcuts {
public:
    explicit TGlobalShortcuts(std::unique_ptr<IHotkeyRegistrar> registrar);
    // Unregisters every entry, in list order.
    ~TGlobalShortcuts();
    TGlobalShortcuts(const TGlobalShortcuts&) = delete;
    TGlobalShortcuts& operator=(const TGlobalShortcuts&) = delete;

    // A new inactive entry appended to the list; owned by the list.
    TGlobalShortcut* Add(const std::wstring& name, int32_t id, uint32_t shift, uint32_t key,
                         const std::string& data1 = {}, const std::string& data2 = {});
    int Count() const { return static_cast<int>(FItems.size()); }
    TGlobalShortcut* Items(int index) const { return FItems.at(static_cast<std::size_t>(index)).get(); }

    bool Enabled() const { return FEnabled; }
    // Nothing when unchanged; otherwise stores it, calls OnEnabled, then registers (true) or unregisters
    // (false) every active entry. Disabled entries stay active, so enabling registers them again.
    void SetEnabled(bool value);
    std::function<void(TGlobalShortcuts* Sender, bool Value)> OnEnabled;

    IHotkeyRegistrar& Registrar() { return *FRegistrar; }

private:
    std::unique_ptr<IHotkeyRegistrar> FRegistrar;
    std::vector<std::unique_ptr<TGlobalShortcut>> FItems;
    bool FEnabled = false;
};

} // namespace mellodeck
