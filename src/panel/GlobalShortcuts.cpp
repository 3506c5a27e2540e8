#include "panel/GlobalShortcuts.h"

#include "panel/HotkeyText.h"

namespace mellodeck {

TGlobalShortcut::TGlobalShortcut(TGlobalShortcuts* owner, const std::wstring& name, int32_t id, uint32_t shift,
                                 uint32_t key, const std::string& data1, const std::string& data2)
    : Owner(owner), Shift(shift), Key(key), Name(name), Data1(data1), Data2(data2), Id(id) {}

void TGlobalShortcut::Register() {
    if (Owner && Owner->Enabled())
        Owner->Registrar().Register(Id, HotkeyModifiers(Shift), Key);
}

void TGlobalShortcut::Unregister() {
    if (Owner)
        Owner->Registrar().Unregister(Id);
}

void TGlobalShortcut::SetActive(bool value) {
    if (value == FActive)
        return;
    FActive = value;
    if (value)
        Register();
    else
        Unregister();
}

void TGlobalShortcut::Reassign(uint32_t shift, uint32_t key) {
    Shift = shift;
    Key = key;
    if (FActive) {
        SetActive(false);
        SetActive(true);
    }
}

TGlobalShortcuts::TGlobalShortcuts(std::unique_ptr<IHotkeyRegistrar> registrar) : FRegistrar(std::move(registrar)) {}

TGlobalShortcuts::~TGlobalShortcuts() {
    for (const auto& item : FItems)
        item->Unregister();
}

TGlobalShortcut* TGlobalShortcuts::Add(const std::wstring& name, int32_t id, uint32_t shift, uint32_t key,
                                       const std::string& data1, const std::string& data2) {
    FItems.push_back(std::make_unique<TGlobalShortcut>(this, name, id, shift, key, data1, data2));
    return FItems.back().get();
}

void TGlobalShortcuts::SetEnabled(bool value) {
    if (value == FEnabled)
        return;
    FEnabled = value;
    if (OnEnabled)
        OnEnabled(this, value);
    for (const auto& item : FItems) {
        if (!item->Active())
            continue;
        if (value)
            item->Register();
        else
            item->Unregister();
    }
}

} // namespace mellodeck
