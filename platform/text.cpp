#include "platform/text.h"

#include <array>
#include <cstdint>
#include <memory>
#include <utility>

#include "platform/code_page_936.h"

namespace lz::text {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

constexpr unsigned kFirstLead = 0x81;
constexpr unsigned kLastLead = 0xFE;
constexpr unsigned kFirstTrail = 0x40;
constexpr unsigned kLastTrail = 0xFE;
constexpr unsigned kTrailCount = kLastTrail - kFirstTrail + 1;
constexpr unsigned kPairCount = (kLastLead - kFirstLead + 1) * kTrailCount;

constexpr std::size_t pairIndex(unsigned lead, unsigned trail) {
    return (lead - kFirstLead) * kTrailCount + (trail - kFirstTrail);
}

// Code page 936 as two lookup tables, read once from the platform's converter.
struct Tables {
    std::array<char16_t, kPairCount> decode{};  // pair -> unit, kReplacement when unassigned
    char16_t single80 = kReplacement;           // the bytes 80 and FF on their own
    char16_t singleFF = kReplacement;
    std::array<std::uint16_t, 0x10000> encode{};  // unit -> byte, or (lead << 8 | trail); 0: none
};

// Windows reads the user-defined areas of code page 936 (AAA1..AFFE, F8A1..FEFE, A140..A7A0
// and a few more, and the byte FF) as private-use characters, iconv as unassigned. Treat them
// as unassigned everywhere so that both builds read every byte alike; a character must also
// never decode to ASCII or to a surrogate.
char16_t accepted(char16_t unit) {
    return (unit < 0x80 || (unit >= 0xD800 && unit <= 0xF8FF)) ? kReplacement : unit;
}

std::unique_ptr<Tables> buildTables() {
    auto tables = std::make_unique<Tables>();
    // The single bytes first: the euro sign is written as the byte 80.
    tables->single80 = accepted(decodeCodePage936("\x80"));
    tables->singleFF = accepted(decodeCodePage936("\xFF"));
    for (const auto& [byte, unit] : {std::pair{0x80u, tables->single80}, std::pair{0xFFu, tables->singleFF}}) {
        if (unit != kReplacement) tables->encode[unit] = static_cast<std::uint16_t>(byte);
    }
    for (unsigned lead = kFirstLead; lead <= kLastLead; ++lead) {
        for (unsigned trail = kFirstTrail; trail <= kLastTrail; ++trail) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const char16_t unit = trail == 0x7F ? kReplacement : accepted(decodeCodePage936({pair, 2}));
            tables->decode[pairIndex(lead, trail)] = unit;
            // The first (lowest) code of a character is the one written back.
            if (unit != kReplacement && tables->encode[unit] == 0) {
                tables->encode[unit] = static_cast<std::uint16_t>(lead << 8 | trail);
            }
        }
    }
    return tables;
}

const Tables& tables() {
    static const std::unique_ptr<Tables> instance = buildTables();
    return *instance;
}

// ---- GBK -> UTF-16 units, handed to a sink one at a time --------------------------------

template <class Sink>
void decodeGbk(std::string_view gbk, Sink&& sink) {
    const Tables& t = tables();
    const auto& decode = t.decode;
    const auto* p = reinterpret_cast<const unsigned char*>(gbk.data());
    const auto* const end = p + gbk.size();
    while (p < end) {
        const unsigned b = *p;
        if (b < 0x80) {
            sink(static_cast<char16_t>(b));
            ++p;
            continue;
        }
        if (b >= kFirstLead && b <= kLastLead && end - p >= 2) {
            const unsigned t = p[1];
            if (t >= kFirstTrail && t <= kLastTrail && t != 0x7F) {
                sink(decode[pairIndex(b, t)]);
                p += 2;
                continue;
            }
        }
        sink(b == 0x80 ? t.single80 : b == 0xFF ? t.singleFF : kReplacement);  // or a lone lead byte
        ++p;
    }
}

// ---- UTF-16 -> GBK -----------------------------------------------------------------------

