// What the fuzz targets share: the fuzz input read as a stream of choices, a check that stops
// the run with the failed condition named, and checkers and decoders of UTF-8 and UTF-16 that
// do not use the code under test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lz::fuzz {

[[noreturn]] inline void fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant failed: %s\n", file, line, condition);
    std::fflush(stderr);
    __builtin_trap();  // libFuzzer keeps the input as a crash
}

#define LZ_FUZZ_CHECK(condition) ((condition) ? void() : ::lz::fuzz::fail(#condition, __FILE__, __LINE__))

// The fuzz input, taken from the front. Reading past the end gives zeros, so a target never
// needs to ask how much is left before taking a choice.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }

    std::uint8_t byte() {
        if (size_ == 0) return 0;
        --size_;
        return *data_++;
    }

    std::uint64_t number(int bytes) {
        std::uint64_t n = 0;
        for (int i = 0; i < bytes; ++i) n = n << 8 | byte();
        return n;
    }

    // Up to `count` bytes, as text.
    std::string_view bytes(std::size_t count) {
        if (count > size_) count = size_;
        const std::string_view taken(reinterpret_cast<const char*>(data_), count);
        data_ += count;
        size_ -= count;
        return taken;
    }

    std::string_view rest() { return bytes(size_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// The code points of a UTF-8 text, or nothing when it is not well-formed: no overlong form, no
// surrogate, nothing above U+10FFFF, no missing or stray continuation byte.
inline std::optional<std::vector<char32_t>> decodeUtf8(std::string_view text) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t cp = 0;
        char32_t smallest = 0;
        if (lead < 0x80) {
            length = 1, cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, cp = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, cp = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, cp = lead & 0x07, smallest = 0x10000;
        } else {
            return std::nullopt;
        }
        if (text.size() - i < length) return std::nullopt;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            cp = cp << 6 | (next & 0x3F);
        }
        if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        points.push_back(cp);
        i += length;
    }
    return points;
}

inline bool isValidUtf8(std::string_view text) {
    return decodeUtf8(text).has_value();
}

// Whether every surrogate of a UTF-16 text is half of a pair.
inline bool isValidUtf16(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xDC00 && unit <= 0xDFFF) return false;  // a low half without a high one
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        }
    }
    return true;
}

// The code points of a UTF-16 text; an unpaired surrogate is U+FFFD.
inline std::vector<char32_t> decodeUtf16(std::u16string_view text) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            points.push_back(0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            points.push_back(0xFFFD);
        } else {
            points.push_back(unit);
        }
    }
    return points;
}

}  // namespace lz::fuzz
