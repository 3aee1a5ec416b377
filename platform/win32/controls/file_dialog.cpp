// Open-file dialogs: no window area of their own; shown on demand, owned by the window.
// clang-format off
#include <windows.h>
#include <commdlg.h>
// clang-format on

#include <algorithm>
#include <vector>

#include "platform/text.h"
#include "platform/win32/controls/control.h"
#include "platform/win32/system_library.h"

namespace lz::win32::controls {
namespace {

// A double-NUL separated filter from the "description|pattern|..." form of the layout.
std::wstring dialogFilter(std::string_view filter) {
    std::wstring f = text::toWide(filter);
    std::replace(f.begin(), f.end(), L'|', L'\0');
    f.push_back(L'\0');
    f.push_back(L'\0');
    return f;
}

class FileDialog final : public Control {
public:
    using Control::Control;

    bool create() override { return false; }  // nothing to make before it is shown
    // The dialog's title.
    std::string text() const override { return layout().text; }
    void setText(std::string_view) override {}
    std::optional<std::string> showDialog() override;

protected:
    WindowClass windowClass() const override { return {}; }
};

std::optional<std::string> FileDialog::showDialog() {
    const ui::ControlLayout& c = layout();
    const std::wstring filter = dialogFilter(c.filter);
    const std::wstring title = text::toWide(c.text);
    // The dialog appends the extension itself, with its own dot.
    std::wstring extension = text::toWide(c.defaultExtension);
    if (!extension.empty() && extension.front() == L'.') extension.erase(0, 1);
    std::vector<wchar_t> path(32768, L'\0');

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = host_.hwnd();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path.data();
    ofn.nMaxFile = static_cast<DWORD>(path.size());
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    if (c.fileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
    if (c.pathMustExist) ofn.Flags |= OFN_PATHMUSTEXIST;
    if (c.promptCreate) ofn.Flags |= OFN_CREATEPROMPT;
    // The dialog and what it needs are loaded when it is first shown.
    static const auto open = systemFunction<decltype(&::GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
    if (!open) return std::nullopt;
    useOle();  // the dialog's shell view wants it; without it the dialog still opens
    if (!open(&ofn)) return std::nullopt;
    return text::fromWide(path.data());
}

}  // namespace

std::unique_ptr<Control> makeFileDialog(Host& host, const ui::ControlLayout& layout, int index) {
    return std::make_unique<FileDialog>(host, layout, index);
}

}  // namespace lz::win32::controls
