// List views of the in-memory window: their rows, in the same model the Win32 list views show,
// and the selected row.
#pragma once

#include "platform/ui/list_model.h"
#include "testing/ui/memory/control.h"

namespace lz::ui::memory {

class ListView final : public Control {
public:
    using Control::Control;

    ListView* list() override { return this; }

    ListModel& rows() { return rows_; }
    const ListModel& rows() const { return rows_; }
    int selectedRow() const { return selected_; }
    // -1, or a row that does not exist, clears the selection.
    void selectRow(int row) { selected_ = rows_.validRow(row) ? row : -1; }
    // Rows after the removed one move up with their selection; the removed one loses it.
    void removeRow(int row) {
        if (rows_.remove(row)) selected_ = selectionAfterRemoval(selected_, row);
    }

private:
    ListModel rows_{static_cast<int>(layout().columns.size())};
    int selected_ = -1;
};

}  // namespace lz::ui::memory