void appendGbk(std::string& out, std::uint16_t code) {
    if (code == 0) {
        out.push_back('?');
    } else if (code < 0x100) {
        out.push_back(static_cast<char>(code));
    } else {
        out.push_back(static_cast<char>(code >> 8));
        out.push_back(static_cast<char>(code & 0xFF));
    }
}

template <class Unit>
std::string encodeGbk(std::basic_string_view<Unit> utf16) {
    const auto& encode = tables().encode;
    std::string out;
    out.reserve(utf16.size() * 2);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const auto u = static_cast<char16_t>(utf16[i]);
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            // A surrogate pair is one character outside GBK: one '?'.
            if (u <= 0xDBFF && i + 1 < utf16.size()) {
                const auto next = static_cast<char16_t>(utf16[i + 1]);
                if (next >= 0xDC00 && next <= 0xDFFF) ++i;
            }
            out.push_back('?');
        } else {
            appendGbk(out, encode[u]);
        }
    }
    return out;
}

// ---- UTF-8 -------------------------------------------------------------------------------

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        const char bytes[2] = {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 2);
    } else if (cp < 0x10000) {
        const char bytes[3] = {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                               static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 3);
    } else {
        const char bytes[4] = {static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
                               static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 4);
    }
}

template <class Unit>
std::basic_string<Unit> utf8ToUnits(std::string_view utf8) {
    std::basic_string<Unit> out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const Utf8Character c = readUtf8(utf8, i);
        i += c.size;
        const char32_t cp = c.codePoint;
        if (cp < 0x10000) {
            out.push_back(static_cast<Unit>(cp));
        } else {
            const char32_t v = cp - 0x10000;
            out.push_back(static_cast<Unit>(0xD800 + (v >> 10)));
            out.push_back(static_cast<Unit>(0xDC00 + (v & 0x3FF)));
        }
    }
    return out;
}

template <class Unit>
std::string unitsToUtf8(std::basic_string_view<Unit> utf16) {
    std::string out;
    out.reserve(utf16.size() + utf16.size() / 2);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const auto u = static_cast<char16_t>(utf16[i]);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < utf16.size()) {
            const auto next = static_cast<char16_t>(utf16[i + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
    }
    return out;
}

template <class Unit>
std::basic_string<Unit> gbkToUnits(std::string_view gbk) {
    std::basic_string<Unit> out;
    out.resize(gbk.size());  // at most one unit per byte
    Unit* w = out.data();
    decodeGbk(gbk, [&w](char16_t u) { *w++ = static_cast<Unit>(u); });
    out.resize(static_cast<std::size_t>(w - out.data()));
    return out;
}

}  // namespace

std::u16string gbkToUtf16(std::string_view gbk) {
    return gbkToUnits<char16_t>(gbk);
}

std::string utf16ToGbk(std::u16string_view utf16) {
    return encodeGbk(utf16);
}

std::string gbkToUtf8(std::string_view gbk) {
    std::string out;
    out.reserve(gbk.size() + gbk.size() / 2);
    decodeGbk(gbk, [&out](char16_t u) { appendUtf8(out, u); });
    return out;
}

std::string utf8ToGbk(std::string_view utf8) {
    const auto& encode = tables().encode;
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const Utf8Character c = readUtf8(utf8, i);
        i += c.size;
        const char32_t cp = c.codePoint;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else {
            appendGbk(out, cp < 0x10000 ? encode[cp] : 0);
        }
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    return utf8ToUnits<char16_t>(utf8);
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    return unitsToUtf8(utf16);
}

std::size_t findLastBackslash(std::string_view gbk) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < gbk.size();) {
        const std::size_t size = gbkCharSize(gbk, i);
        if (size == 1 && gbk[i] == '\\') found = i;
        i += size;
    }
    return found;
}

#ifdef _WIN32
std::wstring toWide(std::string_view utf8) {
    return utf8ToUnits<wchar_t>(utf8);
}

std::string fromWide(std::wstring_view wide) {
    return unitsToUtf8(wide);
}

std::wstring gbkToWide(std::string_view gbk) {
    return gbkToUnits<wchar_t>(gbk);
}

std::string wideToGbk(std::wstring_view wide) {
    return encodeGbk(wide);
}
#endif

}  // namespace lz::text
