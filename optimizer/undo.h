// Undo files: the way back from every registry change of a scheme run.
//
// Before the runner writes or deletes a value it notes what the machine had there: the value's
// type and exact bytes, or that there was none, and the topmost key on the path that a write is
// going to create. Before it deletes a key it notes the whole key: every key below it and every
// value of each. The notes of one run make a .reg file in the form the system's registry editor
// exports and imports (UTF-16LE with a byte-order mark), newest change first, so that importing
// it, by a double click or with `reg import`, undoes the changes one by one back to the state
// from before the run. The file is saved whole, through a temporary file, before each change is
// made: a crash between the two never leaves a change without its way back.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/undo_files.h"
#include "steps/registry_steps.h"

namespace lz::optimizer {

// What a write is about to change, as the registry has it before the write.
struct PreviousState {
    std::optional<registry::Value> value;      // nothing: there was no such value
    std::optional<std::u16string> createdKey;  // the topmost missing key on the path, which the
                                               // write creates together with every key below it
    bool operator==(const PreviousState&) const = default;
};

// Reads the state the write to `entry` is about to change. Nothing when the registry cannot
// tell (no right to read the key, say): then there is no way back, and nothing may be written.
// A path the registry refuses as a name reads as absent: there is nothing there to restore.
std::optional<PreviousState> readPreviousState(registry::Registry& registry, const steps::RegistryEntry& entry);

// A key as it was before it was deleted: the key and every key below it, each with its values.
struct KeySnapshot {
    struct Key {
        std::u16string path;  // below the root, as the registry names it
        std::vector<registry::NamedValue> values;
    };
    std::vector<Key> keys;  // the deleted key first; a key comes before the keys below it
    std::size_t valueCount() const;
};

// Reads `subKey` and everything below it. Nothing when any key of it cannot be read whole (no
// right to read it): then there is no way back, and nothing may be deleted. Nothing as well
// when the key is not there.
std::optional<KeySnapshot> readKeySnapshot(registry::Registry& registry, registry::Root root,
                                           std::u16string_view subKey);

// The notes of one run and the .reg text they make.
//
// Each change is undone by its own lines, and the text gives the changes newest first: an
// importer that runs it from the top takes the changes back in the reverse of the order they
// were made, so any mix of writes and deletes comes back to the state before the run. Notes
// that the older notes make needless are left out: a value keeps its first note (the older one
// is imported last and wins), and nothing at or below a key the run created needs a note (its
// deletion is imported after). String data of an odd number of bytes, which some importers
// cannot take, comes after everything else, so that nothing else is lost with it; the run never
// writes such data, so it is always the machine's own data from before the run, and restoring
// it last is right.
class UndoRecord {
public:
    // Notes the state before a write to `entry`, or before the value it names is deleted. False,
    // with nothing noted, when the note cannot be written in a .reg file (a line break in a name
    // it would have to give).
    bool note(const steps::RegistryEntry& entry, const PreviousState& previous);
    // Notes a key about to be deleted with everything below it. False, with nothing noted, when
    // a name of it cannot be written in a .reg file.
    bool note(registry::Root root, const KeySnapshot& snapshot);

    // The whole .reg text, and the file's bytes: UTF-16LE with a byte-order mark.
    std::u16string text() const;
    std::string fileBytes() const;

    // How far the record has got: a note that could not be saved is taken back to its mark.
    struct Mark {
        std::size_t changes = 0;
        bool operator==(const Mark&) const = default;
    };
    Mark mark() const { return {changes_.size()}; }
    void rollBack(const Mark& mark);

private:
    using ValueId = std::tuple<registry::Root, std::u16string, std::u16string>;  // case-folded
    using KeyId = std::pair<registry::Root, std::u16string>;                     // case-folded
    // Lines under one key: values to put back, or (`deletion`) the key to delete.
    struct Section {
        std::u16string key;  // "HKEY_...\key"
        std::vector<std::u16string> lines;
        bool deletion = false;
        bool fragile = false;  // goes last: some importers stop at it (see undo.cpp)
    };
    // The lines that undo one change, and what it added to the sets.
    struct Change {
        std::vector<Section> sections;
        std::optional<ValueId> value;
        std::optional<KeyId> created;
    };

    bool isAtOrBelowCreated(registry::Root root, const std::u16string& foldedKey) const;
    void add(Change change);

    std::vector<Change> changes_;  // in the order noted
    std::set<ValueId> notedValues_;
    std::set<KeyId> createdKeys_;
};

// The undo file's name for a run: the scheme's file name without ".lzvt", a blank, the start
// time as yyyy-mm-dd HH-MM-SS, " (n)" from the second attempt on, and ".reg". A long scheme
// name is cut so that the whole name stays within the 255 units a file name may have.
std::string undoFileName(std::string_view schemeFileName, const clock::LocalTime& start, int attempt);

// The undo file of one run of a scheme (one opening of the runner window). It is made at the
// run's first write, in the first of the folders that can be written, under a name no other
// file has, and saved whole again before every later write.
class UndoJournal {
public:
    UndoJournal(files::Files& files, std::vector<std::string> folders, std::string schemeFileName,
                clock::LocalTime start);

    // Notes the state before a write to `entry` (or the deletion of the value it names) and
    // saves the record. True when the change may go ahead: the file on disk holds its way back.
    // False, with the record as before, when the state cannot be read or the file cannot be
    // saved in any folder.
    bool recordBefore(registry::Registry& registry, const steps::RegistryEntry& entry);
    // The same before a key is deleted, with the key as read just before.
    bool recordBefore(registry::Root root, const KeySnapshot& snapshot);

    // The undo file, once the run's first write has made it; empty before.
    const std::string& filePath() const { return path_; }

    // For a run that notes the way back from all its changes before it makes the first (the run
    // without windows): the record to note them in, and saving it whole, now, in place of what
    // was saved before. True when the file on disk holds the whole record.
    UndoRecord& record() { return record_; }
    bool saveRecord() { return save(); }

private:
    // Saves what was noted since `before`; takes it back when it cannot be saved.
    bool keep(const UndoRecord::Mark& before);
    bool save();
    bool saveAsNewFile(const std::string& bytes);

    files::Files& files_;
    std::vector<std::string> folders_;
    std::string schemeFileName_;
    clock::LocalTime start_;
    UndoRecord record_;
    UndoRecord::Mark saved_;
    std::string path_;
};

}  // namespace lz::optimizer
