#include "media/core/MediaManager.h"

#include <algorithm>
#include <cwctype>

#include "common/FileUtils.h"

namespace mellodeck {
namespace {

std::unique_ptr<TMediaManager> gManager;
std::unique_ptr<TImageTagLimiter> gLimiter;
std::mutex gJpegLock;

// Whether a registered extension (ASCII, such as ".mp3") is `wanted`, ignoring case; compared in place,
// since every open of a file asks.
bool SameExtension(const std::string& registered, const std::wstring& wanted) {
    if (registered.size() != wanted.size())
        return false;
    for (size_t i = 0; i < wanted.size(); ++i)
        if (std::towlower(static_cast<wint_t>(static_cast<unsigned char>(registered[i]))) !=
            std::towlower(static_cast<wint_t>(wanted[i])))
            return false;
    return true;
}

std::wstring Trim(const std::wstring& s) {
    const size_t a = s.find_first_not_of(L' ');
    if (a == std::wstring::npos)
        return std::wstring();
    const size_t b = s.find_last_not_of(L' ');
    return s.substr(a, b - a + 1);
}

} // namespace

TMediaManager::~TMediaManager() = default;

void TMediaManager::RegisterFormat(const std::string& extension, TMediaFormatFactory factory,
                                   const std::wstring& description, const std::wstring& progID) {
    FRegistrations.push_back({extension, std::move(factory), description, progID});
}

bool TMediaManager::IsSupportedExtension(const std::wstring& extension) const {
    if (Trim(extension).empty())
        return false;
    for (const auto& r : FRegistrations)
        if (SameExtension(r.Extension, extension))
            return true;
    return false;
}

std::unique_ptr<TBaseMediaFormat> TMediaManager::CreateFormat(const std::wstring& extension, bool ignorePictures,
                                                              const std::wstring& fileName) const {
    for (const auto& r : FRegistrations) {
        if (!SameExtension(r.Extension, extension))
            continue;
        std::unique_ptr<TBaseMediaFormat> format = r.Factory();
        if (ignorePictures)
            format->Tags->Pictures->SetIgnore(true);
        format->FileName = fileName;
        return format;
    }
    return nullptr;
}

bool TMediaManager::AcquireFile(TBaseMediaFormat* format, uint32_t) {
    if (!format)
        return false;
    for (int round = 0; round < AcquireRounds; ++round) {
        {
            std::lock_guard<std::mutex> lock(FOpenFilesLock);
            const bool busy = std::any_of(FOpenFiles.begin(), FOpenFiles.end(), [&](TBaseMediaFormat* f) {
                return f != format && SamePath(f->FileName, format->FileName);
            });
            if (!busy) {
                if (std::find(FOpenFiles.begin(), FOpenFiles.end(), format) == FOpenFiles.end())
                    FOpenFiles.push_back(format);
                return true;
            }
        }
        PlatformSleep(100);
    }
    return false;
}

void TMediaManager::ReleaseFile(TBaseMediaFormat* format, uint32_t) {
    if (!format)
        return;
    std::lock_guard<std::mutex> lock(FOpenFilesLock);
    // Only this object's own entry goes: another object waiting on the same name still holds nothing.
    FOpenFiles.erase(std::remove(FOpenFiles.begin(), FOpenFiles.end(), format), FOpenFiles.end());
}

size_t TMediaManager::OpenFileCount() {
    std::lock_guard<std::mutex> lock(FOpenFilesLock);
    return FOpenFiles.size();
}

std::unique_lock<std::mutex> TMediaManager::AcquireJpegImage() { return std::unique_lock<std::mutex>(gJpegLock); }

TMediaManager* MediaManager() { return gManager.get(); }
TImageTagLimiter* ImageTagLimiter() { return gLimiter.get(); }

void MediaLibraryStart() {
    if (gManager)
        return;
    gLimiter = std::make_unique<TImageTagLimiter>();
    PlatformUseDefaultThreadLocale();
    gManager = std::make_unique<TMediaManager>();
    RegisterBuiltInFormats(*gManager);
}

void MediaLibraryEnd() {
    gManager.reset();
    gLimiter.reset();
    ReleasePlatformFormats();
}

#ifndef _WIN32
void RegisterPlatformFormats(TMediaManager&) {}
void ReleasePlatformFormats() {}
#endif

} // namespace mellodeck
