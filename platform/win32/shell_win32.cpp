// The shell service on Win32.
#include "platform/win32/shell_win32.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/text.h"
#include "platform/win32/system_library.h"
#include "platform/win32/trace.h"

namespace lz::shell {

bool Win32Shell::openUrl(std::string_view url) {
    const std::wstring address = text::toWide(url);
    // The shell's library is loaded when a page is first opened, not when the program starts.
    static const auto execute = win32::systemFunction<decltype(&::ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
    if (!execute) return false;
    const HINSTANCE result = execute(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    // Values above 32 mean success; smaller ones are error codes.
    const auto code = reinterpret_cast<INT_PTR>(result);
    if (code > 32) return true;
    win32::traceError("ShellExecuteW", static_cast<DWORD>(code), address);
    return false;
}

}  // namespace lz::shell
