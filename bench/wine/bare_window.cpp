// The floor a program's start is measured against: a window program that creates the same
// main window, with the same controls where the same layout table puts them, as plain system
// controls, and does nothing else (no fonts, no handlers, no files, no scaling). Built with
// the programs' own manifest and icon.
//
// With "writes", the floor a run of registry writes is measured against instead: it reads a
// list of values and writes each under HKEY_CURRENT_USER with nothing around it (create or open
// the key, set the value, close the key), and shows no window. The list is UTF-16LE, a line
// a value, "\n" after each line, four fields split by tabs: the key's path below
// HKEY_CURRENT_USER, the value's name, "d" (a DWORD, its data in decimal) or "s" (a string),
// the data. Exit code 0 when every value was written, 1 when one was not (the rest are not
// tried), 2 when the list cannot be read.
//
//   bare_window optimizer|editor
//   bare_window writes LIST
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <string_view>

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

// The whole file as UTF-16 text; false when it cannot be read.
bool readList(const std::wstring& path, std::wstring& text) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    DWORD read = 0;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart % 2 == 0 && size.QuadPart < (1 << 30);
    if (ok) {
        text.resize(static_cast<size_t>(size.QuadPart / 2));
        ok = ReadFile(file, text.data(), static_cast<DWORD>(size.QuadPart), &read, nullptr) && read == size.QuadPart;
    }
    CloseHandle(file);
    return ok;
}

// Each line's tabs and line feed become terminating zeros in place, so that the fields are
// handed to the registry as they lie in the text.
int writeValues(const std::wstring& listPath) {
    std::wstring text;
    if (!readList(listPath, text)) return 2;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(L'\n', at);
        if (end == std::wstring::npos) end = text.size();
        wchar_t* field[4] = {};
        size_t count = 0;
        for (size_t start = at; count < 4 && start <= end; ++count) {
            const size_t tab = std::min(text.find(L'\t', start), end);
            field[count] = text.data() + start;
            if (tab < text.size()) text[tab] = L'\0';
            start = tab + 1;
        }
        if (count < 4) return 2;
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, field[0], 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return 1;
        LSTATUS set;
        if (*field[2] == L'd') {
            const DWORD number = std::wcstoul(field[3], nullptr, 10);
            set = RegSetValueExW(key, field[1], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
        } else {
            const auto bytes = static_cast<DWORD>((std::wcslen(field[3]) + 1) * sizeof(wchar_t));
            set = RegSetValueExW(key, field[1], 0, REG_SZ, reinterpret_cast<const BYTE*>(field[3]), bytes);
        }
        RegCloseKey(key);
        if (set != ERROR_SUCCESS) return 1;
        at = end + 1;
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int show) {
    constexpr std::wstring_view kWrites = L"writes ";
    if (std::wstring_view(arguments).starts_with(kWrites)) {
        std::wstring path(std::wstring_view(arguments).substr(kWrites.size()));
        if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
        return writeValues(path);
    }
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
