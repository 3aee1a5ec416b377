// The registry step's reading of its texts: the path of an entry (root, key, value name) and
// the number of a "SZJZ" value, against readings written here by the rules the optimizer
// documents for them.
//
// Input: a byte choosing what the rest is: a path, a value text, or a number that is written
// out in one of the ways a scheme might hold it and must read back as itself.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "platform/text.h"
#include "steps/registry_steps.h"

namespace {

namespace op = lz::steps;
using lz::fuzz::Input;
using lz::registry::Root;

// ---- Paths ---------------------------------------------------------------------------------

// The parts of a GBK path between real backslashes, walking it a character at a time.
std::vector<std::string_view> pathParts(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t pos = 0; pos < path.size(); pos += lz::text::gbkCharSize(path, pos)) {
        if (lz::text::gbkCharSize(path, pos) == 1 && path[pos] == '\\') {
            parts.push_back(path.substr(start, pos - start));
            start = pos + 1;
        }
    }
    parts.push_back(path.substr(start));
    return parts;
}

Root rootOf(std::string_view name) {
    if (name == "HKEY_CLASSES_ROOT") return Root::ClassesRoot;
    if (name == "HKEY_CURRENT_USER") return Root::CurrentUser;
    if (name == "HKEY_LOCAL_MACHINE") return Root::LocalMachine;
    if (name == "HKEY_USERS") return Root::Users;
    return Root::CurrentConfig;
}

void checkPath(std::string_view path) {
    const std::vector<std::string_view> parts = pathParts(path);
    const auto converted = op::convertPath(path);
    const auto entry = op::resolveRegistryEntry(path);
    LZ_FUZZ_CHECK(converted.has_value() == (parts.size() > 1));
    LZ_FUZZ_CHECK(entry.has_value() == (parts.size() > 1));
    if (parts.size() < 2) return;

    const Root root = rootOf(parts.front());
    LZ_FUZZ_CHECK(converted->root == root);
    LZ_FUZZ_CHECK(converted->rest == path.substr(parts.front().size() + 1));

    std::u16string subKey;
    for (std::size_t i = 1; i + 1 < parts.size(); ++i) {
        if (parts[i].empty()) continue;
        if (!subKey.empty()) subKey += u'\\';
        subKey += lz::text::gbkToUtf16(parts[i]);
    }
    LZ_FUZZ_CHECK(entry->root == root);
    LZ_FUZZ_CHECK(entry->subKey == subKey);
    LZ_FUZZ_CHECK(entry->valueName == lz::text::gbkToUtf16(parts.back()));
    // No empty key name: the registry has none.
    LZ_FUZZ_CHECK(entry->subKey.empty() || (entry->subKey.front() != u'\\' && entry->subKey.back() != u'\\'));
    LZ_FUZZ_CHECK(entry->subKey.find(u"\\\\") == std::u16string::npos);
    LZ_FUZZ_CHECK(entry->valueName.find(u'\\') == std::u16string::npos);
}

// ---- DWORD texts ---------------------------------------------------------------------------

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool allOf(std::string_view text, const char* allowed) {
    return !text.empty() && text.find_first_not_of(allowed) == std::string_view::npos;
}

// The number of whole digits, by the C library; nothing when it is beyond `limit`.
std::optional<std::uint64_t> valueOf(const std::string& digits, int base, std::uint64_t limit) {
    errno = 0;
    const unsigned long long n = std::strtoull(digits.c_str(), nullptr, base);
    if (errno == ERANGE || n > limit) return std::nullopt;
    return n;
}

// A value text read by the rules of parseDwordText's header: blanks around, then a decimal
// number with a sign and a fraction of zeros, or a hexadecimal one after 0x.
std::optional<std::uint32_t> dwordByTheRules(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);

    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const std::string_view digits = text.substr(2);
        if (!allOf(digits, "0123456789abcdefABCDEF")) return std::nullopt;
        const auto n = valueOf(std::string(digits), 16, 0xFFFFFFFF);
        if (!n) return std::nullopt;
        return static_cast<std::uint32_t>(*n);
    }
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    if (point != text.npos) {
        const std::string_view fraction = text.substr(point + 1);
        if (!fraction.empty() && !allOf(fraction, "0")) return std::nullopt;
    }
    if (!allOf(whole, "0123456789")) return std::nullopt;
    const auto n = valueOf(std::string(whole), 10, negative ? 0x80000000u : 0xFFFFFFFFu);
    if (!n) return std::nullopt;
    return static_cast<std::uint32_t>(negative ? 0x100000000u - *n : *n);
}

