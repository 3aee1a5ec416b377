#include "optimizer/app.h"

#include "optimizer/layouts.h"
#include "optimizer/web_pages.h"

namespace lz::optimizer {

namespace {

constexpr const char* kEditorExe = "lzvtEditor.exe";

std::string quoted(std::string_view s) {
    std::string q;
    q.reserve(s.size() + 2);
    q.append(1, '"').append(s).append(1, '"');
    return q;
}

std::string editorPath(process::Process& process) {
    return process.programDirectory() + "\\" + kEditorExe;
}

std::vector<std::string> findSchemes(Services& s) {
    return s.files.find(schemeFolder(s.process) + "*.lzvt");
}

// bytes / 1024 rounded to a multiple of 1/scale, a tie going to the even multiple: what
// printing the exact quotient with a fixed number of decimals gives, in integers only (the
// floating-point printer would bring over 100 KB of tables into the program).
std::uint64_t roundedKb(std::uint64_t bytes, std::uint64_t scale) {
    const std::uint64_t whole = bytes / 1024 * scale;
    const std::uint64_t rest = bytes % 1024 * scale;  // below 1024 * scale: no overflow
    std::uint64_t q = whole + rest / 1024;
    const std::uint64_t r = rest % 1024;
    if (r > 512 || (r == 512 && q % 2 == 1)) ++q;
    return q;
}

// "启动方案": the selected scheme runs in the runner window; the main window waits for it.
void startScheme(ui::Window& w, ProgramState& state, Services& s) {
    const int row = w.selectedRow(main_window::kSchemeList);
    if (row < 0) {
        w.messageBox(kNoSchemeSelectedMessage);
        return;
    }
    const std::string name = w.cell(main_window::kSchemeList, row, 0);
    const std::string path = schemeFolder(s.process) + name;
    state.run = SchemeRun();
    files::Files& files = s.files;
    UndoJournal undo(files, undo_files::undoFolders(s.process), name, s.clock.now());
    w.openModal(runnerWindowLayout(),
                runnerHandlers(
                    state.run, s.registry, [&files, path] { return files.readKept(path); }, std::move(undo)));
    // The window is gone: the run's steps and the scheme's bytes are let go, so that the file is
    // free to be changed or deleted again.
    state.run = SchemeRun();
}

// "修改方案" and "制作方案". Both paths are quoted, so a program folder with blanks in its
// name reaches the editor whole.
void startEditor(ui::Window& w, Services& s, bool withSelectedScheme) {
    std::string command = quoted(editorPath(s.process));
    if (withSelectedScheme) {
        const int row = w.selectedRow(main_window::kSchemeList);
        const std::string name = row < 0 ? std::string() : w.cell(main_window::kSchemeList, row, 0);
        command.append(" ").append(quoted(schemeFolder(s.process) + name));
    }
    s.process.runDetached(command);  // a missing editor is not reported
}

void fillManagementList(ui::Window& w, ProgramState& state, Services& s) {
    state.schemeNames = findSchemes(s);
    const std::string folder = schemeFolder(s.process);
    for (const std::string& name : state.schemeNames) {
        std::optional<std::int64_t> bytes = s.files.size(folder + name);
        w.appendRow(management_window::kSchemeList, {name, "Optimal", bytes ? sizeInKb(*bytes) : std::string()});
    }
}

// The more-products window, on one of the built-in pages.
ui::Handlers moreProductsHandlers(process::Process& process, std::string_view page) {
    ui::Handlers h;
    h.onCreated([&process, page](ui::Window& w) {
        w.setText(more_products_window::kBrowser, web::builtInPage(process, page));
    });
    return h;
}

// "删除方案": the selected scheme goes to the recycle bin. Where its drive has none, it is deleted
// for good only when the user says yes; on no it stays, and nothing more is said.
void deleteSelectedScheme(ui::Window& w, Services& s) {
    using Recycled = files::Files::Recycled;
    const int row = w.selectedRow(management_window::kSchemeList);
    bool deleted = false;
    // Without a selection there is nothing to delete (the folder itself never is).
    if (row >= 0) {
        const std::string path = schemeFolder(s.process) + w.cell(management_window::kSchemeList, row, 0);
        const Recycled recycled = s.files.recycle(path);
        if (recycled == Recycled::NoBin && !w.ask(kNoRecycleBinQuestion)) return;
        deleted = recycled == Recycled::Recycled || (recycled == Recycled::NoBin && s.files.remove(path));
    }
    w.messageBox(deleted ? kDeletedMessage : kRetryMessage);
    if (deleted) w.removeRow(management_window::kSchemeList, w.selectedRow(management_window::kSchemeList));
}

}  // namespace

std::string schemeFolder(process::Process& process) {
    return process.programDirectory() + "\\Optimal\\";
}

std::string sizeInKb(std::int64_t bytes) {
    const auto size = static_cast<std::uint64_t>(bytes < 0 ? 0 : bytes);
    if (roundedKb(size, 1) == 0) return "1";
    const std::uint64_t tenths = roundedKb(size, 10);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

ui::Handlers mainWindowHandlers(ProgramState& state, Services services) {
    using namespace main_window;
    using ui::Event;
    ui::Handlers h;
    h.onCreated([&state, services](ui::Window& w) mutable {
        // The only time the main list is filled: later changes show after a restart.
        for (std::string& name : findSchemes(services)) state.schemeNames.push_back(std::move(name));
        w.appendRows(kSchemeList, state.schemeNames);
    });
    h.on(kStart, Event::Clicked, [&state, services](ui::Window& w) mutable { startScheme(w, state, services); });
    h.on(kChange, Event::Clicked, [services](ui::Window& w) mutable { startEditor(w, services, true); });
    h.on(kMake, Event::Clicked, [services](ui::Window& w) mutable { startEditor(w, services, false); });
    h.on(kDownload, Event::Clicked, [services](ui::Window&) { services.shell.openUrl(web::kSchemeDownloadBoard); });
    h.on(kManageLink, Event::MouseDown, [&state, services](ui::Window& w) {
        w.openModal(managementWindowLayout(), managementHandlers(state, services));
    });
    for (std::string_view about : {kAboutStudio, kAboutSoftware})
        h.on(about, Event::Clicked, [](ui::Window& w) { w.openModal(aboutWindowLayout(), {}); });
    h.on(kMoreProducts, Event::Clicked, [services](ui::Window& w) {
        w.openModal(moreProductsWindowLayout(), moreProductsHandlers(services.process, web::kProductsPage));
    });
    h.on(kUpcoming, Event::Clicked, [services](ui::Window& w) {
        w.openModeless(moreProductsWindowLayout(), moreProductsHandlers(services.process, web::kUpcomingPage));
    });
    return h;
}

ui::Handlers managementHandlers(ProgramState& state, Services services) {
    using namespace management_window;
    using ui::Event;
    ui::Handlers h;
    h.onCreated([&state, services](ui::Window& w) mutable { fillManagementList(w, state, services); });
    h.on(kHowToInstall, Event::Clicked, [](ui::Window& w) { w.messageBox(kHowToInstallMessage); });
    h.on(kDelete, Event::Clicked, [services](ui::Window& w) mutable { deleteSelectedScheme(w, services); });
    h.on(kExit, Event::Clicked, [](ui::Window& w) { w.close(); });
    return h;
}

}  // namespace lz::optimizer
