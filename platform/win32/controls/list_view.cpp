#include "platform/win32/controls/list_view.h"

#include <algorithm>

#include "platform/text.h"

namespace lz::win32::controls {

WindowClass ListView::windowClass() const {
    DWORD style = LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP | WS_GROUP;
    if (layout().editLabels) style |= LVS_EDITLABELS;
    return {WC_LISTVIEWW, style, WS_EX_CLIENTEDGE, false};
}

void ListView::configure() {
    const ui::ControlLayout& c = layout();
    DWORD ex = LVS_EX_DOUBLEBUFFER;
    if (c.fullRowSelect) ex |= LVS_EX_FULLROWSELECT;
    if (c.gridLines) ex |= LVS_EX_GRIDLINES;
    if (c.flatScrollBars) ex |= LVS_EX_FLATSB;
    send(LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
    for (size_t k = 0; k < c.columns.size(); ++k) {
        std::wstring header = text::toWide(c.columns[k].header);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        col.fmt = LVCFMT_LEFT;
        col.cx = px(c.columns[k].width);
        col.pszText = header.data();
        col.iSubItem = static_cast<int>(k);
        send(LVM_INSERTCOLUMNW, k, reinterpret_cast<LPARAM>(&col));
    }
}

void ListView::onDpiChanged() {
    Control::onDpiChanged();
    if (!handle_) return;
    const std::vector<ui::Column>& columns = layout().columns;
    for (size_t k = 0; k < columns.size(); ++k) send(LVM_SETCOLUMNWIDTH, k, MAKELPARAM(px(columns[k].width), 0));
}

LRESULT ListView::onNotify(NMHDR& hdr) {
    switch (hdr.code) {
        case LVN_GETDISPINFOW:
            fillDisplayText(reinterpret_cast<NMLVDISPINFOW&>(hdr).item);
            return 0;
        case LVN_ENDLABELEDITW:
            // An item's text may be edited in place, but the edit is not kept: each row keeps the
            // name it was listed with, so it always names the file it stands for.
            return FALSE;
        default:
            return 0;
    }
}

void ListView::fillDisplayText(LVITEMW& item) const {
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    const std::string_view cellText = model_.cell(item.iItem, item.iSubItem);
    const std::wstring shown =
        layout().cells == ui::CellEncoding::Gbk ? text::gbkToWide(cellText) : text::toWide(cellText);
    const size_t n = std::min(shown.size(), static_cast<size_t>(item.cchTextMax - 1));
    std::copy_n(shown.begin(), n, item.pszText);
    item.pszText[n] = L'\0';
}

void ListView::syncCount() {
    send(LVM_SETITEMCOUNT, static_cast<WPARAM>(model_.rows()), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    InvalidateRect(handle_, nullptr, FALSE);
}

void ListView::appendRow(std::vector<std::string> cells) {
    model_.append(std::move(cells));
    syncCount();
}

void ListView::appendRows(std::vector<std::string> firstCells) {
    model_.appendFirstCells(std::move(firstCells));
    syncCount();
}

void ListView::appendLines(std::shared_ptr<const std::string> text, std::vector<std::string_view> lines) {
    model_.appendLines(std::move(text), std::move(lines));
    syncCount();
}

void ListView::appendAllLines(std::shared_ptr<const void> owner, std::string_view text) {
    model_.appendAllLines(std::move(owner), text);
    syncCount();
}

void ListView::removeRow(int row) {
    if (model_.remove(row)) send(LVM_DELETEITEM, static_cast<WPARAM>(row));
}

int ListView::selectedRow() const {
    return handle_ ? static_cast<int>(send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
}

std::unique_ptr<Control> makeListView(Host& host, const ui::ControlLayout& layout, int index) {
    return std::make_unique<ListView>(host, layout, index);
}

}  // namespace lz::win32::controls
