// The file-type association: four default values under HKEY_CLASSES_ROOT that make a double
// click on a .lzvt file open it in the editor, and the undo file that puts back what they
// replace.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/registry.h"

namespace lz::editor {

// One default value under HKEY_CLASSES_ROOT.
struct AssociationEntry {
    std::u16string key;
    std::u16string value;
    bool operator==(const AssociationEntry&) const = default;
};

// The four entries, in the order they are written: ".lzvt", "lzvtfile", its icon and its open
// command, for the editor at `programPath`.
std::vector<AssociationEntry> associationEntries(const std::string& programPath);

// Writes the entries in order and stops at the first that fails; entries written before a
// failure stay. True when all were written.
bool writeAssociation(registry::Registry& registry, const std::vector<AssociationEntry>& entries);

// The .reg text that gives back the state before the entries are written: each default value
// as it is now (or its deletion where there is none), and the deletion of the topmost key each
// write would create. Nothing when the registry cannot tell what is there.
std::optional<std::u16string> associationUndoText(registry::Registry& registry,
                                                  const std::vector<AssociationEntry>& entries);

// "文件关联 yyyy-mm-dd HH-MM-SS.reg", with " (n)" before ".reg" from the second attempt on.
std::string associationUndoFileName(const clock::LocalTime& time, int attempt);

}  // namespace lz::editor
