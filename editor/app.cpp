#include "editor/app.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "editor/association.h"
#include "editor/layouts.h"
#include "editor/reg_export.h"
#include "editor/reg_import.h"
#include "platform/cmdline.h"
#include "platform/text.h"
#include "platform/undo_files.h"
#include "regfile/writer.h"
#include "scheme/scheme.h"

namespace lz::editor {

namespace {

using ui::Event;

using main_window::kSchemeName;
using main_window::kSteps;

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
    w.setText(kSchemeName, state.loadedNameShown);
}

// The scheme name as it is saved: the bytes read, while the box still shows them.
std::string schemeName(ui::Window& w, const EditorState& state) {
    const std::string shown = w.text(kSchemeName);
    return shown == state.loadedNameShown && !shown.empty() ? state.loadedNameGbk : text::utf8ToGbk(shown);
}

std::vector<std::string> listedRows(ui::Window& w) {
    std::vector<std::string> rows(static_cast<std::size_t>(w.rowCount(kSteps)));
    for (std::size_t r = 0; r < rows.size(); ++r) rows[r] = w.cell(kSteps, static_cast<int>(r), 0);
    return rows;
}

// The file's bytes: every row exactly as listed, then the scheme name.
std::string composeFile(ui::Window& w, const EditorState& state) {
    return scheme::serialize(listedRows(w), schemeName(w, state));
}

// Whether a path names a registry file: it ends in ".reg", in any case.
bool isRegPath(std::string_view path) {
    constexpr std::string_view kExtension = ".reg";
    if (path.size() < kExtension.size()) return false;
    const std::string_view tail = path.substr(path.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

// A file's name without its folder and its extension.
std::string_view fileStem(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    std::string_view name = slash == path.npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == name.npos || dot == 0 ? name : name.substr(0, dot);
}

// Imports a .reg file after the rows already listed. The scheme now holds steps of no scheme
// file, so "保存文件" has no file to write (it never writes scheme bytes into a .reg file).
void importRegFile(ui::Window& w, EditorState& state, Services& s, const std::string& path) {
    std::optional<std::string> bytes = s.files.readAll(path);
    if (!bytes) {
        w.messageBox(kRegUnreadableMessage);
        return;
    }
    RegImport imported = importRegistryFile(*bytes);
    bytes.reset();
    if (!imported.isRegistryFile) {
        w.messageBox(kNotARegFileMessage);
        return;
    }
    state.currentPath.reset();
    state.held = files::HeldFile();
    // The rows go in as views of one text, as the rows of an opened scheme do.
    std::string joined;
    for (const std::string& row : imported.rows) joined.append(row);
    auto text = std::make_shared<const std::string>(std::move(joined));
    std::vector<std::string_view> rows;
    rows.reserve(imported.rows.size());
    for (std::size_t start = 0; const std::string& row : imported.rows) {
        rows.push_back(std::string_view(*text).substr(start, row.size()));
        start += row.size();
    }
    w.appendLines(kSteps, std::move(text), std::move(rows));
    state.loadedNameGbk.clear();
    state.loadedNameShown.clear();
    w.setText(kSchemeName, fileStem(path));

    // The whole list of what was left out goes beside the file, where the user can read it.
    const std::string listPath = path + ".txt";
    const bool listSaved =
        imported.leftOut.empty() || s.files.writeAll(listPath, "\xEF\xBB\xBF" + describeLeftOut(imported.leftOut));
    w.messageBox(importedMessage(imported.rows.size(), imported.leftOut, listPath, listSaved));
}

// Opens a scheme, or imports a registry file.
void open(ui::Window& w, EditorState& state, Services& s, std::string path) {
    if (isRegPath(path)) {
        importRegFile(w, state, s, path);
        return;
    }
    state.currentPath = std::move(path);
    loadScheme(w, state, s, *state.currentPath);
}

void openFromCommandLine(ui::Window& w, EditorState& state, Services& s) {
    // The path stays in Unicode all the way to the file calls: narrowed to GBK, a character
    // GBK cannot hold would become "?" and name a file that is not there.
    std::optional<std::string> path = cmdline::firstArgument(s.process.commandLine());
    if (path) open(w, state, s, std::move(*path));
}

void openFile(ui::Window& w, EditorState& state, Services& s) {
    std::optional<std::string> path = w.showFileDialog(main_window::kOpenDialog);
    if (path) open(w, state, s, std::move(*path));
}

void save(ui::Window& w, EditorState& state, Services& s) {
    if (!state.currentPath) {
        w.messageBox(kNoFileMessage);
        return;
    }
    state.held.close();
    w.messageBox(s.files.writeAll(*state.currentPath, composeFile(w, state)) ? kSavedMessage : kWriteFailedMessage);
}

// "另存为": the scheme file, or, for a name ending in ".reg", the registry file that makes the
// scheme's changes.
void saveAs(ui::Window& w, EditorState& state, Services& s) {
    const std::string bytes = composeFile(w, state);
    std::optional<std::string> path = w.showFileDialog(main_window::kSaveAsDialog);
    if (!path) return;
    if (!isRegPath(*path)) {
        w.messageBox(s.files.writeAll(*path, bytes) ? kSavedMessage : kWriteFailedMessage);
        return;
    }
    const RegExport exported = exportScheme(listedRows(w), schemeName(w, state));
    w.messageBox(s.files.writeAll(*path, exported.fileBytes) ? exportedMessage(exported.leftOut) : kWriteFailedMessage);
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
    if (entry == "二进制数值") return std::string(scheme::kBinaryCode);
    if (entry == "双字节值") return std::string(scheme::kDwordCode);
    return std::string(scheme::kStringCode);
}

void setValueInputs(ui::Window& w, bool on) {
    w.setEnabled(add_step_window::kValueBox, on);
    w.setEnabled(add_step_window::kTypeList, on);
}

// The first few entries of a list, and "……" when there are more.
std::string firstFew(std::span<const LeftOut> leftOut) {
    constexpr std::size_t kShown = 5;
    std::string text = describeLeftOut(leftOut.first(std::min(kShown, leftOut.size())));
    if (leftOut.size() > kShown) text += "……\r\n";
    return text;
}

}  // namespace

std::string importedMessage(std::size_t steps, std::span<const LeftOut> leftOut, std::string_view listPath,
                            bool listSaved) {
    std::string text = "已导入 " + std::to_string(steps) + " 个步骤。";
    if (leftOut.empty()) return text;
    text += "\r\n有 " + std::to_string(leftOut.size()) + " 项方案无法表示，未导入：\r\n" + firstFew(leftOut);
    text += listSaved ? "完整列表已保存到 " : "完整列表无法保存到 ";
    return text.append(listPath);
}

std::string exportedMessage(std::span<const LeftOut> leftOut) {
    if (leftOut.empty()) return kSavedMessage;
    return std::string(kSavedMessage) + "有 " + std::to_string(leftOut.size()) +
           " 个步骤优化程序不会执行，未写入注册表文件（文件中的注释写明了原因）：\r\n" + firstFew(leftOut);
}

ui::Handlers mainWindowHandlers(EditorState& state, Services services) {
    using namespace main_window;
    ui::Handlers h;
    h.onCreated([&state, services](ui::Window& w) mutable {
        openFromCommandLine(w, state, services);
        state.typeCode = scheme::kBinaryCode;
    });
    h.on(kAddStep, Event::Clicked,
         [&state](ui::Window& w) { w.openModal(addStepWindowLayout(), addStepHandlers(state, w)); });
    h.on(kDeleteStep, Event::Clicked, [](ui::Window& w) { deleteStep(w); });
    h.on(kCopyStep, Event::Clicked, [services](ui::Window& w) mutable { copyStep(w, services); });
    h.on(kOpen, Event::Clicked, [&state, services](ui::Window& w) mutable { openFile(w, state, services); });
    h.on(kSave, Event::Clicked, [&state, services](ui::Window& w) mutable { save(w, state, services); });
    h.on(kSaveAs, Event::Clicked, [&state, services](ui::Window& w) mutable { saveAs(w, state, services); });
    h.on(kAssociate, Event::Clicked, [services](ui::Window& w) mutable { associate(w, services); });
    return h;
}

ui::Handlers addStepHandlers(EditorState& state, ui::Window& main) {
    using namespace add_step_window;
    ui::Handlers h;
    // Every opening starts in delete mode.
    h.onCreated([](ui::Window& w) {
        w.setText(kValueBox, kDeleteModeText);
        setValueInputs(w, false);
    });
    h.on(kWriteChoice, Event::Clicked, [](ui::Window& w) { setValueInputs(w, true); });
    h.on(kDeleteChoice, Event::Clicked, [](ui::Window& w) { setValueInputs(w, false); });
    h.on(kTypeList, Event::Selected, [&state](ui::Window& w) { state.typeCode = typeCodeOf(w.text(kTypeList)); });
    h.on(kAddRegistryStep, Event::Clicked, [&state, &main](ui::Window& w) {
        const std::string path = text::utf8ToGbk(w.text(kPathBox));
        std::string line = w.checked(kWriteChoice)
                               ? scheme::composeWrite(path, text::utf8ToGbk(w.text(kValueBox)), state.typeCode)
                               : scheme::composeDelete(path);
        main.appendRow(kSteps, {std::move(line)});
        w.close();
    });
    h.on(kAddHint, Event::Clicked, [&main](ui::Window& w) {
        main.appendRow(kSteps, {scheme::composeHint(text::utf8ToGbk(w.text(kHintBox)))});
        w.close();
    });
    return h;
}

}  // namespace lz::editor
