#include "regfile/writer.h"

#include <array>
#include <cstdint>
#include <optional>

namespace lz::regfile {
namespace {

// A hex line is continued with "\" once it reaches this column, as the registry editor does.
constexpr std::size_t kHexLineColumns = 76;

char16_t unitAt(const std::vector<std::uint8_t>& bytes, std::size_t index) {
    return static_cast<char16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
}

// The units of string data that a quoted string gives back exactly: an even number of bytes
// ending in one zero unit, and no other zero and no line break before it.
std::optional<std::u16string> plainString(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 2 || bytes.size() % 2 != 0) return std::nullopt;
    const std::size_t units = bytes.size() / 2 - 1;
    if (unitAt(bytes, units) != 0) return std::nullopt;
    std::u16string text;
    text.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t c = unitAt(bytes, i);
        if (c == 0 || c == u'\r' || c == u'\n') return std::nullopt;
        text += c;
    }
    return text;
}

// The number in lower-case hexadecimal, at least `minDigits` (at most 16) digits.
void appendHex(std::u16string& out, std::uint64_t number, int minDigits) {
    std::array<char16_t, 16> digits{};
    int count = 0;
    do {
        digits[static_cast<std::size_t>(count++)] = u"0123456789abcdef"[number & 0xF];
        number >>= 4;
    } while (number != 0);
    while (count < minDigits) digits[static_cast<std::size_t>(count++)] = u'0';
    while (count > 0) out += digits[static_cast<std::size_t>(--count)];
}

// `prefix` ("hex:", "hex(2):") and the bytes as two-digit hex numbers separated by commas,
// continued on the next line with "\" the way the registry editor exports them.
void appendHexList(std::u16string& out, std::u16string_view prefix, const std::vector<std::uint8_t>& bytes,
                   std::size_t column) {
    out += prefix;
    column += prefix.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        appendHex(out, bytes[i], 2);
        column += 2;
        if (i + 1 == bytes.size()) break;
        out += u',';
        if (++column >= kHexLineColumns) {
            out += u"\\\r\n  ";
            column = 2;
        }
    }
}

std::u16string nameOnTheLeft(std::u16string_view name) {
    return name.empty() ? std::u16string(u"@") : quoted(name);
}

}  // namespace

std::u16string quoted(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (char16_t c : text) {
        if (c == u'\\' || c == u'"') out += u'\\';
        out += c;
    }
    out += u'"';
    return out;
}

std::u16string dataText(const Data& data, std::size_t column) {
    std::u16string out;
    if (data.type == type::kString) {
        if (const auto text = plainString(data.bytes)) return quoted(*text);
    }
    if (data.type == type::kDword && data.bytes.size() == 4) {
        const std::uint32_t number = static_cast<std::uint32_t>(data.bytes[0]) | (data.bytes[1] << 8) |
                                     (data.bytes[2] << 16) | (static_cast<std::uint32_t>(data.bytes[3]) << 24);
        out += u"dword:";
        appendHex(out, number, 8);
        return out;
    }
    if (data.type == type::kBinary) {
        appendHexList(out, u"hex:", data.bytes, column);
        return out;
    }
    std::u16string prefix = u"hex(";
    appendHex(prefix, data.type, 1);
    prefix += u"):";
    appendHexList(out, prefix, data.bytes, column);
    return out;
}

std::u16string valueLine(std::u16string_view name, const Data& data) {
    std::u16string line = nameOnTheLeft(name);
    line += u'=';
    line += dataText(data, line.size());
    return line;
}

std::u16string deleteValueLine(std::u16string_view name) {
    return nameOnTheLeft(name) + u"=-";
}

Writer::Writer() : text_(kHeader) {
    text_ += u"\r\n";
}

void Writer::section(std::u16string_view key) {
    if (sectionOpen_ && openSection_ == key) return;
    text_.append(u"\r\n[").append(key).append(u"]\r\n");
    openSection_ = key;
    sectionOpen_ = true;
}

void Writer::deleteKey(std::u16string_view key) {
    text_.append(u"\r\n[-").append(key).append(u"]\r\n");
    sectionOpen_ = false;
}

void Writer::value(std::u16string_view name, const Data& data) {
    line(valueLine(name, data));
}

void Writer::deleteValue(std::u16string_view name) {
    line(deleteValueLine(name));
}

void Writer::line(std::u16string_view text) {
    text_.append(text).append(u"\r\n");
}

std::u16string Writer::text() const {
    return text_ + u"\r\n";
}

std::string fileBytes(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + text.size() * 2);
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

}  // namespace lz::regfile
