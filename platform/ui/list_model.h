// Rows of a report-style list view, kept by the program rather than by the control, so that a
// list of 100,000 scheme lines costs one string per cell and nothing more. Both window backends
// keep their list views' rows in this form.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lz::ui {

class ListModel {
public:
    explicit ListModel(int columns = 1) : columns_(columns < 1 ? 1 : columns) {}

    int columns() const { return columns_; }
    int rows() const { return static_cast<int>(cells_.size() / static_cast<size_t>(columns_)); }
    bool validRow(int row) const { return row >= 0 && row < rows(); }

    // Missing cells are empty; extra cells beyond the column count are dropped.
    void append(std::vector<std::string> cells);
    void appendFirstCells(std::vector<std::string> firstCells);
    const std::string& cell(int row, int column) const;
    bool set(int row, int column, std::string_view text);
    bool remove(int row);
    void clear() { cells_.clear(); }

private:
    int columns_;
    std::vector<std::string> cells_;  // row-major
};

// The selection after a row was removed: the removed row loses it, later rows move up.
inline int selectionAfterRemoval(int selected, int removed) {
    if (selected == removed) return -1;
    return selected > removed ? selected - 1 : selected;
}

}  // namespace lz::ui
