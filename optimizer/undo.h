// Undo files: the way back from every registry write of a scheme run.
//
// Before the runner writes a value it notes what the machine had there: the value's type and
// exact bytes, or that there was none, and the topmost key on the path that the write is going
// to create. The notes of one run make a .reg file in the form the system's registry editor
// exports and imports (UTF-16LE with a byte-order mark), so that importing it, by a double click
// or with `reg import`, puts back the state from before the run. The file is saved whole,
// through a temporary file, before each write is made: a crash between the two never leaves a
// change without its way back.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "optimizer/registry_steps.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"

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
std::optional<PreviousState> readPreviousState(registry::Registry& registry, const RegistryEntry& entry);

// The notes of one run and the .reg text they make.
//
// The text restores every value noted to its first noted state (values are written newest
// first, so where one value was noted under two spellings the oldest note still wins) and then
// deletes every key noted as created, after every section that names it or a key below it (an
// importer creates a key that a section names). String data of an odd number of bytes, which
// some importers cannot take, comes after everything else, so that nothing else is lost with it.
class UndoRecord {
public:
    // Notes the state before a write to `entry`. A value noted before keeps its first note; a
    // value or key at or below a key noted as created needs no note of its own. False, with
    // nothing noted, when the note cannot be written in a .reg file (a line break in a name it
    // would have to give).
    bool note(const RegistryEntry& entry, const PreviousState& previous);

    // The whole .reg text, and the file's bytes: UTF-16LE with a byte-order mark.
    std::u16string text() const;
    std::string fileBytes() const;

    // How far the record has got: a note that could not be saved is taken back to its mark.
    struct Mark {
        std::size_t values = 0, keys = 0;
        bool operator==(const Mark&) const = default;
    };
    Mark mark() const { return {sections_.size(), createdKeys_.size()}; }
    void rollBack(const Mark& mark);

private:
    using ValueId = std::tuple<registry::Root, std::u16string, std::u16string>;  // case-folded
    using KeyId = std::pair<registry::Root, std::u16string>;                     // case-folded
    struct Section {
        std::u16string header;  // "[HKEY_...\key]"
        std::u16string line;    // "name"=data
        bool fragile = false;   // goes last: some importers stop at it (see undo.cpp)
    };

    bool isAtOrBelowCreated(registry::Root root, const std::u16string& foldedKey) const;

    // In the order noted, side by side, with sets to look them up.
    std::vector<ValueId> notedValues_;
    std::vector<Section> sections_;
    std::set<ValueId> notedValueSet_;
    std::vector<KeyId> createdKeys_;
    std::vector<std::u16string> deletions_;  // "[-HKEY_...\key]"
    std::set<KeyId> createdKeySet_;
};

// The folders an undo file may go to, in order: program directory + "\Undo\", then the user's
// local application data + "\LZ Vantor\Undo\" (for a program folder that cannot be written).
std::vector<std::string> undoFolders(process::Process& process);

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

    // Notes the state before a write to `entry` and saves the record. True when the write may go
    // ahead: the file on disk holds its way back. False, with the record as before, when the
    // state cannot be read or the file cannot be saved in any folder.
    bool recordBefore(registry::Registry& registry, const RegistryEntry& entry);

    // The undo file, once the run's first write has made it; empty before.
    const std::string& filePath() const { return path_; }

private:
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
