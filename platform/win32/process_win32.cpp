// The process service on Win32.
#include "platform/win32/process_win32.h"

#include <windows.h>
// After windows.h:
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "platform/text.h"
#include "platform/win32/handle.h"
#include "platform/win32/system_library.h"
#include "platform/win32/trace.h"

namespace lz::process {

struct Win32Process::ErrorOutput {
    enum class Kind { None, Console, Bytes };
    Kind kind = Kind::None;
    HANDLE handle = nullptr;    // where the text goes: the standard error, or `console`
    win32::UniqueFile console;  // the console's output, when it was opened here
};

namespace {

using ErrorOutput = Win32Process::ErrorOutput;

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != FALSE;
}

// The standard error when it is a console, a file or a pipe; else the console of the program
// that started this one (a command prompt starts a windowed program without a handle of its
// own), attached to now; else a device the standard error names (NUL); else none. None is an
// answer, not a failure: a program started from the desktop has nowhere to write, and is given
// no console of its own either.
void findErrorOutput(ErrorOutput& out) {
    const HANDLE standard = GetStdHandle(STD_ERROR_HANDLE);
    const bool given = standard != nullptr && standard != INVALID_HANDLE_VALUE;
    if (given && isConsole(standard)) {
        out.kind = ErrorOutput::Kind::Console;
        out.handle = standard;
        return;
    }
    // An invalid handle (one the parent named but did not hand down) is of no type.
    const DWORD type = given ? GetFileType(standard) : FILE_TYPE_UNKNOWN;
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
        out.kind = ErrorOutput::Kind::Bytes;
        out.handle = standard;
        return;
    }
    // Refused as "attached already" when the system gave this program its parent's console
    // when it started it (Wine does); the console's output opens all the same then.
    const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
    if (attached || GetLastError() == ERROR_ACCESS_DENIED) {
        out.console.reset(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        if (out.console) {
            out.kind = ErrorOutput::Kind::Console;
            out.handle = out.console.get();
            return;
        }
        if (attached) win32::traceLastError("CreateFileW", L"CONOUT$");
    }
    if (type == FILE_TYPE_CHAR) {
        out.kind = ErrorOutput::Kind::Bytes;
        out.handle = standard;
    }
}

// The prompt of the command prompt that started the program may stand on the console's last
// line already: the text starts on a line of its own.
bool startOnOwnLine(HANDLE console) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(console, &info) || info.dwCursorPosition.X == 0) return true;
    DWORD written = 0;
    if (!WriteConsoleW(console, L"\r\n", 2, &written, nullptr)) {
        win32::traceLastError("WriteConsoleW");
        return false;
    }
    return true;
}

// A console takes UTF-16 and shows every character; the text goes in pieces that keep each
// surrogate pair whole.
bool writeConsole(HANDLE console, std::string_view utf8Text) {
    const std::wstring text = text::toWide(utf8Text);
    constexpr std::size_t kPiece = 8192;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t size = std::min(kPiece, text.size() - pos);
        if (pos + size < text.size() && IS_HIGH_SURROGATE(text[pos + size - 1])) --size;
        DWORD written = 0;
        if (!WriteConsoleW(console, text.data() + pos, static_cast<DWORD>(size), &written, nullptr) || written == 0) {
            win32::traceLastError("WriteConsoleW");
            return false;
        }
        pos += written;
    }
    return true;
}

// A file or a pipe gets the bytes as they are.
bool writeBytes(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), size, &written, nullptr) || written == 0) {
            win32::traceLastError("WriteFile", L"standard error");
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

Win32Process::Win32Process() = default;
Win32Process::~Win32Process() = default;

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

bool Win32Process::writeError(std::string_view utf8Text) {
    if (!errorOutput_) {
        errorOutput_ = std::make_unique<ErrorOutput>();
        findErrorOutput(*errorOutput_);
        if (errorOutput_->kind == ErrorOutput::Kind::Console && !startOnOwnLine(errorOutput_->handle))
            errorOutput_->kind = ErrorOutput::Kind::None;
    }
    switch (errorOutput_->kind) {
        case ErrorOutput::Kind::Console:
            return writeConsole(errorOutput_->handle, utf8Text);
        case ErrorOutput::Kind::Bytes:
            return writeBytes(errorOutput_->handle, utf8Text);
        case ErrorOutput::Kind::None:
            break;
    }
    return false;
}

}  // namespace lz::process
