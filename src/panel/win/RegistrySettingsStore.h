#pragma once
// The options store in the current user's registry. The key path is injectable so tests use a scratch key.
#include <windows.h>

#include <string>

#include "panel/PanelSettings.h"

namespace mellodeck::win {

class TRegistrySettingsStore : public ISettingsStore {
public:
    // Also installs the system's key names, so hotkey texts naming keys outside the fixed set parse.
    explicit TRegistrySettingsStore(std::wstring keyPath = kPanelSettingsKey);

    // Only a REG_DWORD of exactly 4 bytes is a number: "0" stored as text must not read as true.
    bool ReadNumber(const std::wstring& name, uint32_t& value) override;
    bool WriteNumber(const std::wstring& name, uint32_t value) override;
    bool ReadText(const std::wstring& name, std::wstring& value) override;
    bool WriteText(const std::wstring& name, const std::wstring& value) override;

    const std::wstring& KeyPath() const { return FKeyPath; }

private:
    std::wstring FKeyPath;
};

} // namespace mellodeck::win
