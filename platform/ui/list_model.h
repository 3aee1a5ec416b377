// Rows of a report-style list view, kept by the program rather than by the control. Both
// window backends keep their list views' rows in this form.
//
// A list that is filled from a text in one go (the lines of a scheme file) keeps the text once
// and views it, one row per line: a list of 100,000 scheme lines then costs the file's bytes
// and one view per line, not one string per line. Rows added later are kept as strings of
// their own. A list given a whole text (appendAllLines) only
// counts its lines at first and makes the views when a row is first read, so a scheme whose
// lines are never looked at costs one pass over its bytes.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lz::ui {

class ListModel {
public:
    explicit ListModel(int columns = 1) : columns_(columns < 1 ? 1 : columns) {}

    int columns() const { return columns_; }
    int rows() const { return static_cast<int>(viewedRows() + cells_.size() / static_cast<size_t>(columns_)); }
    bool validRow(int row) const { return row >= 0 && row < rows(); }

    // Missing cells are empty; extra cells beyond the column count are dropped.
    void append(std::vector<std::string> cells);
    void appendFirstCells(std::vector<std::string> firstCells);
    // One row per line; the lines must lie in `text`, which the list then keeps.
    void appendLines(std::shared_ptr<const std::string> text, std::vector<std::string_view> lines);
    // One row per line of the whole text, lines split as scheme::splitLines splits them; the
    // list keeps `owner`, which keeps the text.
    void appendAllLines(std::shared_ptr<const void> owner, std::string_view text);

    // Empty for a cell that does not exist.
    std::string_view cell(int row, int column) const;
    bool remove(int row);

private:
    // The views of the text's lines, made now if they were only counted so far.
    const std::vector<std::string_view>& views() const;
    std::size_t viewedRows() const { return unsplit_ ? unsplit_ : viewed_.size(); }

    int columns_;
    std::shared_ptr<const void> text_;              // what keeps the text the first rows view
    std::string_view whole_;                        // that text, while its lines are only counted
    mutable std::vector<std::string_view> viewed_;  // rows 0 .. viewed_.size()-1 (first column)
    mutable std::size_t unsplit_ = 0;               // or, until they are viewed, how many lines
    std::vector<std::string> cells_;                // the rows after them, row-major
};

// The selection after a row was removed: the removed row loses it, later rows move up.
inline int selectionAfterRemoval(int selected, int removed) {
    if (selected == removed) return -1;
    return selected > removed ? selected - 1 : selected;
}

}  // namespace lz::ui
