#include "media/core/MediaFormat.h"

#include <cstring>
#include <random>

#include "common/FileUtils.h"
#include "media/core/MediaManager.h"
#include "report/ErrorHandler.h"

namespace mellodeck {
namespace {

const wchar_t* const kTextOpenException = L"Exception while opening media file, File: \"%s\", Message: \"%s\"";

} // namespace

TBaseMediaFormat::TBaseMediaFormat() = default;

TBaseMediaFormat::~TBaseMediaFormat() {
    Close(0);
    if (Tags)
        Reset();
}

bool TBaseMediaFormat::Open(const std::wstring& fileName, bool forWriting, uint32_t context, bool infoOnly) {
    bool result = false;
    Flags |= mfOpening;
    LastError = 0;
    try {
        if (!infoOnly && !InfoOnlyOpen)
            Reset();
        FileName = fileName;
        ForWriting = forWriting;
        if (InfoOnlyOpen) {
            Flags &= ~mfOpening;
            return false;
        }
        bool acquired = false;
        try {
            if (!MediaManager())
                MediaLibraryStart();
            acquired = MediaManager()->AcquireFile(this, context);
            if (!acquired) {
                LastError = kErrorFileBusy;
            } else {
                Stream = std::make_unique<TBufferedFileReadStream>(fileName);
                if (LastError == 0) {
                    Tags->Pictures->Clear();
                    FileSize = Stream->IsOpen() ? Stream->Size() : 0;
                    if (infoOnly) {
                        InfoOnlyOpen = true;
                        result = true;
                    } else {
                        try {
                            result = ReadTags();
                        } catch (...) {
                            SetModified(false);
                            throw;
                        }
                        SetModified(false);
                    }
                }
            }
        } catch (...) {
            if (acquired)
                MediaManager()->ReleaseFile(this, context);
            throw;
        }
    } catch (const EMediaError& e) {
        LogError(FormatText(kTextOpenException, FileName, e.Message()));
        result = false;
    } catch (const std::exception&) {
        LogError(FormatText(kTextOpenException, FileName, L"-"));
        result = false;
    } catch (...) {
        LogError(FormatText(kTextOpenException, FileName, L"-"));
        result = false;
    }
    Flags &= ~mfOpening;
    return result;
}

bool TBaseMediaFormat::ReadTags() {
    if (!IsOpen())
        throw EMP3MediaFormat(kTextFileNotOpen);
    Reset();
    return ReadInfo();
}

void TBaseMediaFormat::Close(uint32_t context) {
    Flags |= mfClosing;
    if (IsOpen())
        FreeBlocks();
    Stream.reset();
    if (MediaManager())
        MediaManager()->ReleaseFile(this, context);
    Flags &= ~mfClosing;
    InfoOnlyOpen = false;
}

bool TBaseMediaFormat::Post(uint32_t context) {
    bool result = false;
    LastError = 0;
    PostResult = 0;
    try {
        if (!IsOpen())
            throw EMP3MediaFormat(kTextFileNotOpen);
        if (!ForWriting) {
            Close(context);
            throw EMP3MediaFormat(kTextReadOnly);
        }
        Flags |= mfPosting;
        result = SaveTags(context);
        if (!result)
            LogError(FormatText(L"POST operation failed, Code: %d, File: \"%s\"", PostResult, FileName));
        // Re-read what is now in the file, so the tags describe the file as saved.
        const uint32_t saveError = LastError;
        Close(context);
        Open(FileName, false, context, false);
        if (!result && saveError != 0)
            LastError = saveError;
    } catch (const EMediaError& e) {
        LogError(e.Message());
        result = false;
    } catch (...) {
        result = false;
    }
    Close(context);
    AfterPost(context);
    return result;
}

void TBaseMediaFormat::Reset() {
    Channels = 0;
    for (TBaseTag* tag : Tags->TagList)
        tag->Clear();
    FreeBlocks();
}

uint32_t TBaseMediaFormat::SaveAsNewFile(uint32_t context, uint32_t otherError,
                                         const std::function<void(TSaveWriter&)>& write, int64_t* size) {
    uint32_t error = 0;
    bool closed = false;
    try {
        TTemporarySave save(FileName, WriteBufferSize);
        write(save.Writer());
        const int64_t written = save.Finish();
        Close(context);
        closed = true;
        save.Replace();
        if (size)
            *size = written;
    } catch (const ESaveFailure& failure) {
        error = failure.Code;
    } catch (...) {
        error = otherError;
    }
    if (!closed)
        Close(context);
    return error;
}

// ---- preserved-block store ----------------------------------------------------------------------------

bool TBaseMediaFormat::PushBlock(const uint8_t* bytes, size_t size) {
    if (size > kBlockStoreLimit || FBlocks.size() + size + 4 > kBlockStoreLimit)
        return false;
    FBlockStarts.push_back(FBlocks.size());
    const uint32_t length = static_cast<uint32_t>(size);
    const auto* lp = reinterpret_cast<const uint8_t*>(&length);
    FBlocks.insert(FBlocks.end(), lp, lp + 4);
    FBlocks.insert(FBlocks.end(), bytes, bytes + size);
    return true;
}

bool TBaseMediaFormat::PushFrame(const uint8_t* header, size_t headerSize, size_t dataSize, TStream& stream) {
    const size_t total = headerSize + dataSize;
    if (dataSize > kBlockStoreLimit || total > kBlockStoreLimit || FBlocks.size() + total + 4 > kBlockStoreLimit) {
        LogError(L"PushMemStream Failed");
        stream.Skip(static_cast<int64_t>(dataSize));
        return false;
    }
    const size_t start = FBlocks.size();
    const uint32_t length = static_cast<uint32_t>(total);
    const auto* lp = reinterpret_cast<const uint8_t*>(&length);
    FBlocks.insert(FBlocks.end(), lp, lp + 4);
    FBlocks.insert(FBlocks.end(), header, header + headerSize);
    FBlocks.resize(start + 4 + total);
    const int64_t got = stream.Read(FBlocks.data() + start + 4 + headerSize, static_cast<int64_t>(dataSize));
    if (got != static_cast<int64_t>(dataSize)) {
        FBlocks.resize(start);
        return false;
    }
    FBlockStarts.push_back(start);
    return true;
}

void TBaseMediaFormat::PopBlock() {
    if (FBlockStarts.empty())
        return;
    FBlocks.resize(FBlockStarts.back());
    FBlockStarts.pop_back();
}

const uint8_t* TBaseMediaFormat::Block(size_t index, size_t& size) const {
    const size_t start = FBlockStarts.at(index);
    uint32_t length;
    std::memcpy(&length, FBlocks.data() + start, 4);
    size = length;
    return FBlocks.data() + start + 4;
}

const uint8_t* TBaseMediaFormat::LastBlock(size_t& size) const {
    if (FBlockStarts.empty()) {
        size = 0;
        return nullptr;
    }
    return Block(FBlockStarts.size() - 1, size);
}

size_t TBaseMediaFormat::BlocksSize() const { return FBlocks.size() - 4 * FBlockStarts.size(); }

void TBaseMediaFormat::WriteBlocks(TStream& stream) const {
    for (size_t i = 0; i < FBlockStarts.size(); ++i) {
        size_t size;
        const uint8_t* bytes = Block(i, size);
        stream.WriteBuffer(bytes, static_cast<int64_t>(size));
    }
}

void TBaseMediaFormat::FreeBlocks() {
    FBlocks.clear();
    FBlocks.shrink_to_fit();
    FBlockStarts.clear();
}

// ---- file helpers of the save paths -------------------------------------------------------------------

bool RenameFile(const std::wstring& oldName, const std::wstring& newName) {
    return PlatformRenameFile(oldName, newName);
}

bool DeleteFileLogged(const std::wstring& name) {
    if (!FileExists(name))
        return false;
    if (!ClearProtectiveAttributes(name))
        LogError(FormatText(L"Could not change file attribute, File: %s", name));
    const bool deleted = PlatformDeleteFile(name);
    if (!deleted)
        LogError(FormatText(L"Could not remove a file, Code: %d, File: %s", LastSystemError(), name));
    return deleted;
}

std::wstring MakeSiblingFileName(const std::wstring& name, const std::wstring& suffix) {
    if (name.size() + suffix.size() < 256)
        return name + suffix;
    if (ExtractName(name).size() > suffix.size() + 8) {
        static std::mt19937 random{std::random_device{}()};
        std::uniform_int_distribution<uint32_t> pick(1, 1999999);
        const uint32_t value = pick(random) + PlatformTickCount();
        wchar_t hex[9];
        static const wchar_t digits[] = L"0123456789ABCDEF";
        for (int i = 0; i < 8; ++i)
            hex[i] = digits[(value >> (28 - 4 * i)) & 0xF];
        hex[8] = 0;
        return WithTrailingBackslash(ExtractFolder(name)) + hex + suffix;
    }
    return name + suffix;
}

} // namespace mellodeck
