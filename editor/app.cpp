#include "editor/app.h"

#include <string>
#include <vector>

#include "editor/association.h"
#include "editor/layouts.h"
#include "platform/cmdline.h"
#include "platform/text.h"
#include "platform/undo_files.h"
#include "regfile/writer.h"
#include "scheme/scheme.h"

namespace lz::editor {

namespace {

using ui::Event;

constexpr const char* kSteps = "超级列表框1";
constexpr const char* kName = "编辑框2";

// Loads a scheme after the rows already listed. The file is held open when it can be opened
// for reading and writing; otherwise (read-only, say) it is read all the same and not held.
void loadScheme(ui::Window& w, EditorState& state, Services& s, const std::string& path) {
    state.held = files::HeldFile();  // one held file at a time: the one opened last
    std::string content;
    if (std::optional<files::HeldFile> held = s.files.openHeld(path)) {
        content = held->takeContent();
        state.held = std::move(*held);
    } else if (std::optional<std::string> read = s.files.readAll(path)) {
        content = std::move(*read);
    }
    // Every line but the last is a row, kept as its exact bytes; the last line is the name.
    auto text = std::make_shared<const std::string>(std::move(content));
    scheme::EditorScheme loaded = scheme::readForEditor(*text);
    state.loadedNameGbk = std::string(loaded.name);
    w.appendLines(kSteps, std::move(text), std::move(loaded.rows));
    state.loadedNameShown = text::gbkToUtf8(state.loadedNameGbk);
    w.setText(kName, state.loadedNameShown);
}

// The file's bytes: every row exactly as listed, then the scheme name.
std::string composeFile(ui::Window& w, const EditorState& state) {
    const std::string shown = w.text(kName);
    const std::string name = shown == state.loadedNameShown ? state.loadedNameGbk : text::utf8ToGbk(shown);
    std::vector<std::string> rows(static_cast<std::size_t>(w.rowCount(kSteps)));
    for (std::size_t r = 0; r < rows.size(); ++r) rows[r] = w.cell(kSteps, static_cast<int>(r), 0);
    return scheme::serialize(rows, name);
}

void openFromCommandLine(ui::Window& w, EditorState& state, Services& s) {
    // The path stays in Unicode all the way to the file calls: narrowed to GBK, a character
    // GBK cannot hold would become "?" and name a file that is not there.
    std::optional<std::string> path = cmdline::firstArgument(s.process.commandLine());
    if (!path) return;
    state.currentPath = std::move(*path);
    loadScheme(w, state, s, *state.currentPath);
}

void openFile(ui::Window& w, EditorState& state, Services& s) {
    std::optional<std::string> path = w.showFileDialog("通用对话框1");
    if (!path) return;
    state.currentPath = *path;
    loadScheme(w, state, s, *path);
}

void save(ui::Window& w, EditorState& state, Services& s) {
    if (!state.currentPath) {
        w.messageBox(kNoFileMessage);
        return;
    }
    state.held.close();
    w.messageBox(s.files.writeAll(*state.currentPath, composeFile(w, state)) ? kSavedMessage : kWriteFailedMessage);
}

void saveAs(ui::Window& w, EditorState& state, Services& s) {
    const std::string bytes = composeFile(w, state);
    std::optional<std::string> path = w.showFileDialog("通用对话框2");
    if (!path) return;
    w.messageBox(s.files.writeAll(*path, bytes) ? kSavedMessage : kWriteFailedMessage);
}

// "关联方案文件": the four entries are written once their way back is on disk; where it cannot
// be kept, nothing is written and the failure message tells the user how to associate by hand.
void associate(ui::Window& w, Services& s) {
    const std::vector<AssociationEntry> entries = associationEntries(s.process.programPath());
    const std::optional<std::u16string> undo = associationUndoText(s.registry, entries);
    const clock::LocalTime now = s.clock.now();
    const bool kept =
        undo && undo_files::writeNewFile(
                    s.files, undo_files::undoFolders(s.process),
                    [&now](int attempt) { return associationUndoFileName(now, attempt); }, regfile::fileBytes(*undo));
    w.messageBox(kept && writeAssociation(s.registry, entries) ? kAssociatedMessage : kAssociationFailedMessage);
}

void deleteStep(ui::Window& w) {
    const int row = w.selectedRow(kSteps);
    if (row >= 0) w.removeRow(kSteps, row);
}

void copyStep(ui::Window& w, Services& s) {
    const int row = w.selectedRow(kSteps);
    if (row < 0) {
        w.messageBox(kNothingSelectedMessage);
        return;
    }
    // The clipboard gets the characters, so the step pastes correctly into any program.
    const bool copied = s.clipboard.setText(text::gbkToUtf8(w.cell(kSteps, row, 0)));
    w.messageBox(copied ? kCopiedMessage : kCopyFailedMessage);
}

std::string typeCodeOf(const std::string& entry) {
    if (entry == "二进制数值") return "EJZSZ";
    if (entry == "双字节值") return "SZJZ";
    return "ZCZ";
}

void setValueInputs(ui::Window& w, bool on) {
    w.setEnabled("编辑框2", on);
    w.setEnabled("组合框1", on);
}

}  // namespace

ui::Handlers mainWindowHandlers(EditorState& state, Services services) {
    ui::Handlers h;
    h.onCreated([&state, services](ui::Window& w) mutable {
        openFromCommandLine(w, state, services);
        state.typeCode = "EJZSZ";
    });
    h.on("按钮1", Event::Clicked,
         [&state](ui::Window& w) { w.openModal(addStepWindowLayout(), addStepHandlers(state, w)); });
    h.on("按钮2", Event::Clicked, [](ui::Window& w) { deleteStep(w); });
    h.on("按钮3", Event::Clicked, [services](ui::Window& w) mutable { copyStep(w, services); });
    h.on("按钮4", Event::Clicked, [&state, services](ui::Window& w) mutable { openFile(w, state, services); });
    h.on("按钮5", Event::Clicked, [&state, services](ui::Window& w) mutable { save(w, state, services); });
    h.on("按钮6", Event::Clicked, [&state, services](ui::Window& w) mutable { saveAs(w, state, services); });
    h.on("按钮8", Event::Clicked, [services](ui::Window& w) mutable { associate(w, services); });
    return h;
}

ui::Handlers addStepHandlers(EditorState& state, ui::Window& main) {
    ui::Handlers h;
    // Every opening starts in delete mode.
    h.onCreated([](ui::Window& w) {
        w.setText("编辑框2", kDeleteModeText);
        setValueInputs(w, false);
    });
    h.on("单选框2", Event::Clicked, [](ui::Window& w) { setValueInputs(w, true); });
    h.on("单选框1", Event::Clicked, [](ui::Window& w) { setValueInputs(w, false); });
    h.on("选择夹1", Event::PageChanged, [](ui::Window&) {});
    h.on("组合框1", Event::Selected, [&state](ui::Window& w) { state.typeCode = typeCodeOf(w.text("组合框1")); });
    h.on("按钮1", Event::Clicked, [&state, &main](ui::Window& w) {
        const std::string path = text::utf8ToGbk(w.text("编辑框1"));
        std::string line = w.checked("单选框2")
                               ? scheme::composeWrite(path, text::utf8ToGbk(w.text("编辑框2")), state.typeCode)
                               : scheme::composeDelete(path);
        main.appendRow(kSteps, {std::move(line)});
        w.close();
    });
    h.on("按钮2", Event::Clicked, [&main](ui::Window& w) {
        main.appendRow(kSteps, {scheme::composeHint(text::utf8ToGbk(w.text("编辑框3")))});
        w.close();
    });
    return h;
}

}  // namespace lz::editor
