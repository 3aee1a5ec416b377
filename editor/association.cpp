#include "editor/association.h"

#include <set>

#include "platform/text.h"
#include "platform/undo_files.h"
#include "regfile/writer.h"

namespace lz::editor {
namespace {

using registry::Existence;
using registry::Root;

}  // namespace

std::vector<AssociationEntry> associationEntries(const std::string& programPath) {
    const std::u16string program = text::utf8ToUtf16(programPath);
    // The open command quotes the program and the document, so paths with blanks reach the
    // editor whole.
    return {
        {u".lzvt", u"lzvtfile"},
        {u"lzvtfile", u"lzvt"},
        {u"lzvtfile\\DefaultIcon", program + u",0"},
        {u"lzvtfile\\shell\\open\\command", u"\"" + program + u"\" \"%1\""},
    };
}

bool writeAssociation(registry::Registry& registry, const std::vector<AssociationEntry>& entries) {
    for (const AssociationEntry& entry : entries)
        if (!registry::writeDefaultString(registry, Root::ClassesRoot, entry.key, entry.value)) return false;
    return true;
}

std::optional<std::u16string> associationUndoText(registry::Registry& registry,
                                                  const std::vector<AssociationEntry>& entries) {
    regfile::Writer writer;
    std::set<std::u16string> deleted;  // folded: a key is deleted once
    // Newest first, as the writes will be undone.
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        const registry::PathState path = registry::firstMissingKey(registry, Root::ClassesRoot, entry->key);
        if (path.existence == Existence::Failed) return std::nullopt;
        if (path.existence == Existence::Absent) {
            if (deleted.insert(registry::foldedName(path.firstMissing)).second)
                writer.deleteKey(registry::keyPath(Root::ClassesRoot, path.firstMissing));
            continue;
        }
        const registry::ValueState value = registry.readValue(Root::ClassesRoot, entry->key, u"");
        if (value.existence == Existence::Failed) return std::nullopt;
        writer.section(registry::keyPath(Root::ClassesRoot, entry->key));
        if (value.existence == Existence::Present) {
            writer.value(u"", {static_cast<std::uint32_t>(value.value.type), value.value.data});
        } else {
            writer.deleteValue(u"");
        }
    }
    return writer.text();
}

std::string associationUndoFileName(const clock::LocalTime& time, int attempt) {
    return "文件关联 " + undo_files::timeStamp(time) + undo_files::attemptSuffix(attempt) + ".reg";
}

}  // namespace lz::editor
