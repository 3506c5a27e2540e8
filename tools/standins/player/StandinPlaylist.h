#pragma once
// The stand-in player's playlist and play clock. The clock runs in real time while playing; the caller
// polls Tick() and announces the entries it starts.
#include <cstdint>
#include <string>
#include <vector>

namespace mellodeck::standin {

struct TrackInfo {
    std::wstring Artist, Album, Title;
    int64_t LengthMs = 0; // 0 when the file's length is unknown
};

// Reads a file's tags and length through the tag library; false when the file cannot be read.
bool ReadTrackInfo(const std::wstring& path, TrackInfo& info);

struct Entry {
    std::wstring Path;
    std::string AnsiPath; // the path in the system's 8-bit code page, handed out to plug-ins
    int64_t LengthMs = 0;
};

enum class Status { Stopped = 0, Playing = 1, Paused = 3 };

class Playlist {
public:
    // Length of entries whose files report none, and a length imposed on all entries when not 0.
    int64_t DefaultLengthMs = 10000;
    int64_t FixedLengthMs = 0;
    bool Shuffle = false;
    bool Repeat = false;

    void Add(const std::wstring& path);
    void Clear();
    int Count() const { return static_cast<int>(FEntries.size()); }
    int Index() const { return FIndex; }
    void SetIndex(int index);
    const Entry* At(int index) const;
    const Entry* Current() const { return At(FIndex); }
    Status State() const { return FStatus; }

    // Position in ms of the current entry (0 when stopped).
    int64_t Position() const;
    // Starts the current entry from its beginning; false when the playlist is empty.
    bool Start();
    void TogglePause();
    void Stop();
    void SeekTo(int64_t ms);
    // Moves by one entry (wrapping only in repeat mode); false when there is nowhere to go.
    bool Move(int delta);
    // At the end of a track: moves on and returns true when a new entry starts playing.
    bool Tick();

private:
    static int64_t Now();
    std::vector<Entry> FEntries;
    int FIndex = 0;
    Status FStatus = Status::Stopped;
    int64_t FStartedAt = 0; // clock value at position 0 of the current run
    int64_t FPausedAt = 0;  // position while paused
};

} // namespace mellodeck::standin
