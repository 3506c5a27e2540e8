#pragma once
// The player's state as seven flags in one byte, and how a player is asked to start.
#include <cstdint>
#include <initializer_list>

namespace mellodeck {

// Ordinals are fixed: member n of a TControlStates is bit n.
enum TControlState : uint8_t {
    csInstalled = 0,                 // the executable was found, or the main window exists
    csLanched = 1,                   // the player runs and is usable (main window, no blocking dialog)
    csPlaying = 2,                   // a track is loaded and not stopped: playing or paused
    csPaused = 3,                    // paused (csPlaying is then set too)
    csShuffle = 4,                   // shuffle mode on
    csRepeat = 5,                    // repeat mode on
    csReloadingMediaInformation = 6, // a track-information reload is running (re-entry guard)
};

class TControlStates {
public:
    constexpr TControlStates() = default;
    constexpr TControlStates(std::initializer_list<TControlState> members) {
        for (TControlState m : members)
            FBits = static_cast<uint8_t>(FBits | Bit(m));
    }
    static constexpr TControlStates FromBits(uint8_t bits) {
        TControlStates s;
        s.FBits = static_cast<uint8_t>(bits & 0x7F);
        return s;
    }

    constexpr uint8_t Bits() const { return FBits; }
    constexpr bool Contains(TControlState m) const { return (FBits & Bit(m)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }

    constexpr TControlStates operator+(TControlStates other) const { return FromBits(FBits | other.FBits); }
    constexpr TControlStates operator-(TControlStates other) const {
        return FromBits(static_cast<uint8_t>(FBits & ~other.FBits));
    }
    constexpr TControlStates& operator+=(TControlStates other) { return *this = *this + other; }
    constexpr TControlStates& operator-=(TControlStates other) { return *this = *this - other; }
    constexpr bool operator==(const TControlStates&) const = default;

private:
    static constexpr uint8_t Bit(TControlState m) { return static_cast<uint8_t>(1u << m); }
    uint8_t FBits = 0;
};

static_assert(sizeof(TControlStates) == 1, "the state set is stored in one byte");

enum TLaunchMode : uint8_t { lmMinimized = 0, lmNormal = 1 };

} // namespace mellodeck
