#pragma once
// What mellodeck-tags --set does to one file: open it for writing through the media manager, set the
// named slots (and empty the picture list when asked), save through the library, report the outcome.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mellodeck::tags {

struct TSlotEdit {
    std::string Slot;   // one of the string slot names ("Artist" ... "Compilation"), as the JSON names them
    std::wstring Value; // empty clears the slot
};

// Parses "SLOT=VALUE" (the slot name without regard to letter case); false for an unknown slot or a
// missing "=", with `error` saying why.
bool ParseSlotEdit(const std::wstring& text, TSlotEdit& edit, std::string& error);

struct TSaveOutcome {
    bool Saved = false;
    uint32_t Error = 0;  // LastError of the format (0 when saved)
    std::string Meaning; // what Error means, in words
};

// Saves one file (the library must be started). The library never leaves it half-written: either the
// new file is complete, or the old one is as it was.
TSaveOutcome SaveFileEdits(const std::wstring& fileName, const std::vector<TSlotEdit>& edits, bool removePictures);

// The meaning of a LastError value of a format class (codes of our own differ by format).
std::string ErrorMeaning(const std::string& formatClass, uint32_t code);

} // namespace mellodeck::tags
