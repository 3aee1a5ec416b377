#include "optimizer/undo.h"

#include <algorithm>
#include <array>

#include "platform/text.h"
#include "regfile/writer.h"

namespace lz::optimizer {
namespace {

using registry::Existence;
using registry::Root;
using registry::Value;
using registry::ValueKind;

constexpr std::size_t kMaxValueNameLength = 16383;  // units, as in the real registry
constexpr std::size_t kMaxFileNameLength = 255;     // units of one file name

bool registryRefuses(const steps::RegistryEntry& entry) {
    return !registry::isValidKeyPath(entry.subKey) || entry.valueName.size() > kMaxValueNameLength ||
           entry.valueName.find(u'\0') != entry.valueName.npos;
}

regfile::Data dataOf(const Value& value) {
    return {static_cast<std::uint32_t>(value.type), value.data};
}

// String data of an odd number of bytes, written as hex(1), hex(2) or hex(7). Wine's importer
// cuts the last byte of such data and stops the whole import at data of a single byte; the
// values it is given after that one would be lost.
bool isFragile(const Value& value) {
    const bool string = value.type == ValueKind::String || value.type == ValueKind::ExpandString ||
                        value.type == ValueKind::MultiString;
    return string && value.data.size() % 2 != 0;
}

// `"name"=data` for a value as it was, `...=-` for a value that was not there.
std::u16string valueLine(std::u16string_view name, const std::optional<Value>& previous) {
    return previous ? regfile::valueLine(name, dataOf(*previous)) : regfile::deleteValueLine(name);
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

// ---- Reading the state before a change -----------------------------------------------------

std::optional<PreviousState> readPreviousState(registry::Registry& registry, const steps::RegistryEntry& entry) {
    const registry::PathState path = registry::firstMissingKey(registry, entry.root, entry.subKey);
    switch (path.existence) {
        case Existence::Failed:
            return std::nullopt;
        case Existence::Absent:
            return PreviousState{std::nullopt, path.firstMissing};  // the write creates the key
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

std::size_t KeySnapshot::valueCount() const {
    std::size_t count = 0;
    for (const Key& key : keys) count += key.values.size();
    return count;
}

std::optional<KeySnapshot> readKeySnapshot(registry::Registry& registry, Root root, std::u16string_view subKey) {
    KeySnapshot snapshot;
    // Keys are read in the order they are listed here; each key's subkeys follow it.
    std::vector<std::u16string> pending{std::u16string(subKey)};
    while (!pending.empty()) {
        std::u16string path = std::move(pending.back());
        pending.pop_back();
        registry::KeyContents contents = registry.readKey(root, path);
        if (contents.existence != Existence::Present) return std::nullopt;
        for (auto name = contents.subKeys.rbegin(); name != contents.subKeys.rend(); ++name)
            pending.push_back(path + u'\\' + *name);
        snapshot.keys.push_back({std::move(path), std::move(contents.values)});
    }
    return snapshot;
}

// ---- The record ----------------------------------------------------------------------------

bool UndoRecord::isAtOrBelowCreated(Root root, const std::u16string& foldedKey) const {
    if (createdKeys_.empty()) return false;
    for (std::size_t end = foldedKey.find(u'\\');; end = foldedKey.find(u'\\', end + 1)) {
        if (createdKeys_.contains({root, foldedKey.substr(0, end)})) return true;
        if (end == std::u16string::npos) return false;
    }
}

void UndoRecord::add(Change change) {
    if (change.value) notedValues_.insert(*change.value);
    if (change.created) createdKeys_.insert(*change.created);
    changes_.push_back(std::move(change));
}

bool UndoRecord::note(const steps::RegistryEntry& entry, const PreviousState& previous) {
    Change change;
    // The key the write creates, unless a key above it was created already or it cannot be made.
    if (previous.createdKey && registry::isValidKeyPath(*previous.createdKey)) {
        KeyId id{entry.root, registry::foldedName(*previous.createdKey)};
        if (!isAtOrBelowCreated(id.first, id.second)) {
            if (!regfile::fitsOnALine(*previous.createdKey)) return false;
            change.sections.push_back({registry::keyPath(entry.root, *previous.createdKey), {}, true, false});
            change.created = std::move(id);
        }
    }

    // The value, when this is its first note. It needs a note of its own only where its key is
    // there before the change, and only when the registry takes its names at all.
    ValueId valueId{entry.root, registry::foldedName(entry.subKey), registry::foldedName(entry.valueName)};
    if (!previous.createdKey && !registryRefuses(entry) && !notedValues_.contains(valueId) &&
        !isAtOrBelowCreated(entry.root, std::get<1>(valueId))) {
        if (!regfile::fitsOnALine(entry.subKey) || !regfile::fitsOnALine(entry.valueName)) return false;
        change.sections.push_back({registry::keyPath(entry.root, entry.subKey),
                                   {valueLine(entry.valueName, previous.value)},
                                   false,
                                   previous.value && isFragile(*previous.value)});
        change.value = std::move(valueId);
    }
    if (!change.sections.empty()) add(std::move(change));
    return true;
}

bool UndoRecord::note(Root root, const KeySnapshot& snapshot) {
    if (snapshot.keys.empty() || isAtOrBelowCreated(root, registry::foldedName(snapshot.keys.front().path)))
        return true;  // the key was not there before the run: its deletion undoes it all
    Change change;
    for (const KeySnapshot::Key& key : snapshot.keys) {
        if (!regfile::fitsOnALine(key.path)) return false;
        Section plain{registry::keyPath(root, key.path), {}, false, false};
        Section fragile{plain.key, {}, false, true};
        for (const registry::NamedValue& value : key.values) {
            if (!regfile::fitsOnALine(value.name)) return false;
            (isFragile(value.value) ? fragile : plain).lines.push_back(valueLine(value.name, value.value));
        }
        // The plain section goes in even without a value: its header makes the key.
        change.sections.push_back(std::move(plain));
        if (!fragile.lines.empty()) change.sections.push_back(std::move(fragile));
    }
    add(std::move(change));
    return true;
}

void UndoRecord::rollBack(const Mark& mark) {
    while (changes_.size() > mark.changes) {
        const Change& last = changes_.back();
        if (last.value) notedValues_.erase(*last.value);
        if (last.created) createdKeys_.erase(*last.created);
        changes_.pop_back();
    }
}

std::u16string UndoRecord::text() const {
    regfile::Writer writer;
    const auto write = [&](bool fragile) {
        for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) {
            for (const Section& section : change->sections) {
                if (section.fragile != fragile) continue;
                if (section.deletion) {
                    writer.deleteKey(section.key);
                    continue;
                }
                writer.section(section.key);  // a section without values still makes its key
                for (const std::u16string& line : section.lines) writer.line(line);
            }
        }
    };
    write(false);
    write(true);
    return writer.text();
}

std::string UndoRecord::fileBytes() const {
    return regfile::fileBytes(text());
}

// ---- The file ------------------------------------------------------------------------------

std::string undoFileName(std::string_view schemeFileName, const clock::LocalTime& start, int attempt) {
    const std::string tail = " " + undo_files::timeStamp(start) + undo_files::attemptSuffix(attempt) + ".reg";
    return cutToUnits(stemOf(schemeFileName), kMaxFileNameLength - tail.size()) + tail;
}

UndoJournal::UndoJournal(files::Files& files, std::vector<std::string> folders, std::string schemeFileName,
                         clock::LocalTime start)
    : files_(files), folders_(std::move(folders)), schemeFileName_(std::move(schemeFileName)), start_(start) {}

bool UndoJournal::recordBefore(registry::Registry& registry, const steps::RegistryEntry& entry) {
    const std::optional<PreviousState> previous = readPreviousState(registry, entry);
    if (!previous) return false;
    const UndoRecord::Mark before = record_.mark();
    return record_.note(entry, *previous) && keep(before);
}

bool UndoJournal::recordBefore(registry::Root root, const KeySnapshot& snapshot) {
    const UndoRecord::Mark before = record_.mark();
    return record_.note(root, snapshot) && keep(before);
}

bool UndoJournal::keep(const UndoRecord::Mark& before) {
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
    std::optional<std::string> path = undo_files::writeNewFile(
        files_, folders_, [this](int attempt) { return undoFileName(schemeFileName_, start_, attempt); }, bytes);
    if (!path) return false;
    path_ = std::move(*path);
    return true;
}

}  // namespace lz::optimizer
