#pragma once
// The tag library's result codes and exceptions. Exceptions never leave Open, Close or Post: those report
// booleans and LastError. Messages are wide text because several are shown or logged as the program's own
// texts.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace mellodeck {

// The result codes the library reports through LastError and PostResult: system error codes where the
// system's meaning fits, codes of our own from 0x10000000 up. Every code has one name, and this is its
// only definition.
//
// System "invalid data": the file's structure cannot be walked (no MPEG audio after an ID3v2 tag, MPEG-4
// atoms that do not nest).
inline constexpr uint32_t kErrorInvalidData = 13;
// System time-out: the file is held by another format object.
inline constexpr uint32_t kErrorFileBusy = 1460;
// Building the tag to write failed.
inline constexpr uint32_t kErrorBuildTag = 0x10000006;
// Writing the file raised an error that carried no system code.
inline constexpr uint32_t kErrorSaveException = 0x10000007;
// The file's layout cannot be rewritten safely (an MPEG-4 layout the writer cannot rebuild, FLAC metadata
// beyond a block's 24-bit length); the file is left untouched.
inline constexpr uint32_t kErrorLayoutNotWritable = 0x10000008;
// Ogg header pages interleaved with another logical stream: the file is read but not rewritten.
inline constexpr uint32_t kErrorOggLayout = 0x10000009;
// The ASF header reader and writer (WMA, WMV): no header object at the start; an object's size or a record
// overruns its parent; a header bigger than the reader takes; a value or name too long for any object.
inline constexpr uint32_t kASFErrorNotASF = 0x20000001;
inline constexpr uint32_t kASFErrorBadHeader = 0x20000002;
inline constexpr uint32_t kASFErrorTooLarge = 0x20000003;
inline constexpr uint32_t kASFErrorCannotWrite = 0x20000004;

class EMediaError : public std::runtime_error {
public:
    explicit EMediaError(const std::wstring& message);
    const std::wstring& Message() const { return FMessage; }

private:
    std::wstring FMessage;
};

// Raised by the format base and the MP3 classes for misuse (operation on a closed file, read-only file,
// changing Ignore while open).
class EMP3MediaFormat : public EMediaError {
public:
    using EMediaError::EMediaError;
};

// Texts of the library.
inline const wchar_t* const kTextFileNotOpen = L"Для выполнения операции небходимо сначала отрыть файл";
inline const wchar_t* const kTextReadOnly = L"Файл открыт только для чтения";
inline const wchar_t* const kTextCannotChangeAfterOpen = L"Нельзя менять свойство %s после открытия файла";

// printf-style filling of %s and %d placeholders in wide format texts.
std::wstring FormatText(const std::wstring& format, const std::wstring& s1);
std::wstring FormatText(const std::wstring& format, const std::wstring& s1, const std::wstring& s2);
std::wstring FormatText(const std::wstring& format, long long d1, const std::wstring& s1);

} // namespace mellodeck
