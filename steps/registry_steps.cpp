#include "steps/registry_steps.h"

#include <array>
#include <vector>

#include "platform/text.h"
#include "scheme/scheme.h"

namespace lz::steps {
namespace {

using registry::Root;

// Position of the first backslash of a GBK text that is not the second byte of a double-byte
// character, npos when there is none.
std::size_t findFirstBackslash(std::string_view gbk) {
    for (std::size_t pos = 0; pos < gbk.size(); pos += text::gbkCharSize(gbk, pos)) {
        if (gbk[pos] == '\\') return pos;
    }
    return std::string_view::npos;
}

// Any name that is no root's names HKEY_CURRENT_CONFIG. Abbreviations too ("HKCU\\..." lands in
// HKEY_CURRENT_CONFIG): schemes spell the roots in full, and those written under this rule must
// keep writing where they always have.
Root rootNamed(std::string_view name) {
    for (const Root root : registry::kRoots) {
        if (registry::rootName(root) == name) return root;
    }
    return Root::CurrentConfig;
}

// The key path with its empty names left out: "\a\\b\" becomes "a\b".
std::u16string withoutEmptyNames(std::u16string_view path) {
    std::u16string result;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(u'\\', start);
        if (end == path.npos) end = path.size();
        if (end > start) {
            if (!result.empty()) result += u'\\';
            result += path.substr(start, end - start);
        }
        start = end + 1;
    }
    return result;
}

// The blanks a value text may have around its number: what typing or pasting into a value box
// leaves there. A vertical tab or form feed is no such thing, and shows as nothing in the runner.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

int digitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

// Reads the leading digits of `text` in `base` and removes them. Nothing when there is no digit
// or the number exceeds `limit`.
std::optional<std::uint64_t> takeNumber(std::string_view& text, int base, std::uint64_t limit) {
    std::uint64_t number = 0;
    std::size_t used = 0;
    for (; used < text.size(); ++used) {
        const int digit = digitValue(text[used], base);
        if (digit < 0) break;
        number = number * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (number > limit) return std::nullopt;
    }
    if (used == 0) return std::nullopt;
    text.remove_prefix(used);
    return number;
}

std::vector<std::uint8_t> littleEndian(std::uint32_t number) {
    return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
}

}  // namespace

std::optional<ConvertedPath> convertPath(std::string_view gbkPath) {
    const std::size_t first = findFirstBackslash(gbkPath);
    if (first == std::string_view::npos) return std::nullopt;
    return ConvertedPath{rootNamed(gbkPath.substr(0, first)), std::string(gbkPath.substr(first + 1))};
}

std::optional<RegistryEntry> resolveRegistryEntry(std::string_view gbkPath) {
    const auto converted = convertPath(gbkPath);
    if (!converted) return std::nullopt;
    const std::string_view rest = converted->rest;
    const std::size_t last = text::findLastBackslash(rest);
    if (last == std::string_view::npos) return RegistryEntry{converted->root, u"", text::gbkToUtf16(rest)};
    return RegistryEntry{converted->root, withoutEmptyNames(text::gbkToUtf16(rest.substr(0, last))),
                         text::gbkToUtf16(rest.substr(last + 1))};
}

std::optional<std::uint32_t> parseDwordText(std::string_view gbkText) {
    constexpr std::uint64_t kMaxDword = 0xFFFFFFFFu;
    constexpr std::uint64_t kMaxNegative = 0x80000000u;  // -2147483648
    std::string_view text = trimBlanks(gbkText);

    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        const auto number = takeNumber(text, 16, kMaxDword);
        if (!number || !text.empty()) return std::nullopt;
        return static_cast<std::uint32_t>(*number);
    }

    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    const auto number = takeNumber(text, 10, negative ? kMaxNegative : kMaxDword);
    if (!number) return std::nullopt;
    if (!text.empty() && text.front() == '.') {  // a fraction of zeros only
        text.remove_prefix(1);
        while (!text.empty() && text.front() == '0') text.remove_prefix(1);
    }
    if (!text.empty()) return std::nullopt;
    return negative ? static_cast<std::uint32_t>(kMaxDword + 1 - *number) : static_cast<std::uint32_t>(*number);
}

std::optional<RegistryWrite> prepareRegistryWrite(std::string_view gbkPath, std::string_view gbkValue,
                                                  std::string_view typeCode) {
    auto entry = resolveRegistryEntry(gbkPath);
    if (!entry) return std::nullopt;
    RegistryWrite write{std::move(*entry), registry::ValueKind::String, {}};
    if (typeCode == scheme::kBinaryCode) {
        write.type = registry::ValueKind::Binary;
        write.data.assign(gbkValue.begin(), gbkValue.end());
    } else if (typeCode == scheme::kDwordCode) {
        const auto number = parseDwordText(gbkValue);
        if (!number) return std::nullopt;
        write.type = registry::ValueKind::Dword;
        write.data = littleEndian(*number);
    } else {
        write.data = registry::stringValueData(text::gbkToUtf16(gbkValue));
    }
    return write;
}

registry::Change applyRegistryWrite(registry::Registry& registry, const RegistryWrite& write) {
    const registry::Key key = registry::openOrCreate(registry, write.entry.root, write.entry.subKey);
    if (!key) return key.wasDenied() ? registry::Change::Denied : registry::Change::Failed;
    return registry.setValue(key, write.entry.valueName, write.type, write.data) ? registry::Change::Done
                                                                                 : registry::Change::Failed;
}

registry::Existence lookUpRegistryEntry(registry::Registry& registry, std::string_view gbkPath) {
    const auto entry = resolveRegistryEntry(gbkPath);
    if (!entry) return registry::Existence::Absent;
    return registry.valueExists(entry->root, entry->subKey, entry->valueName);
}

bool registryEntryExists(registry::Registry& registry, std::string_view gbkPath) {
    return lookUpRegistryEntry(registry, gbkPath) == registry::Existence::Present;
}

}  // namespace lz::steps
