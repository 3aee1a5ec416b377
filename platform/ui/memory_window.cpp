#include "platform/ui/memory_window.h"

#include <stdexcept>

#include "platform/text.h"

namespace lz::ui {

// ---- MemoryDesktop -------------------------------------------------------------------------

MemoryWindow& MemoryDesktop::open(const WindowLayout& layout, Handlers handlers) {
    return create(layout, std::move(handlers), false);
}

MemoryWindow& MemoryDesktop::create(const WindowLayout& layout, Handlers handlers, bool modal) {
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

std::vector<MemoryWindow*> MemoryDesktop::openWindows() const {
    std::vector<MemoryWindow*> result;
    for (const auto& w : windows_)
        if (w->isOpen()) result.push_back(w.get());
    return result;
}

// ---- MemoryWindow --------------------------------------------------------------------------

MemoryWindow::MemoryWindow(MemoryDesktop& desktop, const WindowLayout& layout, Handlers handlers)
    : desktop_(desktop), layout_(layout), handlers_(std::move(handlers)) {
    states_.reserve(layout_.controls.size());
    for (const ControlLayout& c : layout_.controls) {
        State s;
        s.text = c.text;
        s.enabled = c.enabled;
        s.visible = c.visible;
        s.checked = c.checked;
        s.rows = ListModel(static_cast<int>(c.columns.size()));
        states_.push_back(std::move(s));
    }
}

void MemoryWindow::raiseCreated() {
    if (layout_.onCreated) raise({}, Event::Created);
}

const ControlLayout& MemoryWindow::layoutOf(std::string_view control) const {
    const ControlLayout* c = layout_.find(control);
    if (!c) throw std::out_of_range("no control named " + std::string(control) + " in " + layout_.caption);
    return *c;
}

MemoryWindow::State& MemoryWindow::state(std::string_view control) {
    return states_[static_cast<size_t>(&layoutOf(control) - layout_.controls.data())];
}

const MemoryWindow::State& MemoryWindow::state(std::string_view control) const {
    return states_[static_cast<size_t>(&layoutOf(control) - layout_.controls.data())];
}

bool MemoryWindow::reachable(std::string_view control) const {
    if (!open_) return false;
    const ControlLayout& c = layoutOf(control);
    const State& s = state(control);
    if (!s.enabled || !s.visible) return false;
    if (!c.tab.empty() && currentPage(c.tab) != c.page) return false;
    return true;
}

void MemoryWindow::raise(std::string_view control, Event event) {
    if (!control.empty() && !layoutOf(control).binds(event)) return;
    if (const Handler* h = handlers_.find(control, event)) (*h)(*this);
}

// ---- user actions ----

bool MemoryWindow::click(std::string_view control) {
    if (!reachable(control)) return false;
    const ControlLayout& c = layoutOf(control);
    if (c.kind == ControlKind::Radio) setChecked(control, true);
    raise(control, Event::Clicked);
    return true;
}

bool MemoryWindow::mouseDown(std::string_view label) {
    if (!reachable(label)) return false;
    raise(label, Event::MouseDown);
    return true;
}

bool MemoryWindow::pick(std::string_view combo, int item) {
    if (!reachable(combo)) return false;
    const ControlLayout& c = layoutOf(combo);
    if (item < 0 || item >= static_cast<int>(c.items.size())) return false;
    state(combo).selected = item;
    raise(combo, Event::Selected);
    return true;
}

bool MemoryWindow::switchPage(std::string_view tab, int page) {
    if (!reachable(tab)) return false;
    const ControlLayout& c = layoutOf(tab);
    if (page < 0 || page >= static_cast<int>(c.pages.size())) return false;
    if (state(tab).page == page) return true;
    state(tab).page = page;
    raise(tab, Event::PageChanged);
    return true;
}

bool MemoryWindow::type(std::string_view edit, std::string_view utf8) {
    if (!reachable(edit)) return false;
    const ControlLayout& c = layoutOf(edit);
    if (c.readOnly) return false;
    std::string typed(utf8);
    if (c.limit > 0) {
        // The limit counts characters, as the real edit box does (UTF-16 units).
        std::u16string units = text::utf8ToUtf16(typed);
        if (static_cast<int>(units.size()) > c.limit)
            typed = text::utf16ToUtf8(units.substr(0, static_cast<size_t>(c.limit)));
    }
    state(edit).text = typed;
    return true;
}

// ---- Window ----

std::string MemoryWindow::text(std::string_view control) const {
    const ControlLayout& c = layoutOf(control);
    if (c.kind == ControlKind::ComboBox) {
        int i = state(control).selected;
        return i < 0 ? std::string() : c.items[static_cast<size_t>(i)];
    }
    return state(control).text;
}

void MemoryWindow::setText(std::string_view control, std::string_view utf8) {
    state(control).text = utf8;
}
bool MemoryWindow::enabled(std::string_view control) const {
    return state(control).enabled;
}
void MemoryWindow::setEnabled(std::string_view control, bool on) {
    state(control).enabled = on;
}
bool MemoryWindow::visible(std::string_view control) const {
    return state(control).visible;
}
void MemoryWindow::setVisible(std::string_view control, bool on) {
    state(control).visible = on;
}
bool MemoryWindow::checked(std::string_view control) const {
    return state(control).checked;
}

void MemoryWindow::setChecked(std::string_view control, bool on) {
    const ControlLayout& c = layoutOf(control);
    if (on && c.kind == ControlKind::Radio) {
        // A group is a run of consecutive radio buttons in the table.
        int i = layout_.indexOf(control);
        int first = i, last = i;
        while (first > 0 && layout_.controls[static_cast<size_t>(first - 1)].kind == ControlKind::Radio) --first;
        while (last + 1 < static_cast<int>(layout_.controls.size()) &&
               layout_.controls[static_cast<size_t>(last + 1)].kind == ControlKind::Radio)
            ++last;
        for (int k = first; k <= last; ++k) states_[static_cast<size_t>(k)].checked = false;
    }
    state(control).checked = on;
}

int MemoryWindow::selectedItem(std::string_view control) const {
    return state(control).selected;
}
int MemoryWindow::currentPage(std::string_view control) const {
    return state(control).page;
}

void MemoryWindow::setCurrentPage(std::string_view control, int page) {
    if (page >= 0 && page < static_cast<int>(layoutOf(control).pages.size())) state(control).page = page;
}

int MemoryWindow::rowCount(std::string_view list) const {
    return state(list).rows.rows();
}

void MemoryWindow::appendRow(std::string_view list, std::vector<std::string> cells) {
    state(list).rows.append(std::move(cells));
}

void MemoryWindow::appendRows(std::string_view list, std::vector<std::string> firstCells) {
    state(list).rows.appendFirstCells(std::move(firstCells));
}

void MemoryWindow::appendLines(std::string_view list, std::shared_ptr<const std::string> text,
                               std::vector<std::string_view> lines) {
    state(list).rows.appendLines(std::move(text), std::move(lines));
}

void MemoryWindow::appendAllLines(std::string_view list, std::shared_ptr<const void> owner, std::string_view text) {
    state(list).rows.appendAllLines(std::move(owner), text);
}

std::string MemoryWindow::cell(std::string_view list, int row, int column) const {
    return std::string(state(list).rows.cell(row, column));
}

void MemoryWindow::setCell(std::string_view list, int row, int column, std::string_view text) {
    state(list).rows.set(row, column, text);
}

void MemoryWindow::removeRow(std::string_view list, int row) {
    State& s = state(list);
    if (s.rows.remove(row)) s.selected = selectionAfterRemoval(s.selected, row);
}

void MemoryWindow::clearRows(std::string_view list) {
    state(list).rows.clear();
    state(list).selected = -1;
}

int MemoryWindow::selectedRow(std::string_view list) const {
    return state(list).selected;
}

void MemoryWindow::selectRow(std::string_view list, int row) {
    State& s = state(list);
    s.selected = s.rows.validRow(row) ? row : -1;
}

std::optional<std::string> MemoryWindow::showFileDialog(std::string_view dialog) {
    layoutOf(dialog);  // the dialog must exist in this window
    desktop_.dialogsShown.emplace_back(dialog);
    if (desktop_.fileAnswers_.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(desktop_.fileAnswers_.front());
    desktop_.fileAnswers_.pop_front();
    return answer;
}

void MemoryWindow::messageBox(std::string_view text) {
    desktop_.messages.emplace_back(text);
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
