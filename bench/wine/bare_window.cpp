// The floor a program's start is measured against: a window program that creates the same
// main window, with the same controls where the same layout table puts them, as plain system
// controls, and does nothing else (no fonts, no handlers, no files, no scaling). Built with
// the programs' own manifest and icon.
//
//   bare_window optimizer|editor
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "editor/layouts.h"
#include "optimizer/layouts.h"
#include "platform/text.h"

namespace {

namespace ui = lz::ui;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

const wchar_t* classOf(ui::ControlKind kind, DWORD& style) {
    switch (kind) {
        case ui::ControlKind::Button:
            return L"Button";
        case ui::ControlKind::Radio:
            style |= BS_AUTORADIOBUTTON;
            return L"Button";
        case ui::ControlKind::Label:
            return L"Static";
        case ui::ControlKind::Edit:
        case ui::ControlKind::RichEdit:
            style |= WS_BORDER;
            return L"Edit";
        case ui::ControlKind::ListView:
            style |= LVS_REPORT | LVS_OWNERDATA | WS_BORDER;
            return WC_LISTVIEWW;
        case ui::ControlKind::ComboBox:
            style |= CBS_DROPDOWNLIST;
            return WC_COMBOBOXW;
        case ui::ControlKind::Tab:
            return WC_TABCONTROLW;
        case ui::ControlKind::FileDialog:
        case ui::ControlKind::Browser:
            break;
    }
    return nullptr;
}

void createControls(HWND window, const ui::WindowLayout& layout) {
    for (size_t i = 0; i < layout.controls.size(); ++i) {
        const ui::ControlLayout& c = layout.controls[i];
        DWORD style = WS_CHILD;
        const wchar_t* cls = classOf(c.kind, style);
        if (!cls) continue;
        if (c.visible && c.page <= 0) style |= WS_VISIBLE;
        const ui::Rect r = layout.clientRect(c);
        HWND control = CreateWindowExW(0, cls, lz::text::toWide(c.text).c_str(), style, r.x, r.y, r.w, r.h, window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(ui::kFirstControlId + i)),
                                       GetModuleHandleW(nullptr), nullptr);
        for (size_t k = 0; control && k < c.columns.size(); ++k) {
            std::wstring header = lz::text::toWide(c.columns[k].header);
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.cx = c.columns[k].width;
            column.pszText = header.data();
            SendMessageW(control, LVM_INSERTCOLUMNW, k, reinterpret_cast<LPARAM>(&column));
        }
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int show) {
    const bool editor = std::wstring(arguments).find(L"editor") != std::wstring::npos;
    const ui::WindowLayout& layout = editor ? lz::editor::mainWindowLayout() : lz::optimizer::mainWindowLayout();

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"LzBareWindow";
    if (!RegisterClassExW(&wc)) return 1;
    HWND window = CreateWindowExW(0, wc.lpszClassName, lz::text::toWide(layout.caption).c_str(),
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                  CW_USEDEFAULT, layout.width, layout.height, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    createControls(window, layout);
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
