#include "platform/ui/list_model.h"

#include "scheme/scheme.h"

namespace lz::ui {

void ListModel::append(std::vector<std::string> cells) {
    cells.resize(static_cast<size_t>(columns_));
    for (std::string& c : cells) cells_.push_back(std::move(c));
}

void ListModel::appendFirstCells(std::vector<std::string> firstCells) {
    if (columns_ == 1 && cells_.empty()) {
        if (viewed_.empty()) {
            cells_ = std::move(firstCells);
            return;
        }
    }
    cells_.reserve(cells_.size() + firstCells.size() * static_cast<size_t>(columns_));
    for (std::string& c : firstCells) {
        cells_.push_back(std::move(c));
        cells_.resize(cells_.size() + static_cast<size_t>(columns_ - 1));
    }
}

void ListModel::appendLines(std::shared_ptr<const std::string> text, std::vector<std::string_view> lines) {
    if (columns_ == 1 && rows() == 0 && text) {
        text_ = std::move(text);
        viewed_ = std::move(lines);
        return;
    }
    // Rows behind others keep their own bytes.
    std::vector<std::string> owned;
    owned.reserve(lines.size());
    for (std::string_view line : lines) owned.emplace_back(line);
    appendFirstCells(std::move(owned));
}

void ListModel::appendAllLines(std::shared_ptr<const void> owner, std::string_view text) {
    if (columns_ == 1 && rows() == 0) {
        text_ = std::move(owner);
        whole_ = text;
        viewed_.clear();
        unsplit_ = scheme::countLines(text);
        return;
    }
    appendLines(nullptr, scheme::splitLines(text));  // behind other rows: copied
}

const std::vector<std::string_view>& ListModel::views() const {
    if (unsplit_) {
        viewed_ = scheme::splitLines(whole_);
        unsplit_ = 0;
    }
    return viewed_;
}

std::string_view ListModel::cell(int row, int column) const {
    if (!validRow(row) || column < 0 || column >= columns_) return {};
    const auto r = static_cast<size_t>(row);
    if (r < viewedRows()) return column == 0 ? views()[r] : std::string_view();
    return cells_[(r - viewedRows()) * static_cast<size_t>(columns_) + static_cast<size_t>(column)];
}

bool ListModel::remove(int row) {
    if (!validRow(row)) return false;
    if (static_cast<size_t>(row) < viewedRows()) {
        views();
        viewed_.erase(viewed_.begin() + row);
        return true;
    }
    row -= static_cast<int>(viewedRows());
    auto first = cells_.begin() + static_cast<std::ptrdiff_t>(row) * columns_;
    cells_.erase(first, first + columns_);
    return true;
}

}  // namespace lz::ui
