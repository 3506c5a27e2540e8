#pragma once
// The process-wide registry of file formats, the list of format objects holding a file open, and the
// lock that serialises JPEG coding.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/core/MediaFormat.h"

namespace mellodeck {

using TMediaFormatFactory = std::function<std::unique_ptr<TBaseMediaFormat>()>;

class TMediaManager {
public:
    TMediaManager() = default;
    ~TMediaManager();

    void RegisterFormat(const std::string& extension, TMediaFormatFactory factory, const std::wstring& description,
                        const std::wstring& progID);
    bool IsSupportedExtension(const std::wstring& extension) const;
    // A new format object for the extension (nullptr when none is registered).
    std::unique_ptr<TBaseMediaFormat> CreateFormat(const std::wstring& extension, bool ignorePictures,
                                                   const std::wstring& fileName = std::wstring()) const;
    int FormatCount() const { return static_cast<int>(FRegistrations.size()); }
    std::string Extensions(int index) const { return FRegistrations.at(static_cast<size_t>(index)).Extension; }
    std::wstring Descriptions(int index) const { return FRegistrations.at(static_cast<size_t>(index)).Description; }
    std::wstring ProgIDs(int index) const { return FRegistrations.at(static_cast<size_t>(index)).ProgID; }

    // Waits up to 7 s (70 rounds of 100 ms) for no other format object to hold the same file (names
    // compared case-insensitively, a trailing separator ignored), then lists this one.
    bool AcquireFile(TBaseMediaFormat* format, uint32_t context);
    void ReleaseFile(TBaseMediaFormat* format, uint32_t context);
    size_t OpenFileCount();

    // One JPEG decode or encode at a time in the process: hold the returned lock while coding.
    static std::unique_lock<std::mutex> AcquireJpegImage();

    // Number of 100 ms rounds AcquireFile waits; tests shorten it.
    int AcquireRounds = 70;

private:
    struct Registration {
        std::string Extension;
        TMediaFormatFactory Factory;
        std::wstring Description;
        std::wstring ProgID;
    };
    std::vector<Registration> FRegistrations;
    std::mutex FOpenFilesLock;
    std::vector<TBaseMediaFormat*> FOpenFiles;
};

// The global manager; nullptr before MediaLibraryStart and after MediaLibraryEnd.
TMediaManager* MediaManager();
TImageTagLimiter* ImageTagLimiter();
// Library start-up: seeds the random generator, makes the picture limiter (disabled), sets the thread
// locale, creates the manager and registers the built-in formats. Idempotent.
void MediaLibraryStart();
void MediaLibraryEnd();
// Registers every format this build knows (one line per format), then the platform's.
void RegisterBuiltInFormats(TMediaManager& manager);
// Formats that need a component of the operating system (Windows: the Windows Media runtime, loaded
// here), registered only where it is present; and the release of those components at library end.
// Nothing on other platforms.
void RegisterPlatformFormats(TMediaManager& manager);
void ReleasePlatformFormats();

} // namespace mellodeck
