#include "TagsEdit.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "common/FileUtils.h"
#include "media/core/MediaManager.h"
#include "common/SystemError.h"
#include "common/TextConvert.h"

namespace mellodeck::tags {
namespace {

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

bool ParseSlotEdit(const std::wstring& text, TSlotEdit& edit, std::string& error) {
    const size_t eq = text.find(L'=');
    if (eq == std::wstring::npos) {
        error = "expected SLOT=VALUE, got \"" + WideToUtf8(text) + "\"";
        return false;
    }
    const std::string name = WideToUtf8(text.substr(0, eq));
    for (const auto& slot : TCommonMediaTags::StringSlots()) {
        if (SameName(slot.Name, name)) {
            edit.Slot = slot.Name;
            edit.Value = text.substr(eq + 1);
            return true;
        }
    }
    error = "unknown slot \"" + name + "\" (slots: ";
    bool first = true;
    for (const auto& slot : TCommonMediaTags::StringSlots()) {
        error += (first ? "" : ", ") + std::string(slot.Name);
        first = false;
    }
    error += ")";
    return false;
}

std::string ErrorMeaning(const std::string& formatClass, uint32_t code) {
    switch (code) {
    case 0: return "no error";
    case oserr::kFileNotFound: return "the file does not exist";
    case oserr::kPathNotFound: return "the folder does not exist";
    case oserr::kAccessDenied: return "access denied (the file or its folder is read-only, or in use)";
    case oserr::kWriteFault: return "the disk refused a write";
    case oserr::kReadFault: return "the file could not be read";
    case oserr::kSharingViolation: return "the file is in use by another program";
    case oserr::kDiskFull: return "the disk is full";
    case oserr::kTimeout: return "the file is held by another reader of this library";
    case 13: return "the file holds no audio this library reads";
    case 0x10000006: return "the ID3v2 tag could not be built";
    case 0x10000007: return "writing the file failed";
    case 0x10000008:
        if (formatClass == "TMPEG4MediaFormat")
            return "the file's layout cannot be saved safely; it was left as it was";
        return "the tags do not fit a FLAC metadata block";
    case 0x10000009: return "the file's header pages are interleaved with another stream; it was left as it was";
    default: return "system error";
    }
}

TSaveOutcome SaveFileEdits(const std::wstring& fileName, const std::vector<TSlotEdit>& edits, bool removePictures) {
    TSaveOutcome outcome;
    const std::wstring extension = ExtractExtension(ExtractName(fileName));
    TMediaManager* manager = MediaManager();
    if (!manager || !manager->IsSupportedExtension(extension)) {
        outcome.Meaning = "unsupported file type";
        return outcome;
    }
    std::unique_ptr<TBaseMediaFormat> format = manager->CreateFormat(extension, false, fileName);
    if (!format->Open(fileName, true, 0, false)) {
        outcome.Error = format->LastError;
        if (outcome.Error == 0 && format->Stream && !format->Stream->IsOpen())
            outcome.Error = format->Stream->ErrorCode;
        outcome.Meaning = outcome.Error ? "could not read the file: " + ErrorMeaning(format->ClassName(), outcome.Error)
                                        : "could not read the file";
        format->Close(0);
        return outcome;
    }
    for (const TSlotEdit& edit : edits)
        for (const auto& slot : TCommonMediaTags::StringSlots())
            if (edit.Slot == slot.Name)
                (format->Tags.get()->*slot.Member)->SetValue(edit.Value);
    if (removePictures && format->Tags->Pictures)
        format->Tags->Pictures->Clear();
    outcome.Saved = format->Post(0);
    outcome.Error = outcome.Saved ? 0 : (format->LastError ? format->LastError : static_cast<uint32_t>(format->PostResult));
    outcome.Meaning = ErrorMeaning(format->ClassName(), outcome.Error);
    if (!outcome.Saved && outcome.Error == 0)
        outcome.Meaning = "the file could not be saved";
    return outcome;
}

} // namespace mellodeck::tags