// A number written out with snprintf, perhaps with blanks, a sign, leading zeros or a
// fraction; what it must read as is worked out from the number, not from the text.
void checkWrittenNumber(Input& input) {
    const std::uint8_t how = input.byte();
    const std::uint8_t around = input.byte();
    // Mostly numbers near the ends of the range, where the limits are.
    const std::uint64_t raw = input.number(5);
    const std::uint64_t n =
        how & 0x40 ? raw % 0x200000000u : (0xFFFFFFFFu - 8 + raw % 16) ^ (how & 0x80 ? 0x7FFFFFFFu : 0);
    char digits[64];
    std::optional<std::uint32_t> expected;
    const int zeros = how >> 4 & 3;
    switch (how % 5) {
        case 0:  // decimal
            std::snprintf(digits, sizeof digits, "%0*llu", zeros + 1, static_cast<unsigned long long>(n));
            if (n <= 0xFFFFFFFFu) expected = static_cast<std::uint32_t>(n);
            break;
        case 1:  // decimal with a plus sign
            std::snprintf(digits, sizeof digits, "+%llu", static_cast<unsigned long long>(n));
            if (n <= 0xFFFFFFFFu) expected = static_cast<std::uint32_t>(n);
            break;
        case 2: {  // negative
            const std::uint64_t m = n & 0x1FFFFFFFF;
            std::snprintf(digits, sizeof digits, "-%llu", static_cast<unsigned long long>(m));
            if (m <= 0x80000000u) expected = static_cast<std::uint32_t>(0x100000000u - m);
            break;
        }
        case 3:  // hexadecimal
            std::snprintf(digits, sizeof digits, how & 8 ? "0x%0*llx" : "0X%0*llX", zeros * 3 + 1,
                          static_cast<unsigned long long>(n));
            if (n <= 0xFFFFFFFFu) expected = static_cast<std::uint32_t>(n);
            break;
        default:  // a fraction: zeros only is the number, anything else no number
            std::snprintf(digits, sizeof digits, how & 8 ? "%llu.%0*d" : "%llu.%0*d5",
                          static_cast<unsigned long long>(n), zeros, 0);
            if (n <= 0xFFFFFFFFu && (how & 8)) expected = static_cast<std::uint32_t>(n);
            break;
    }
    // Blanks before and after: the bits of `around` choose how many and which.
    static constexpr char kBlanks[] = {' ', '\t', '\r', '\n'};
    std::string text;
    for (int i = 0; i < (around & 3); ++i) text += kBlanks[(around >> (2 * i + 2)) & 3];
    text += digits;
    for (int i = 0; i < (around >> 6); ++i) text += kBlanks[(around >> 2 * i) & 3];
    LZ_FUZZ_CHECK(op::parseDwordText(text) == expected);
    LZ_FUZZ_CHECK(dwordByTheRules(text) == expected);

    // A character that is not a blank around the number makes it no number.
    static constexpr char kOthers[] = {'\v', '\f', '\0', 'x', '#', ',', '_', '\xA1'};
    const char other = kOthers[raw % std::size(kOthers)];
    LZ_FUZZ_CHECK(!op::parseDwordText(around & 0x20 ? other + text : text + other));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    switch (input.byte() % 3) {
        case 0:
            checkPath(input.rest());
            break;
        case 1: {
            const std::string_view text = input.rest();
            LZ_FUZZ_CHECK(op::parseDwordText(text) == dwordByTheRules(text));
            break;
        }
        default:
            checkWrittenNumber(input);
            break;
    }
    return 0;
}
