#include "optimizer/undo.h"

#include <algorithm>
#include <array>

#include "platform/text.h"

namespace lz::optimizer {
namespace {

using registry::Existence;
using registry::Root;
using registry::Value;
using registry::ValueType;

constexpr std::size_t kMaxValueNameLength = 16383;  // units, as in the real registry
constexpr std::size_t kMaxFileNameLength = 255;     // units of one file name
constexpr int kNameAttempts = 100;                  // runs in one second that get a file each
// A hex line is continued with "\" once it reaches this column, as the registry editor does.
constexpr std::size_t kHexLineColumns = 76;

// A section line naming a key: "[HKEY_...\\key]", or "[-HKEY_...\\key]" to delete it.
std::u16string sectionLine(std::u16string_view opening, Root root, std::u16string_view key) {
    std::u16string line(opening);
    const std::string_view name = registry::rootName(root);
    line.append(name.begin(), name.end());  // ASCII
    if (!key.empty()) line.append(u"\\").append(key);
    line += u']';
    return line;
}

// A .reg line ends at a line break, which no name in it can hold.
bool fitsOnALine(std::u16string_view text) {
    return text.find_first_of(u"\r\n") == text.npos;
}

bool registryRefuses(const RegistryEntry& entry) {
    return !registry::isValidKeyPath(entry.subKey) || entry.valueName.size() > kMaxValueNameLength ||
           entry.valueName.find(u'\0') != entry.valueName.npos;
}

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

char16_t unitAt(const std::vector<std::uint8_t>& data, std::size_t index) {
    return static_cast<char16_t>(data[2 * index] | (data[2 * index + 1] << 8));
}

// The units of a string value that a quoted .reg string gives back exactly: an even number of
// bytes ending in one zero unit, and no other zero and no line break before it.
std::optional<std::u16string> plainString(const std::vector<std::uint8_t>& data) {
    if (data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
    const std::size_t units = data.size() / 2 - 1;
    if (unitAt(data, units) != 0) return std::nullopt;
    std::u16string text;
    text.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t c = unitAt(data, i);
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
// continued on the next line with "\" the way the registry editor exports them. `column` is
// where the prefix starts on its line.
void appendHexList(std::u16string& out, std::u16string_view prefix, const std::vector<std::uint8_t>& data,
                   std::size_t column) {
    out += prefix;
    column += prefix.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        appendHex(out, data[i], 2);
        column += 2;
        if (i + 1 == data.size()) break;
        out += u',';
        if (++column >= kHexLineColumns) {
            out += u"\\\r\n  ";
            column = 2;
        }
    }
}

// The right-hand side of `"name"=...` for a value as it was.
void appendData(std::u16string& out, const Value& value, std::size_t column) {
    if (value.type == ValueType::String) {
        if (const auto text = plainString(value.data)) {
            out += quoted(*text);
            return;
        }
    }
    if (value.type == ValueType::Dword && value.data.size() == 4) {
        const std::uint32_t number = static_cast<std::uint32_t>(value.data[0]) | (value.data[1] << 8) |
                                     (value.data[2] << 16) | (static_cast<std::uint32_t>(value.data[3]) << 24);
        out += u"dword:";
        appendHex(out, number, 8);
        return;
    }
    if (value.type == ValueType::Binary) {
        appendHexList(out, u"hex:", value.data, column);
        return;
    }
    std::u16string prefix = u"hex(";
    appendHex(prefix, static_cast<std::uint32_t>(value.type), 1);
    prefix += u"):";
    appendHexList(out, prefix, value.data, column);
}

// String data of an odd number of bytes, written as hex(1), hex(2) or hex(7). Wine's importer
// cuts the last byte of such data and stops the whole import at data of a single byte; the
// values it is given after that one would be lost. Such a value is no section in a key the run
// created (nothing was there before the run), so it may follow the key deletions.
bool isFragile(const Value& value) {
    const bool string = value.type == ValueType::String || value.type == ValueType::ExpandString ||
                        value.type == ValueType::MultiString;
    return string && value.data.size() % 2 != 0;
}

// `"name"=data`, `@=data` for the default value, `...=-` for a value that was not there.
std::u16string valueLine(std::u16string_view name, const std::optional<Value>& previous) {
    std::u16string line = name.empty() ? std::u16string(u"@") : quoted(name);
    line += u'=';
    if (!previous) {
        line += u'-';
    } else {
        appendData(line, *previous, line.size());
    }
    return line;
}

void appendUtf16le(std::string& out, std::u16string_view text) {
    for (char16_t unit : text) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
}

std::string twoDigits(int number) {
    return {static_cast<char>('0' + number / 10 % 10), static_cast<char>('0' + number % 10)};
}

// The scheme's file name without ".lzvt" (in any case, as the catalogue finds it).
std::string_view stemOf(std::string_view schemeFileName) {
    constexpr std::string_view kExtension = ".lzvt";
    if (schemeFileName.size() < kExtension.size()) return schemeFileName;
    const std::string_view tail = schemeFileName.substr(schemeFileName.size() - kExtension.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
        if (c != kExtension[i]) return schemeFileName;
    }
    return schemeFileName.substr(0, schemeFileName.size() - kExtension.size());
}

// The first `units` UTF-16 units of a UTF-8 text, never half a character.
std::string cutToUnits(std::string_view utf8, std::size_t units) {
    std::u16string wide = text::utf8ToUtf16(utf8);
    if (wide.size() <= units) return std::string(utf8);
    wide.resize(units);
    if (!wide.empty() && wide.back() >= 0xD800 && wide.back() <= 0xDBFF) wide.pop_back();
    return text::utf16ToUtf8(wide);
}

}  // namespace

// ---- Reading the state before a write ------------------------------------------------------

std::optional<PreviousState> readPreviousState(registry::Registry& registry, const RegistryEntry& entry) {
    switch (registry.keyExists(entry.root, entry.subKey)) {
        case Existence::Failed:
            return std::nullopt;
        case Existence::Absent:
            // The write creates the key: find the first key on its path that is missing.
            for (std::size_t end = entry.subKey.find(u'\\');; end = entry.subKey.find(u'\\', end + 1)) {
                const std::u16string_view prefix = std::u16string_view(entry.subKey).substr(0, end);
                const Existence existence = registry.keyExists(entry.root, prefix);
                if (existence == Existence::Failed) return std::nullopt;
                if (existence == Existence::Absent) return PreviousState{std::nullopt, std::u16string(prefix)};
                if (end == std::u16string::npos) break;
            }
            break;  // every key is there now, after all: read the value
        case Existence::Present:
            break;
    }
    registry::ValueState state = registry.readValue(entry.root, entry.subKey, entry.valueName);
    switch (state.existence) {
        case Existence::Failed:
            return std::nullopt;
        case Existence::Absent:
            return PreviousState{};
        case Existence::Present:
            break;
    }
    return PreviousState{std::move(state.value), std::nullopt};
}

// ---- The record ----------------------------------------------------------------------------

bool UndoRecord::isAtOrBelowCreated(Root root, const std::u16string& foldedKey) const {
    if (createdKeySet_.empty()) return false;
    for (std::size_t end = foldedKey.find(u'\\');; end = foldedKey.find(u'\\', end + 1)) {
        if (createdKeySet_.contains({root, foldedKey.substr(0, end)})) return true;
        if (end == std::u16string::npos) return false;
    }
}

bool UndoRecord::note(const RegistryEntry& entry, const PreviousState& previous) {
    // The key the write creates, unless a key above it is deleted already or it cannot be made.
    std::optional<KeyId> created;
    if (previous.createdKey && registry::isValidKeyPath(*previous.createdKey)) {
        KeyId id{entry.root, registry::foldedName(*previous.createdKey)};
        if (!isAtOrBelowCreated(id.first, id.second)) {
            if (!fitsOnALine(*previous.createdKey)) return false;
            created = std::move(id);
        }
    }

    // The value, when this is the first write to it. It needs a note of its own only where its
    // key was there before the run, and only when the registry takes its names at all.
    ValueId valueId{entry.root, registry::foldedName(entry.subKey), registry::foldedName(entry.valueName)};
    std::optional<Section> section;
    if (!previous.createdKey && !registryRefuses(entry) && !notedValueSet_.contains(valueId) &&
        !isAtOrBelowCreated(entry.root, std::get<1>(valueId))) {
        if (!fitsOnALine(entry.subKey) || !fitsOnALine(entry.valueName)) return false;
        section = Section{sectionLine(u"[", entry.root, entry.subKey), valueLine(entry.valueName, previous.value),
                          previous.value && isFragile(*previous.value)};
    }

    if (created) {
        deletions_.push_back(sectionLine(u"[-", entry.root, *previous.createdKey));
        createdKeySet_.insert(*created);
        createdKeys_.push_back(std::move(*created));
    }
    if (section) {
        notedValueSet_.insert(valueId);
        notedValues_.push_back(std::move(valueId));
        sections_.push_back(std::move(*section));
    }
    return true;
}

void UndoRecord::rollBack(const Mark& mark) {
    while (sections_.size() > mark.values) {
        notedValueSet_.erase(notedValues_.back());
        notedValues_.pop_back();
        sections_.pop_back();
    }
    while (createdKeys_.size() > mark.keys) {
        createdKeySet_.erase(createdKeys_.back());
        createdKeys_.pop_back();
        deletions_.pop_back();
    }
}

std::u16string UndoRecord::text() const {
    std::u16string text = u"Windows Registry Editor Version 5.00\r\n";
    const auto appendSections = [&](bool fragile) {
        const std::u16string* header = nullptr;
        for (auto it = sections_.rbegin(); it != sections_.rend(); ++it) {
            if (it->fragile != fragile) continue;
            if (header == nullptr || *header != it->header) {
                text.append(u"\r\n").append(it->header).append(u"\r\n");
                header = &it->header;
            }
            text.append(it->line).append(u"\r\n");
        }
    };
    appendSections(false);
    for (const std::u16string& deletion : deletions_) text.append(u"\r\n").append(deletion).append(u"\r\n");
    appendSections(true);
    text += u"\r\n";
    return text;
}

std::string UndoRecord::fileBytes() const {
    const std::u16string content = text();
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + content.size() * 2);
    appendUtf16le(bytes, content);
    return bytes;
}

// ---- The file ------------------------------------------------------------------------------

std::vector<std::string> undoFolders(process::Process& process) {
    std::vector<std::string> folders{process.programDirectory() + "\\Undo\\"};
    const std::string local = process.localAppDataDirectory();
    if (!local.empty()) folders.push_back(local + "\\LZ Vantor\\Undo\\");
    return folders;
}

std::string undoFileName(std::string_view schemeFileName, const clock::LocalTime& start, int attempt) {
    std::string tail(1, ' ');
    tail.append(std::to_string(start.year)).append("-").append(twoDigits(start.month)).append("-");
    tail.append(twoDigits(start.day)).append(" ").append(twoDigits(start.hour)).append("-");
    tail.append(twoDigits(start.minute)).append("-").append(twoDigits(start.second));
    if (attempt > 1) tail.append(" (").append(std::to_string(attempt)).append(")");
    tail.append(".reg");
    return cutToUnits(stemOf(schemeFileName), kMaxFileNameLength - tail.size()) + tail;
}

UndoJournal::UndoJournal(files::Files& files, std::vector<std::string> folders, std::string schemeFileName,
                         clock::LocalTime start)
    : files_(files), folders_(std::move(folders)), schemeFileName_(std::move(schemeFileName)), start_(start) {}

bool UndoJournal::recordBefore(registry::Registry& registry, const RegistryEntry& entry) {
    const std::optional<PreviousState> previous = readPreviousState(registry, entry);
    if (!previous) return false;
    const UndoRecord::Mark before = record_.mark();
    if (!record_.note(entry, *previous)) return false;
    if (!path_.empty() && record_.mark() == saved_) return true;  // nothing new to keep
    if (save()) return true;
    record_.rollBack(before);
    return false;
}

bool UndoJournal::save() {
    const std::string bytes = record_.fileBytes();
    // The run's file is replaced whole; when that fails, the whole record goes to a new file.
    if ((!path_.empty() && files_.writeAll(path_, bytes)) || saveAsNewFile(bytes)) {
        saved_ = record_.mark();
        return true;
    }
    return false;
}

bool UndoJournal::saveAsNewFile(const std::string& bytes) {
    for (const std::string& folder : folders_) {
        if (!files_.makeFolders(folder)) continue;
        for (int attempt = 1; attempt <= kNameAttempts; ++attempt) {
            std::string path = folder + undoFileName(schemeFileName_, start_, attempt);
            const files::Files::NewFile result = files_.writeNew(path, bytes);
            if (result == files::Files::NewFile::Written) {
                path_ = std::move(path);
                return true;
            }
            if (result == files::Files::NewFile::Failed) break;  // this folder cannot be written
        }
    }
    return false;
}

}  // namespace lz::optimizer
