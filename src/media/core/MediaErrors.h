#pragma once
// Exceptions inside the tag library. They never leave Open, Close or Post: those report booleans and
// LastError. Messages are wide text because several are shown or logged as the program's own texts.
#include <stdexcept>
#include <string>

namespace mellodeck {

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
