// Report-style list views. Their rows live in a list model the view only shows (the view asks
// for each cell's text as it draws it), so that a list of many thousand lines fills at once.
#pragma once

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/list_model.h"
#include "platform/win32/controls/control.h"

namespace lz::win32::controls {

class ListView final : public Control {
public:
    using Control::Control;

    ListView* list() override { return this; }
    LRESULT onNotify(NMHDR& hdr) override;
    void onDpiChanged() override;

    int rowCount() const { return model_.rows(); }
    void appendRow(std::vector<std::string> cells);
    void appendRows(std::vector<std::string> firstCells);
    void appendLines(std::shared_ptr<const std::string> text, std::vector<std::string_view> lines);
    void appendAllLines(std::shared_ptr<const void> owner, std::string_view text);
    std::string cell(int row, int column) const { return std::string(model_.cell(row, column)); }
    void removeRow(int row);
    int selectedRow() const;

protected:
    WindowClass windowClass() const override;
    void configure() override;

private:
    // Tells the view how many rows there are now.
    void syncCount();
    void fillDisplayText(LVITEMW& item) const;

    ui::ListModel model_{static_cast<int>(layout().columns.size())};
};

}  // namespace lz::win32::controls
