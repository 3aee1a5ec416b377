#include "testing/ui/memory_window.h"

#include <stdexcept>

#include "testing/ui/memory/list_view.h"

namespace lz::ui {

// ---- MemoryDesktop -------------------------------------------------------------------------

MemoryWindow& MemoryDesktop::open(const WindowLayout& layout, Handlers handlers) {
    return create(layout, std::move(handlers), false);
}

MemoryWindow& MemoryDesktop::create(const WindowLayout& layout, Handlers handlers, bool modal) {
    handlers.checkAgainst(layout);
    windows_.push_back(std::make_unique<MemoryWindow>(*this, layout, std::move(handlers)));
    MemoryWindow& w = *windows_.back();
    openings.push_back({layout.caption, modal});
    w.raiseCreated();
    return w;
}

void MemoryDesktop::whenModalOpens(std::function<void(MemoryWindow&)> script) {
    modalScripts_.push_back(std::move(script));
}

void MemoryDesktop::answerFileDialog(std::optional<std::string> path) {
    fileAnswers_.push_back(std::move(path));
}

void MemoryDesktop::answerQuestion(bool yes) {
    questionAnswers_.push_back(yes);
}

std::vector<MemoryWindow*> MemoryDesktop::openWindows() const {
    std::vector<MemoryWindow*> result;
    for (const auto& w : windows_)
        if (w->isOpen()) result.push_back(w.get());
    return result;
}

// ---- MemoryWindow --------------------------------------------------------------------------

MemoryWindow::MemoryWindow(MemoryDesktop& desktop, const WindowLayout& layout, Handlers handlers)
    : desktop_(desktop), layout_(layout), handlers_(std::move(handlers)) {
    controls_.reserve(layout_.controls.size());
    for (size_t i = 0; i < layout_.controls.size(); ++i)
        controls_.push_back(memory::make(layout_, controls_, static_cast<int>(i)));
}

void MemoryWindow::raiseCreated() {
    raise({}, Event::Created);
}

memory::Control& MemoryWindow::at(std::string_view control) const {
    const int id = layout_.idOf(control);  // throws for a name the table does not have
    return *controls_[static_cast<size_t>(id - kFirstControlId)];
}

memory::ListView& MemoryWindow::list(std::string_view control) const {
    if (memory::ListView* l = at(control).list()) return *l;
    throw WrongKind("\"" + std::string(control) + "\" in \"" + layout_.caption + "\" is not a list");
}

bool MemoryWindow::reachable(std::string_view control) const {
    if (!open_) return false;
    const memory::Control& c = at(control);
    if (!c.enabled() || !c.visible()) return false;
    if (!c.layout().tab.empty() && currentPage(c.layout().tab) != c.layout().page) return false;
    return true;
}

// An exception a handler throws stops here, as it does in the Win32 window; it is recorded for
// the test to see.
void MemoryWindow::raise(std::string_view control, Event event) {
    const Handler* h = handlers_.find(control, event);
    if (!h) return;
    try {
        (*h)(*this);
    } catch (const std::exception& e) {
        desktop_.stoppedExceptions.push_back(describeHandler(layout_, control, event) + ": " + e.what());
    } catch (...) {
        desktop_.stoppedExceptions.push_back(describeHandler(layout_, control, event) + ": unknown exception");
    }
}

// ---- user actions ----

bool MemoryWindow::click(std::string_view control) {
    if (!reachable(control)) return false;
    at(control).onClick();
    raise(control, Event::Clicked);
    return true;
}

bool MemoryWindow::mouseDown(std::string_view label) {
    if (!reachable(label)) return false;
    raise(label, Event::MouseDown);
    return true;
}

bool MemoryWindow::pick(std::string_view combo, int item) {
    if (!reachable(combo) || !at(combo).pick(item)) return false;
    raise(combo, Event::Selected);
    return true;
}

bool MemoryWindow::switchPage(std::string_view tab, int page) {
    if (!reachable(tab)) return false;
    memory::Control& c = at(tab);
    const int before = c.currentPage();
    if (!c.setCurrentPage(page)) return false;
    if (page != before) raise(tab, Event::PageChanged);
    return true;
}

bool MemoryWindow::type(std::string_view edit, std::string_view utf8) {
    return reachable(edit) && at(edit).type(utf8);
}

bool MemoryWindow::selectRow(std::string_view list, int row) {
    if (!reachable(list)) return false;
    this->list(list).selectRow(row);
    return true;
}

// ---- Window ----

std::string MemoryWindow::text(std::string_view control) const {
    return at(control).text();
}
void MemoryWindow::setText(std::string_view control, std::string_view utf8) {
    at(control).setText(utf8);
}
bool MemoryWindow::enabled(std::string_view control) const {
    return at(control).enabled();
}
void MemoryWindow::setEnabled(std::string_view control, bool on) {
    at(control).setEnabled(on);
}
bool MemoryWindow::visible(std::string_view control) const {
    return at(control).visible();
}
bool MemoryWindow::checked(std::string_view control) const {
    return at(control).checked();
}
int MemoryWindow::currentPage(std::string_view control) const {
    return at(control).currentPage();
}
void MemoryWindow::setCurrentPage(std::string_view control, int page) {
    at(control).setCurrentPage(page);
}

// ---- list views ----

int MemoryWindow::rowCount(std::string_view control) const {
    return list(control).rows().rows();
}

void MemoryWindow::appendRow(std::string_view control, std::vector<std::string> cells) {
    list(control).rows().append(std::move(cells));
}

void MemoryWindow::appendRows(std::string_view control, std::vector<std::string> firstCells) {
    list(control).rows().appendFirstCells(std::move(firstCells));
}

void MemoryWindow::appendLines(std::string_view control, std::shared_ptr<const std::string> text,
                               std::vector<std::string_view> lines) {
    list(control).rows().appendLines(std::move(text), std::move(lines));
}

void MemoryWindow::appendAllLines(std::string_view control, std::shared_ptr<const void> owner, std::string_view text) {
    list(control).rows().appendAllLines(std::move(owner), text);
}

std::string MemoryWindow::cell(std::string_view control, int row, int column) const {
    return std::string(list(control).rows().cell(row, column));
}

void MemoryWindow::removeRow(std::string_view control, int row) {
    list(control).removeRow(row);
}

int MemoryWindow::selectedRow(std::string_view control) const {
    return list(control).selectedRow();
}

// ---- dialogs and other windows ----

std::optional<std::string> MemoryWindow::showFileDialog(std::string_view dialog) {
    at(dialog);  // the dialog must exist in this window
    desktop_.dialogsShown.emplace_back(dialog);
    if (desktop_.fileAnswers_.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(desktop_.fileAnswers_.front());
    desktop_.fileAnswers_.pop_front();
    return answer;
}

void MemoryWindow::messageBox(std::string_view text) {
    desktop_.messages.emplace_back(text);
}

bool MemoryWindow::ask(std::string_view text) {
    desktop_.questions.emplace_back(text);
    if (desktop_.questionAnswers_.empty()) return false;
    const bool yes = desktop_.questionAnswers_.front();
    desktop_.questionAnswers_.pop_front();
    return yes;
}

void MemoryWindow::openModal(const WindowLayout& layout, Handlers handlers) {
    MemoryWindow& w = desktop_.create(layout, std::move(handlers), true);
    if (w.isOpen() && !desktop_.modalScripts_.empty()) {
        auto script = std::move(desktop_.modalScripts_.front());
        desktop_.modalScripts_.pop_front();
        script(w);
    }
    w.close();
}

Window* MemoryWindow::openModeless(const WindowLayout& layout, Handlers handlers) {
    return &desktop_.create(layout, std::move(handlers), false);
}

void MemoryWindow::exitProgram(int code) {
    desktop_.exitCode = code;
    for (MemoryWindow* w : desktop_.openWindows()) w->close();
}

}  // namespace lz::ui
