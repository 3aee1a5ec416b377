// The process service on Win32.
#include "platform/win32/process_win32.h"

#include <windows.h>
// After windows.h:
#include <shlobj.h>

#include <vector>

#include "platform/text.h"
#include "platform/win32/handle.h"
#include "platform/win32/system_library.h"
#include "platform/win32/trace.h"

namespace lz::process {

std::string Win32Process::programDirectory() {
    std::string path = programPath();
    const std::size_t separator = path.find_last_of("\\/");
    if (separator != std::string::npos) path.resize(separator);
    return path;
}

std::string Win32Process::programPath() {
    // The buffer grows until the whole path fits: a path may be longer than MAX_PATH.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            win32::traceLastError("GetModuleFileNameW");
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return text::fromWide(path);
}

std::string Win32Process::localAppDataDirectory() {
    // SHGetFolderPathW is there on every Windows the programs run on; the known-folder call
    // that replaced it is not. The shell's library is loaded when the folder is first needed.
    static const auto folderPath =
        win32::systemFunction<decltype(&::SHGetFolderPathW)>(L"shell32.dll", "SHGetFolderPathW");
    wchar_t path[MAX_PATH] = {};
    if (!folderPath) return {};  // traced where the library failed to load
    const HRESULT result =
        folderPath(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path);
    if (FAILED(result)) {
        win32::traceResult("SHGetFolderPathW", result);
        return {};
    }
    std::wstring folder(path);
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return text::fromWide(folder);
}

std::u16string Win32Process::commandLine() {
    // wchar_t is a UTF-16 unit on Windows: the line is copied unit for unit, unchanged.
    const std::wstring_view line = GetCommandLineW();
    return std::u16string(line.begin(), line.end());
}

bool Win32Process::runDetached(std::string_view commandLine) {
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    const std::wstring wide = text::toWide(commandLine);
    std::vector<wchar_t> buffer(wide.begin(), wide.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        win32::traceLastError("CreateProcessW", wide);
        return false;
    }
    // Not waited for: both handles go at once.
    const win32::UniqueHandle thread(started.hThread);
    const win32::UniqueHandle process(started.hProcess);
    return true;
}

}  // namespace lz::process
