#pragma once
// The panel's user-visible texts: one table of 50 wide strings, English with Italian or French over part of
// it, chosen once from the system's default language (not the user's interface language).
#include <cstdint>
#include <initializer_list>
#include <string>

namespace mellodeck {

enum TSideBarString : int {
    SSeekHint,
    SStartCaption,
    SInstallCaption,
    SPlayHint,
    SPauseHint,
    SStopHint,
    SPreviousHint,
    SNextHint,
    SShowPlayerHint,
    SHidePlayerHint,
    SEditTagsHint,
    SShuffleOnHint,
    SRepeatOnHint,
    SBothOnHint,
    SBothOffHint,
    SClickToStart,
    SClickToInstall,
    SPlayerInstallCaption,
    SPlayerInstallText,
    SBrowserError,
    SNoTagsFound,
    SUnknownAlbum,
    SUnknownArtist,
    SUnknownSong,
    SArtistLabel,
    SAlbumLabel,
    SSongLabel,
    SEditorOldCaption,
    SEditorOldText,
    SEditorMissingCaption,
    SEditorMissingText,
    SPlaylistEmpty,
    SDropFilesHint,
    SSongHasNoTags,
    SFillTagsHint,
    SCancel,
    SClose,
    SNo,
    SDownloadingEditor,
    SConnecting,
    SConnectFailed,
    SDownloadingPackage,
    SDownloadFailed,
    SCompleted,
    STempCreateFailed,
    STempWriteFailed,
    SDownloadManuallyText,
    SDownloadManually,
    SLaunching,
    SSetupFailed,
};
inline constexpr int kSideBarStringCount = 50;

// Language identifiers of the Italian and French variants (primary language with every sublanguage the
// table knows).
bool IsItalianLanguage(uint16_t langId);
bool IsFrenchLanguage(uint16_t langId);

// The system's default language identifier: GetSystemDefaultLangID on Windows, 1033 elsewhere, unless a
// test has set an override.
uint16_t SystemDefaultLanguage();
// Tests pin the language (0 removes the override).
void SetSystemLanguageOverride(uint16_t langId);

// Fills the table for a language: English first, then Italian over entries 0-30 or French over 0-34.
void FillSideBarStrings(uint16_t langId);
// Fills the table for the system's default language; done once when the library starts.
void FillSideBarStrings();
// Releases the texts when the library ends (the table reads empty afterwards).
void ClearSideBarStrings();

// An entry of the current table (filled for the system language on first use if nobody filled it).
const std::wstring& SideBarString(TSideBarString id);

// printf-style formatting of a table entry with %s (wide text) and %d (integer) placeholders, in order.
// Placeholders without an argument are left out; arguments without a placeholder are ignored.
struct TFormatArg {
    TFormatArg(int64_t v) : IsText(false), Number(v) {}
    TFormatArg(int v) : IsText(false), Number(v) {}
    TFormatArg(unsigned v) : IsText(false), Number(v) {}
    TFormatArg(const std::wstring& v) : IsText(true), Text(v) {}
    TFormatArg(const wchar_t* v) : IsText(true), Text(v ? v : L"") {}
    bool IsText;
    int64_t Number = 0;
    std::wstring Text;
};
std::wstring FormatText(const std::wstring& format, std::initializer_list<TFormatArg> args);

} // namespace mellodeck
