#pragma once
// A read position over bytes held in memory (a tag block, a frame payload, an item atom). Every read
// is checked against what remains: one that does not fit returns false and changes nothing, neither
// the position nor its output, so a parser can stop at the first false and keep what it had read.
// The reader never owns the bytes; they must outlive it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/ByteOrder.h"

namespace mellodeck {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, size_t size) : FData(data), FSize(data ? size : 0) {}

    const uint8_t* Data() const { return FData; }
    size_t Size() const { return FSize; }
    size_t Position() const { return FPosition; }
    size_t Remaining() const { return FSize - FPosition; }
    bool AtEnd() const { return FPosition == FSize; }
    // The byte at the position (not to be read when AtEnd).
    const uint8_t* Current() const { return FData + FPosition; }

    // Moves the position by n bytes; false (position unchanged) when fewer remain.
    bool Skip(size_t n) {
        if (n > Remaining())
            return false;
        FPosition += n;
        return true;
    }
    // Moves the position to an offset from the start; false (unchanged) past the end.
    bool Seek(size_t position) {
        if (position > FSize)
            return false;
        FPosition = position;
        return true;
    }

    bool ReadU8(uint8_t& value) {
        return Take(1, value, [](const uint8_t* p) { return *p; });
    }
    bool ReadBE16(uint16_t& value) { return Take(2, value, GetBE16); }
    bool ReadBE24(uint32_t& value) { return Take(3, value, GetBE24); }
    bool ReadBE32(uint32_t& value) { return Take(4, value, GetBE32); }
    bool ReadBE64(uint64_t& value) { return Take(8, value, GetBE64); }
    bool ReadLE16(uint16_t& value) { return Take(2, value, GetLE16); }
    bool ReadLE32(uint32_t& value) { return Take(4, value, GetLE32); }
    bool ReadLE64(uint64_t& value) { return Take(8, value, GetLE64); }

    // Copies n bytes out.
    bool ReadBytes(void* out, size_t n) {
        if (n > Remaining())
            return false;
        if (n)
            std::memcpy(out, Current(), n);
        FPosition += n;
        return true;
    }
    // Passes over n bytes and gives where they start, without copying.
    bool ReadSpan(size_t n, const uint8_t*& span) {
        if (n > Remaining())
            return false;
        span = Current();
        FPosition += n;
        return true;
    }
    // n bytes as text, viewed in place or copied.
    bool ReadText(size_t n, std::string_view& text) {
        const uint8_t* span;
        if (!ReadSpan(n, span))
            return false;
        text = std::string_view(reinterpret_cast<const char*>(span), n);
        return true;
    }
    bool ReadText(size_t n, std::string& text) {
        std::string_view view;
        if (!ReadText(n, view))
            return false;
        text.assign(view);
        return true;
    }

private:
    template <class T, class Get> bool Take(size_t n, T& value, Get get) {
        if (n > Remaining())
            return false;
        value = get(Current());
        FPosition += n;
        return true;
    }

    const uint8_t* FData = nullptr;
    size_t FSize = 0;
    size_t FPosition = 0;
};

} // namespace mellodeck
