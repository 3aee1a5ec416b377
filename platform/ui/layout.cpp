#include "platform/ui/layout.h"

#include <algorithm>

#include "platform/ui/list_model.h"
#include "platform/ui/window.h"

namespace lz::ui {

bool ControlLayout::binds(Event e) const {
    return std::find(events.begin(), events.end(), e) != events.end();
}

const ControlLayout* WindowLayout::find(std::string_view name) const {
    int i = indexOf(name);
    return i < 0 ? nullptr : &controls[static_cast<size_t>(i)];
}

int WindowLayout::indexOf(std::string_view name) const {
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i].name == name) return static_cast<int>(i);
    return -1;
}

Rect WindowLayout::clientRect(const ControlLayout& c) const {
    Rect r = c.rect;
    if (!c.tab.empty()) {
        if (const ControlLayout* tab = find(c.tab)) {
            r.x += tab->rect.x;
            r.y += tab->rect.y;
        }
    }
    return r;
}

Handlers& Handlers::on(std::string_view control, Event event, Handler handler) {
    entries_.push_back({std::string(control), event, std::move(handler)});
    return *this;
}

const Handler* Handlers::find(std::string_view control, Event event) const {
    for (const Entry& e : entries_)
        if (e.event == event && e.control == control) return &e.handler;
    return nullptr;
}

void ListModel::append(std::vector<std::string> cells) {
    cells.resize(static_cast<size_t>(columns_));
    for (std::string& c : cells) cells_.push_back(std::move(c));
}

void ListModel::appendFirstCells(std::vector<std::string> firstCells) {
    if (columns_ == 1 && cells_.empty()) {
        cells_ = std::move(firstCells);
        return;
    }
    cells_.reserve(cells_.size() + firstCells.size() * static_cast<size_t>(columns_));
    for (std::string& c : firstCells) {
        cells_.push_back(std::move(c));
        cells_.resize(cells_.size() + static_cast<size_t>(columns_ - 1));
    }
}

const std::string& ListModel::cell(int row, int column) const {
    static const std::string empty;
    if (!validRow(row) || column < 0 || column >= columns_) return empty;
    return cells_[static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column)];
}

bool ListModel::set(int row, int column, std::string_view text) {
    if (!validRow(row) || column < 0 || column >= columns_) return false;
    cells_[static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column)] = text;
    return true;
}

bool ListModel::remove(int row) {
    if (!validRow(row)) return false;
    auto first = cells_.begin() + static_cast<std::ptrdiff_t>(row) * columns_;
    cells_.erase(first, first + columns_);
    return true;
}

}  // namespace lz::ui
