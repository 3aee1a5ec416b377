#include "tests/e2e/driver.h"

#include <aclapi.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <utility>

#ifndef LZ_E2E_OPTIMIZER_EXE
#error "LZ_E2E_OPTIMIZER_EXE must name the built optimizer.exe"
#endif
#ifndef LZ_E2E_EDITOR_EXE
#error "LZ_E2E_EDITOR_EXE must name the built lzvtEditor.exe"
#endif
#ifndef LZ_E2E_RECORDER_EXE
#error "LZ_E2E_RECORDER_EXE must name the built recorder.exe"
#endif
#ifndef LZ_E2E_SAMPLES_DIR
#error "LZ_E2E_SAMPLES_DIR must name the source tree's samples folder"
#endif

namespace fs = std::filesystem;

namespace lz::e2e {
namespace {

UINT gSendTimeoutMs = 5000;  // SetAnswerTimeout
constexpr Millis kPollInterval{15};

DWORD ToMs(Millis timeout) {
    return static_cast<DWORD>(std::clamp<long long>(timeout.count(), 0, 0x7fffffff));
}

std::string Describe(HWND window) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "window %p (class %s, text \"%s\")", static_cast<void*>(window),
                  Narrow(ClassName(window)).c_str(), Narrow(Text(window)).c_str());
    return buffer;
}

// SendMessage that cannot hang the test on a program that stopped answering.
LRESULT Send(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, gSendTimeoutMs, &result) == 0) {
        char buffer[96];
        std::snprintf(buffer, sizeof buffer, "window %p did not answer message 0x%X within %u ms",
                      static_cast<void*>(window), message, gSendTimeoutMs);
        throw DriverError(buffer);
    }
    return static_cast<LRESULT>(result);
}

void Post(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    if (!PostMessageW(window, message, wparam, lparam)) {
        throw DriverError("posting a message failed: the window is gone");
    }
}

// A block of memory inside the process that owns a window, for messages whose pointers
// Wine does not carry across processes.
class RemoteMemory {
public:
    RemoteMemory(HWND window, size_t size) : size_(size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                               FALSE, pid);
        if (process_ == nullptr) throw DriverError("cannot open the process that owns " + Describe(window));
        base_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (base_ == nullptr) {
            CloseHandle(process_);
            throw DriverError("cannot allocate memory in the process that owns " + Describe(window));
        }
    }
    ~RemoteMemory() {
        VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        CloseHandle(process_);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    void* At(size_t offset) const { return static_cast<char*>(base_) + offset; }
    void Write(size_t offset, const void* data, size_t size) const {
        SIZE_T done = 0;
        if (offset + size > size_ || !WriteProcessMemory(process_, At(offset), data, size, &done) || done != size)
            throw DriverError("writing into another process failed");
    }
    void Read(size_t offset, void* data, size_t size) const {
        SIZE_T done = 0;
        if (offset + size > size_ || !ReadProcessMemory(process_, At(offset), data, size, &done) || done != size)
            throw DriverError("reading from another process failed");
    }

private:
    HANDLE process_ = nullptr;
    void* base_ = nullptr;
    size_t size_ = 0;
};

constexpr size_t kRemoteTextChars = 2048;
constexpr size_t kRemoteTextOffset = 256;  // after the item or column structure
static_assert(sizeof(LVITEMW) <= kRemoteTextOffset && sizeof(LVCOLUMNW) <= kRemoteTextOffset);

std::wstring ReadRemoteText(const RemoteMemory& memory) {
    std::wstring text(kRemoteTextChars, L'\0');
    memory.Read(kRemoteTextOffset, text.data(), kRemoteTextChars * sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), kRemoteTextChars));
    return text;
}

std::vector<HWND> TopLevelWindowsOf(DWORD pid) {
    struct Search {
        DWORD pid;
        std::vector<HWND> found;
    } search{pid, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->pid) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring Quoted(const fs::path& path) {
    return L"\"" + path.wstring() + L"\"";
}

}  // namespace

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

constexpr UINT kGbkCodePage = 936;

std::string WideToGbk(std::wstring_view text) {
    if (text.empty()) return {};
    int n =
        WideCharToMultiByte(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring GbkToWide(std::string_view gbk) {
    if (gbk.empty()) return {};
    int n = MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), out.data(), n);
    return out;
}

void SetAnswerTimeout(Millis timeout) {
    gSendTimeoutMs = static_cast<UINT>(timeout.count());
}

bool PollUntil(const std::function<bool()>& done, Millis timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

// ---- Process ----------------------------------------------------------------------------

DWORD RunToEnd(std::wstring_view command_line, Millis timeout) {
    std::wstring line(command_line);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        throw DriverError("cannot run " + Narrow(line) + " (error " + std::to_string(GetLastError()) + ")");
    CloseHandle(info.hThread);
    const bool ended = WaitForSingleObject(info.hProcess, ToMs(timeout)) == WAIT_OBJECT_0;
    DWORD code = 0;
    if (ended) GetExitCodeProcess(info.hProcess, &code);
    if (!ended) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    if (!ended) throw DriverError(Narrow(line) + " did not end within " + std::to_string(timeout.count()) + " ms");
    return code;
}

namespace {

// A handle this function owns, closed when it goes.
struct OwnedHandle {
    HANDLE handle = nullptr;
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE h) { Take(h); }
    ~OwnedHandle() {
        if (handle != nullptr) CloseHandle(handle);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    void Close() {
        if (handle != nullptr) CloseHandle(std::exchange(handle, nullptr));
    }
    void Take(HANDLE h) {
        Close();
        handle = h == INVALID_HANDLE_VALUE ? nullptr : h;
    }
};

// Without a message to the window: it may be gone, or its program busy, by now. (Another
// process's window's caption is read from what the system keeps of it.)
std::string DescribeWindow(HWND window) {
    wchar_t class_name[256] = {};
    wchar_t caption[512] = {};
    GetClassNameW(window, class_name, static_cast<int>(std::size(class_name)));
    GetWindowTextW(window, caption, static_cast<int>(std::size(caption)));
    std::string line = Narrow(class_name) + " \"" + Narrow(caption) + "\"";
    if (IsWindowVisible(window)) line += " (visible)";
    return line;
}

fs::path TempFileName() {
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t file[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"lzo", 0, file) == 0)
        throw DriverError("no temporary file for the standard output");
    return file;
}

}  // namespace

RunResult RunToEndWith(std::wstring_view command_line, StandardHandles handles, Millis timeout) {
    std::wstring line(command_line);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // none, unless set below
    DWORD flags = 0;
    OwnedHandle read_end, write_end;
    fs::path output_file;
    switch (handles) {
        case StandardHandles::None:
        case StandardHandles::Console:
            flags = DETACHED_PROCESS;
            break;
        case StandardHandles::Pipe:
        case StandardHandles::BrokenPipe:
            if (!CreatePipe(&read_end.handle, &write_end.handle, &inheritable, 0))
                throw DriverError("cannot make a pipe (error " + std::to_string(GetLastError()) + ")");
            SetHandleInformation(read_end.handle, HANDLE_FLAG_INHERIT, 0);
            startup.hStdOutput = startup.hStdError = write_end.handle;
            if (handles == StandardHandles::BrokenPipe) read_end.Close();
            break;
        case StandardHandles::File:
            output_file = TempFileName();
            write_end.Take(CreateFileW(output_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inheritable, CREATE_ALWAYS, 0, nullptr));
            if (write_end.handle == nullptr) throw DriverError("cannot make " + Narrow(output_file.wstring()));
            startup.hStdOutput = startup.hStdError = write_end.handle;
            break;
        case StandardHandles::ConsoleHandles: {
            const HANDLE console =
                CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                            OPEN_EXISTING, 0, nullptr);
            if (console == INVALID_HANDLE_VALUE) throw DriverError("this process has no console to hand down");
            write_end.Take(console);
            startup.hStdOutput = startup.hStdError = console;
            break;
        }
    }

    // Under Wine the first program that needs the desktop starts it (explorer.exe), and hands it
    // its own standard handles: started by the program, it would hold the pipe open for good.
    // This process starts it instead.
    TopLevelWindowsOf(GetCurrentProcessId());

    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup, &info))
        throw DriverError("cannot run " + Narrow(line) + " (error " + std::to_string(GetLastError()) + ")");
    CloseHandle(info.hThread);
    const OwnedHandle process(info.hProcess);
    write_end.Close();  // the program holds its own copy

    RunResult result;
    // What the pipe holds is taken as it comes, so that the program never waits for room in it;
    // once the program has ended, what is left is all there is.
    auto drain = [&] {
        DWORD available = 0;
        while (read_end.handle != nullptr && PeekNamedPipe(read_end.handle, nullptr, 0, nullptr, &available, nullptr) &&
               available > 0) {
            std::string piece(available, '\0');
            DWORD read = 0;
            if (!ReadFile(read_end.handle, piece.data(), available, &read, nullptr)) break;
            result.output.append(piece, 0, read);
        }
    };
    auto look = [&] {
        drain();
        for (HWND window : TopLevelWindowsOf(info.dwProcessId)) {
            const std::string described = DescribeWindow(window);
            if (std::find(result.windows.begin(), result.windows.end(), described) == result.windows.end())
                result.windows.push_back(described);
        }
        return WaitForSingleObject(process.handle, 0) == WAIT_OBJECT_0;
    };
    const bool ended = PollUntil(look, timeout);
    if (!ended) {
        TerminateProcess(process.handle, 1);
        throw DriverError(Narrow(line) + " did not end within " + std::to_string(timeout.count()) + " ms");
    }
    drain();
    GetExitCodeProcess(process.handle, &result.exit_code);
    if (!output_file.empty()) {
        result.output = ReadFileBytes(output_file);
        DeleteFileW(output_file.c_str());
    }
    return result;
}

constexpr SHORT kConsoleColumns = 1000;

TestConsole::TestConsole() {
    static bool made = false;
    if (std::exchange(made, true)) throw DriverError("a process has one test console");
    const HANDLE standard[] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                               GetStdHandle(STD_ERROR_HANDLE)};
    FreeConsole();  // Wine counts a process started without a terminal as having a console
    if (!AllocConsole()) throw DriverError("cannot make a console (error " + std::to_string(GetLastError()) + ")");
    SetStdHandle(STD_INPUT_HANDLE, standard[0]);
    SetStdHandle(STD_OUTPUT_HANDLE, standard[1]);
    SetStdHandle(STD_ERROR_HANDLE, standard[2]);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    output_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                          OPEN_EXISTING, 0, nullptr);
    if (output_ == INVALID_HANDLE_VALUE) {
        FreeConsole();
        throw DriverError("cannot open the new console's output (error " + std::to_string(GetLastError()) + ")");
    }
    // Lines as wide as a test's paths make them, so that none is wrapped.
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(output_, &info) ||
        !SetConsoleScreenBufferSize(output_, COORD{kConsoleColumns, info.dwSize.Y})) {
        const DWORD error = GetLastError();
        CloseHandle(output_);
        FreeConsole();
        throw DriverError("cannot widen the new console (error " + std::to_string(error) + ")");
    }
}

TestConsole::~TestConsole() {
    CloseHandle(output_);
}

std::wstring TestConsole::Text() const {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(output_, &info)) throw DriverError("cannot read the console's size");
    std::wstring text;
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
        std::wstring row(static_cast<size_t>(info.dwSize.X), L' ');
        DWORD read = 0;
        if (!ReadConsoleOutputCharacterW(output_, row.data(), static_cast<DWORD>(row.size()), COORD{0, y}, &read))
            throw DriverError("cannot read the console's line " + std::to_string(y));
        row.resize(read);
        while (!row.empty() && row.back() == L' ') row.pop_back();
        text += row + L"\n";
    }
    return text;
}

Process::~Process() {
    Kill();
    if (thread_ != nullptr) CloseHandle(thread_);
    if (process_ != nullptr) CloseHandle(process_);
}

Process::Process(Process&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)),
      thread_(std::exchange(other.thread_, nullptr)),
      id_(std::exchange(other.id_, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Process old(std::move(*this));
        process_ = std::exchange(other.process_, nullptr);
        thread_ = std::exchange(other.thread_, nullptr);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

Process Process::Launch(const fs::path& exe, std::wstring_view arguments, const fs::path& working_dir, Millis timeout) {
    std::wstring command_line = Quoted(exe);
    if (!arguments.empty()) {
        command_line += L' ';
        command_line += arguments;
    }
    const fs::path dir = working_dir.empty() ? exe.parent_path() : working_dir;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        dir.empty() ? nullptr : dir.c_str(), &startup, &info)) {
        throw DriverError("cannot start " + Narrow(exe.wstring()) + " (error " + std::to_string(GetLastError()) + ")");
    }
    Process started;
    started.process_ = info.hProcess;
    started.thread_ = info.hThread;
    started.id_ = info.dwProcessId;
    if (WaitForInputIdle(started.process_, ToMs(timeout)) == WAIT_TIMEOUT) {
        throw DriverError(Narrow(exe.filename().wstring()) + " was not idle for input within " +
                          std::to_string(timeout.count()) + " ms");
    }
    return started;
}

Process Process::WaitForProcessWithWindow(std::wstring_view caption, Millis timeout, const std::vector<DWORD>& ignore) {
    DWORD found = 0;
    auto look = [&] {
        struct Search {
            std::wstring_view caption;
            const std::vector<DWORD>& ignore;
            DWORD found;
        } search{caption, ignore, 0};
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == GetCurrentProcessId() ||
                    std::find(s->ignore.begin(), s->ignore.end(), owner) != s->ignore.end())
                    return TRUE;
                if (!IsWindowVisible(window)) return TRUE;
                DWORD_PTR length = 0;
                if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, gSendTimeoutMs, &length) ||
                    length != s->caption.size())
                    return TRUE;
                if (Text(window) != s->caption) return TRUE;
                s->found = owner;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        found = search.found;
        return found != 0;
    };
    if (!PollUntil(look, timeout)) {
        throw DriverError("no process showed a window \"" + Narrow(caption) + "\" within " +
                          std::to_string(timeout.count()) + " ms");
    }
    HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, found);
    if (handle == nullptr) throw DriverError("cannot open process " + std::to_string(found));
    Process attached;
    attached.process_ = handle;
    attached.id_ = found;
    return attached;
}

std::filesystem::path Process::ImagePath() const {
    if (process_ == nullptr) return {};
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process_, 0, path.data(), &size)) return {};
    path.resize(size);
    return path;
}

bool Process::Running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

DWORD Process::WaitForExit(Millis timeout) {
    if (process_ == nullptr) throw DriverError("waiting for a process that was never started");
    if (WaitForSingleObject(process_, ToMs(timeout)) != WAIT_OBJECT_0) {
        Kill();
        throw DriverError("process " + std::to_string(id_) + " did not end within " + std::to_string(timeout.count()) +
                          " ms; killed it");
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

void Process::Kill() {
    if (Running()) {
        TerminateProcess(process_, 0xDEAD);
        WaitForSingleObject(process_, 5000);
    }
}

std::vector<HWND> Process::Windows() const {
    return TopLevelWindowsOf(id_);
}

HWND Process::FindTopWindow(std::wstring_view caption) const {
    for (HWND window : Windows()) {
        if (IsWindowVisible(window) && Text(window) == caption) return window;
    }
    return nullptr;
}

HWND Process::WaitForWindow(std::wstring_view caption, Millis timeout) const {
    HWND found = nullptr;
    if (PollUntil([&] { return (found = FindTopWindow(caption)) != nullptr || !Running(); }, timeout) && found)
        return found;
    std::string seen;
    for (HWND window : Windows()) {
        if (IsWindowVisible(window)) seen += " \"" + Narrow(Text(window)) + "\"";
    }
    throw DriverError("no window \"" + Narrow(caption) + "\" of process " + std::to_string(id_) + " within " +
                      std::to_string(timeout.count()) + " ms" + (Running() ? "" : " (the process ended)") +
                      "; visible windows:" + (seen.empty() ? " none" : seen));
}

HWND Process::FindDialog(std::wstring_view caption) const {
    for (HWND window : Windows()) {
        if (IsWindowVisible(window) && ClassName(window) == L"#32770" && (caption.empty() || Text(window) == caption))
            return window;
    }
    return nullptr;
}

HWND Process::WaitForDialog(std::wstring_view caption, Millis timeout) const {
    HWND found = nullptr;
    if (PollUntil([&] { return (found = FindDialog(caption)) != nullptr || !Running(); }, timeout) && found)
        return found;
    throw DriverError("no dialog" + (caption.empty() ? std::string() : " \"" + Narrow(caption) + "\"") +
                      " of process " + std::to_string(id_) + " within " + std::to_string(timeout.count()) + " ms" +
                      (Running() ? "" : " (the process ended)"));
}

void Process::WaitUntilNoWindows(Millis timeout) const {
    auto visible = [&] {
        std::vector<HWND> shown;
        for (HWND window : Windows()) {
            if (IsWindowVisible(window)) shown.push_back(window);
        }
        return shown;
    };
    if (PollUntil([&] { return visible().empty(); }, timeout)) return;
    throw DriverError("process " + std::to_string(id_) + " still shows " + Describe(visible().front()));
}

// ---- Locale -----------------------------------------------------------------------------

namespace {

std::wstring LocaleName(LCID locale) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(locale, name, LOCALE_NAME_MAX_LENGTH, 0) == 0) return L"LCID " + std::to_wstring(locale);
    return name;
}

// The base address of the module named `name` ("kernelbase.dll") in `process`.
std::uintptr_t ModuleBaseIn(HANDLE process, std::wstring_view name) {
    std::vector<HMODULE> modules(512);
    DWORD needed = 0;
    if (!EnumProcessModulesEx(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed,
                              LIST_MODULES_ALL))
        throw DriverError("cannot list the modules of another process (error " + std::to_string(GetLastError()) + ")");
    modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
    for (HMODULE module : modules) {
        wchar_t base_name[MAX_PATH] = {};
        if (GetModuleBaseNameW(process, module, base_name, MAX_PATH) != 0 &&
            _wcsicmp(base_name, std::wstring(name).c_str()) == 0)
            return reinterpret_cast<std::uintptr_t>(module);
    }
    throw DriverError("another process has no module " + Narrow(name));
}

// Runs the kernel32 function `function`, which takes no argument, on a new thread inside
// `process` and returns its result. The function may live in another module than kernel32 (a
// forwarded export): it is found at the same offset in that module there as here.
DWORD CallInside(HANDLE process, const char* function) {
    const auto here = reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), function));
    HMODULE holder = nullptr;
    wchar_t holder_path[MAX_PATH] = {};
    if (here == 0 ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(here), &holder) ||
        GetModuleFileNameW(holder, holder_path, MAX_PATH) == 0)
        throw DriverError(std::string("cannot find ") + function + " in this process");
    const std::wstring holder_name = fs::path(holder_path).filename().wstring();
    const std::uintptr_t there = ModuleBaseIn(process, holder_name) + (here - reinterpret_cast<std::uintptr_t>(holder));
    HANDLE thread =
        CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(there), nullptr, 0, nullptr);
    if (thread == nullptr)
        throw DriverError(std::string("cannot start a thread for ") + function + " in another process (error " +
                          std::to_string(GetLastError()) + ")");
    DWORD result = 0;
    const bool ended =
        WaitForSingleObject(thread, gSendTimeoutMs) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &result);
    CloseHandle(thread);
    if (!ended) throw DriverError(std::string(function) + " did not return inside another process");
    return result;
}

std::string Describe(const RunLocale& locale) {
    return "code page " + std::to_string(locale.ansi_code_page) + ", locale " + Narrow(locale.user_locale) +
           ", UI language " + Narrow(locale.ui_language);
}

}  // namespace

RunLocale LocaleOfThisProcess() {
    return {GetACP(), LocaleName(GetUserDefaultLCID()), LocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT))};
}

RunLocale LocaleOf(const Process& program) {
    if (program.Handle() == nullptr) throw DriverError("asking the locale of a program that was never started");
    const HANDLE process = program.Handle();
    const auto ui_language = static_cast<LANGID>(CallInside(process, "GetUserDefaultUILanguage") & 0xFFFF);
    return {CallInside(process, "GetACP"), LocaleName(CallInside(process, "GetUserDefaultLCID")),
            LocaleName(MAKELCID(ui_language, SORT_DEFAULT))};
}

void RequireExpectedLocale(const Process& program) {
    const char* code_page = std::getenv("LZ_E2E_EXPECT_ACP");
    const char* locale = std::getenv("LZ_E2E_EXPECT_LOCALE");
    if ((code_page == nullptr || *code_page == '\0') && (locale == nullptr || *locale == '\0')) return;
    const auto matches = [&](const RunLocale& got) {
        return (code_page == nullptr || std::to_string(got.ansi_code_page) == code_page) &&
               (locale == nullptr || (got.user_locale == Widen(locale) && got.ui_language == Widen(locale)));
    };
    const std::string wanted = std::string("code page ") + (code_page ? code_page : "any") +
                               ", locale and UI language " + (locale ? locale : "any");
    const RunLocale own = LocaleOfThisProcess();
    if (!matches(own)) throw DriverError("the test runs with " + Describe(own) + " instead of " + wanted);
    const RunLocale theirs = LocaleOf(program);
    if (!matches(theirs))
        throw DriverError(Narrow(program.ImagePath().filename().wstring()) + " runs with " + Describe(theirs) +
                          " instead of " + wanted);
}

// ---- Windows and controls ---------------------------------------------------------------

std::wstring Text(HWND window) {
    const auto length = static_cast<size_t>(Send(window, WM_GETTEXTLENGTH));
    std::wstring text(length + 1, L'\0');
    const auto copied =
        static_cast<size_t>(Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    text.resize(std::min(copied, length));
    return text;
}

void SetText(HWND window, std::wstring_view text) {
    std::wstring copy(text);
    Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    int n = GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return std::wstring(name, static_cast<size_t>(std::max(n, 0)));
}

bool IsEnabled(HWND window) {
    return IsWindowEnabled(window) != FALSE;
}
bool IsVisible(HWND window) {
    return IsWindowVisible(window) != FALSE;
}

SIZE OuterSize(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

SIZE ClientSize(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

RECT RectInParent(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool Responds(HWND window, Millis timeout) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ToMs(timeout), &ignored) != 0;
}

void WaitForDestroyed(HWND window, Millis timeout) {
    if (PollUntil([&] { return !IsWindow(window); }, timeout)) return;
    throw DriverError(Describe(window) + " was not closed within " + std::to_string(timeout.count()) + " ms");
}

std::vector<Control> Controls(HWND window) {
    std::vector<Control> controls;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        controls.push_back({child, GetDlgCtrlID(child), ClassName(child), Text(child), RectInParent(child),
                            IsVisible(child), IsEnabled(child)});
    }
    std::stable_sort(controls.begin(), controls.end(), [](const Control& a, const Control& b) { return a.id < b.id; });
    return controls;
}

HWND ControlById(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    return control != nullptr && GetParent(control) == window ? control : nullptr;
}

HWND ControlByCaption(HWND window, std::wstring_view caption, std::wstring_view class_name) {
    for (const Control& c : Controls(window)) {
        if (c.text == caption &&
            (class_name.empty() || _wcsicmp(c.class_name.c_str(), std::wstring(class_name).c_str()) == 0))
            return c.hwnd;
    }
    return nullptr;
}

HWND ControlByClass(HWND window, std::wstring_view class_name, int index) {
    int seen = 0;
    for (const Control& c : Controls(window)) {
        if (_wcsicmp(c.class_name.c_str(), std::wstring(class_name).c_str()) == 0 && seen++ == index) return c.hwnd;
    }
    return nullptr;
}

HWND ControlAt(HWND window, POINT client_point) {
    for (const Control& c : Controls(window)) {
        if (PtInRect(&c.rect, client_point)) return c.hwnd;
    }
    return nullptr;
}

HWND RequireControl(HWND window, std::wstring_view caption, std::wstring_view class_name, Millis timeout) {
    HWND found = nullptr;
    if (PollUntil([&] { return (found = ControlByCaption(window, caption, class_name)) != nullptr; }, timeout))
        return found;
    throw DriverError("no control \"" + Narrow(caption) + "\"" +
                      (class_name.empty() ? std::string() : " of class " + Narrow(class_name)) + " in " +
                      Describe(window));
}

// ---- Input ------------------------------------------------------------------------------

void Click(HWND button) {
    Post(button, BM_CLICK);
}

HWND FocusedControl(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (thread == 0 || !GetGUIThreadInfo(thread, &info)) return nullptr;
    return info.hwndFocus;
}

void PressEscape(HWND window) {
    HWND target = FocusedControl(window);
    if (target == nullptr || (target != window && !IsChild(window, target))) target = window;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(VK_ESCAPE, MAPVK_VK_TO_VSC)) << 16;
    Post(target, WM_KEYDOWN, VK_ESCAPE, 1 | scan);
    // The key-up may find the window already gone; that is fine.
    PostMessageW(target, WM_KEYUP, VK_ESCAPE, 1 | scan | (LPARAM{1} << 30) | (LPARAM{1} << 31));
}

void PressCloseBox(HWND window) {
    Post(window, WM_SYSCOMMAND, SC_CLOSE);
}

void LeftMouseDown(HWND control) {
    RECT r{};
    GetClientRect(control, &r);
    Post(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2));
}

// ---- Message boxes ------------------------------------------------------------------------

std::wstring MessageBoxText(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    if (text == nullptr) throw DriverError(Describe(box) + " has no message text (id 0xFFFF)");
    return Text(text);
}

void DismissMessageBox(HWND box) {
    HWND ok = GetDlgItem(box, IDOK);
    if (ok == nullptr) throw DriverError(Describe(box) + " has no OK button");
    Click(ok);
    WaitForDestroyed(box);
}

std::wstring AnswerMessageBox(const Process& program, Millis timeout) {
    HWND box = program.WaitForMessageBox(timeout);
    std::wstring text = MessageBoxText(box);
    DismissMessageBox(box);
    return text;
}

HWND ChooseInFileDialog(const Process& program, std::wstring_view title, const std::filesystem::path& file) {
    constexpr int kFileNameBox = 0x47C;  // the file-name box of the open-file dialog
    HWND dialog = program.WaitForDialog(title);
    HWND name = nullptr;
    if (!PollUntil([&] { return (name = GetDlgItem(dialog, kFileNameBox)) != nullptr; }))
        throw DriverError("the file dialog has no file-name box");
    SetText(name, file.wstring());
    Click(GetDlgItem(dialog, IDOK));
    return dialog;
}

// ---- List views and tab controls ----------------------------------------------------------

int ListRowCount(HWND list) {
    return static_cast<int>(Send(list, LVM_GETITEMCOUNT));
}

std::vector<ListColumn> ListColumns(HWND list) {
    HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER));
    if (header == nullptr) throw DriverError(Describe(list) + " has no header");
    const int count = static_cast<int>(Send(header, HDM_GETITEMCOUNT));
    RemoteMemory memory(list, kRemoteTextOffset + kRemoteTextChars * sizeof(wchar_t));
    std::vector<ListColumn> columns;
    for (int i = 0; i < count; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = static_cast<wchar_t*>(memory.At(kRemoteTextOffset));
        column.cchTextMax = static_cast<int>(kRemoteTextChars);
        const wchar_t nothing = L'\0';
        memory.Write(kRemoteTextOffset, &nothing, sizeof nothing);
        memory.Write(0, &column, sizeof column);
        if (!Send(list, LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(memory.At(0))))
            throw DriverError("reading column " + std::to_string(i) + " of " + Describe(list) + " failed");
        memory.Read(0, &column, sizeof column);
        columns.push_back({ReadRemoteText(memory), column.cx});
    }
    return columns;
}

std::wstring ListItemText(HWND list, int row, int column) {
    RemoteMemory memory(list, kRemoteTextOffset + kRemoteTextChars * sizeof(wchar_t));
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = static_cast<wchar_t*>(memory.At(kRemoteTextOffset));
    item.cchTextMax = static_cast<int>(kRemoteTextChars);
    const wchar_t nothing = L'\0';
    memory.Write(kRemoteTextOffset, &nothing, sizeof nothing);
    memory.Write(0, &item, sizeof item);
    Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(memory.At(0)));
    return ReadRemoteText(memory);
}

std::vector<std::wstring> ListRows(HWND list, int column) {
    std::vector<std::wstring> rows;
    const int count = ListRowCount(list);
    for (int row = 0; row < count; ++row) rows.push_back(ListItemText(list, row, column));
    return rows;
}

int ListSelectedRow(HWND list) {
    return static_cast<int>(Send(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ListSelectRow(HWND list, int row) {
    RemoteMemory memory(list, sizeof(LVITEMW));
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    memory.Write(0, &item, sizeof item);
    if (!Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(memory.At(0))))
        throw DriverError("selecting row " + std::to_string(row) + " of " + Describe(list) + " failed");
}

int TabCurrentPage(HWND tab) {
    return static_cast<int>(Send(tab, TCM_GETCURSEL));
}

// ---- Screen -------------------------------------------------------------------------------

namespace {

// The 24-bit pixels of the part `area` of the screen (cut to the screen), rows bottom-up;
// empty when the screen cannot be read.
struct ScreenArea {
    BITMAPINFOHEADER info{};
    std::string pixels;
};

ScreenArea ReadScreenArea(RECT area) {
    const RECT screen_rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!IntersectRect(&area, &area, &screen_rect)) return {};
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    if (screen == nullptr || width <= 0 || height <= 0) return {};
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
    SelectObject(memory, old);

    ScreenArea shot;
    BITMAPINFOHEADER& info = shot.info;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up rows, as BMP files store them
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    shot.pixels.assign(static_cast<size_t>(stride) * static_cast<size_t>(height), '\0');
    const bool read = copied && GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), shot.pixels.data(),
                                          reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!read) return {};
    return shot;
}

// Saves the part `area` of the screen as a 24-bit BMP.
bool SaveScreenArea(const fs::path& bmp_file, RECT area) {
    const ScreenArea shot = ReadScreenArea(area);
    if (shot.pixels.empty()) return false;
    const BITMAPINFOHEADER& info = shot.info;
    const std::string& pixels = shot.pixels;

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(bmp_file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

// The artifacts folder's file for a shot called `name`; empty when there is no such folder.
fs::path ArtifactFile(std::string_view name) {
    const wchar_t* dir = _wgetenv(L"LZ_E2E_ARTIFACTS");
    if (dir == nullptr || *dir == L'\0') return {};
    const fs::path folder = FromHostPath(Narrow(dir));
    std::error_code error;
    fs::create_directories(folder, error);
    std::wstring file_name = Widen(name);
    std::replace_if(
        file_name.begin(), file_name.end(), [](wchar_t c) { return wcschr(L"\\/:*?\"<>|", c) != nullptr; }, L'_');
    return folder / (file_name + L".bmp");
}

}  // namespace

std::string ScreenPixels(HWND window) {
    RECT r{};
    if (!GetWindowRect(window, &r)) return {};
    return ReadScreenArea(r).pixels;
}

bool SaveScreenshot(const fs::path& bmp_file) {
    return SaveScreenArea(bmp_file, RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

bool SaveScreenshot(const fs::path& bmp_file, HWND window) {
    RECT r{};
    if (!GetWindowRect(window, &r)) return false;
    return SaveScreenArea(bmp_file, r);
}

fs::path SaveArtifactScreenshot(std::string_view name) {
    const fs::path file = ArtifactFile(name);
    return !file.empty() && SaveScreenshot(file) ? file : fs::path();
}

fs::path SaveArtifactScreenshot(std::string_view name, HWND window) {
    const fs::path file = ArtifactFile(name);
    return !file.empty() && SaveScreenshot(file, window) ? file : fs::path();
}

// ---- Program folders ----------------------------------------------------------------------

fs::path FromHostPath(std::string_view host_path) {
    std::wstring path = Widen(host_path);
    if (path.empty() || path.front() != L'/') return fs::path(path);  // already a Windows path
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return fs::path(L"Z:" + path);
}

fs::path BuiltOptimizer() {
    return FromHostPath(LZ_E2E_OPTIMIZER_EXE);
}
fs::path BuiltEditor() {
    return FromHostPath(LZ_E2E_EDITOR_EXE);
}
fs::path BuiltRecorder() {
    return FromHostPath(LZ_E2E_RECORDER_EXE);
}

std::vector<SchemeFile> SampleSchemes() {
    std::vector<SchemeFile> samples;
    for (const fs::directory_entry& entry : fs::directory_iterator(FromHostPath(LZ_E2E_SAMPLES_DIR))) {
        if (entry.is_regular_file() && _wcsicmp(entry.path().extension().c_str(), L".lzvt") == 0)
            samples.push_back({entry.path().filename().wstring(), ReadFileBytes(entry.path())});
    }
    std::sort(samples.begin(), samples.end(), [](const SchemeFile& a, const SchemeFile& b) { return a.name < b.name; });
    return samples;
}

std::string ReadFileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw DriverError("cannot read " + Narrow(file.wstring()));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw DriverError("cannot write " + Narrow(file.wstring()));
}

namespace {

fs::path UniqueFolderName() {
    static std::atomic<unsigned> counter{0};
    return L"lz-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64()) + L"-" +
           std::to_wstring(counter++);
}

}  // namespace

ProgramFolder::ProgramFolder(const std::vector<SchemeFile>& schemes) {
    wchar_t temp[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, temp) == 0) throw DriverError("no temp folder");
    dir_ = fs::path(temp) / UniqueFolderName();
    Populate(schemes);
}

ProgramFolder::ProgramFolder(const std::vector<SchemeFile>& schemes, const fs::path& parent) {
    dir_ = parent / UniqueFolderName();
    Populate(schemes);
}

void ProgramFolder::Populate(const std::vector<SchemeFile>& schemes) {
    std::error_code error;
    fs::create_directories(Optimal(), error);
    if (error) throw DriverError("cannot create " + Narrow(Optimal().wstring()) + ": " + error.message());
    for (const auto& [from, to] : {std::pair{BuiltOptimizer(), Optimizer()}, std::pair{BuiltEditor(), Editor()}}) {
        if (!CopyFileW(from.c_str(), to.c_str(), FALSE))
            throw DriverError("cannot copy " + Narrow(from.wstring()) + " (error " + std::to_string(GetLastError()) +
                              ")");
    }
    for (const SchemeFile& scheme : schemes) WriteFileBytes(Optimal() / scheme.name, scheme.bytes);
}

ProgramFolder::~ProgramFolder() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

Process ProgramFolder::StartOptimizer(std::wstring_view arguments) const {
    return Process::Launch(Optimizer(), arguments, dir_);
}

Process ProgramFolder::StartEditor(std::wstring_view arguments) const {
    return Process::Launch(Editor(), arguments, dir_);
}

fs::path ProgramFolder::InstallRecorder() const {
    const fs::path recorder = dir_ / L"recorder.exe";
    if (!CopyFileW(BuiltRecorder().c_str(), recorder.c_str(), FALSE))
        throw DriverError("cannot copy the recorder (error " + std::to_string(GetLastError()) + ")");
    return recorder;
}

std::vector<std::wstring> RecordedCommandLines(const fs::path& recorder_exe) {
    const fs::path file = recorder_exe.parent_path() / L"recorded.txt";
    std::error_code error;
    if (!fs::exists(file, error)) return {};
    const std::string bytes = ReadFileBytes(file);
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(Widen(std::string_view(bytes).substr(start, end - start)));
    return lines;  // a line still being written (no line feed yet) is left for the next read
}

// ---- Registry -----------------------------------------------------------------------------

namespace {

std::optional<std::string> RegistryRaw(HKEY root, std::wstring_view subkey, std::wstring_view value, DWORD flags) {
    const std::wstring key(subkey), name(value);
    DWORD size = 0;
    if (RegGetValueW(root, key.c_str(), name.c_str(), flags, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string data(size, '\0');
    if (RegGetValueW(root, key.c_str(), name.c_str(), flags, nullptr, data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size);
    return data;
}

}  // namespace

std::optional<std::wstring> RegistryString(HKEY root, std::wstring_view subkey, std::wstring_view value) {
    auto raw = RegistryRaw(root, subkey, value, RRF_RT_REG_SZ);
    if (!raw) return std::nullopt;
    std::wstring text(raw->size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), raw->data(), text.size() * sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

std::optional<DWORD> RegistryDword(HKEY root, std::wstring_view subkey, std::wstring_view value) {
    auto raw = RegistryRaw(root, subkey, value, RRF_RT_REG_DWORD);
    if (!raw || raw->size() != sizeof(DWORD)) return std::nullopt;
    DWORD number = 0;
    std::memcpy(&number, raw->data(), sizeof number);
    return number;
}

std::optional<std::string> RegistryBinary(HKEY root, std::wstring_view subkey, std::wstring_view value) {
    return RegistryRaw(root, subkey, value, RRF_RT_REG_BINARY);
}

bool RegistryKeyExists(HKEY root, std::wstring_view subkey) {
    HKEY key = nullptr;
    const std::wstring name(subkey);
    if (RegOpenKeyExW(root, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::optional<RegistryValue> RegistryRawValue(HKEY root, std::wstring_view subkey, std::wstring_view value) {
    HKEY key = nullptr;
    const std::wstring key_name(subkey), value_name(value);
    if (RegOpenKeyExW(root, key_name.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return std::nullopt;
    RegistryValue found;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, value_name.c_str(), nullptr, &found.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        found.bytes.assign(size, '\0');
        status = RegQueryValueExW(key, value_name.c_str(), nullptr, &found.type,
                                  reinterpret_cast<BYTE*>(found.bytes.data()), &size);
        found.bytes.resize(size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return found;
}

namespace {

void CollectTree(HKEY key, const std::wstring& path, std::map<std::wstring, RegistryValues>& tree) {
    RegistryValues& values = tree[path];
    wchar_t name[16384];
    for (DWORD index = 0;; ++index) {
        DWORD name_size = static_cast<DWORD>(std::size(name));
        DWORD type = REG_NONE, size = 0;
        if (RegEnumValueW(key, index, name, &name_size, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        RegistryValue& value = values[std::wstring(name, name_size)];
        value.type = type;
        value.bytes.assign(size, '\0');
        name_size = static_cast<DWORD>(std::size(name));
        RegEnumValueW(key, index, name, &name_size, nullptr, &value.type, reinterpret_cast<BYTE*>(value.bytes.data()),
                      &size);
        value.bytes.resize(size);
    }
    std::vector<std::wstring> subkeys;
    for (DWORD index = 0;; ++index) {
        DWORD name_size = static_cast<DWORD>(std::size(name));
        if (RegEnumKeyExW(key, index, name, &name_size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.emplace_back(name, name_size);
    }
    for (const std::wstring& subkey : subkeys) {
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, subkey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &child) != ERROR_SUCCESS)
            throw DriverError("cannot open registry key " + Narrow(path + L"\\" + subkey));
        CollectTree(child, path.empty() ? subkey : path + L"\\" + subkey, tree);
        RegCloseKey(child);
    }
}

}  // namespace

std::map<std::wstring, RegistryValues> RegistryTree(HKEY root, std::wstring_view subkey) {
    std::map<std::wstring, RegistryValues> tree;
    HKEY key = nullptr;
    const std::wstring name(subkey);
    if (RegOpenKeyExW(root, name.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return tree;
    CollectTree(key, L"", tree);
    RegCloseKey(key);
    return tree;
}

namespace {

HKEY CreateKeyForWriting(HKEY root, std::wstring_view subkey) {
    HKEY key = nullptr;
    const std::wstring name(subkey);
    const LSTATUS status = RegCreateKeyExW(root, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        throw DriverError("cannot create registry key " + Narrow(name) + " (error " + std::to_string(status) + ")");
    return key;
}

void SetValue(HKEY root, std::wstring_view subkey, std::wstring_view value, DWORD type, const void* data, size_t size) {
    HKEY key = CreateKeyForWriting(root, subkey);
    const std::wstring name(value);
    const LSTATUS status =
        RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        throw DriverError("cannot set registry value " + Narrow(name) + " (error " + std::to_string(status) + ")");
}

}  // namespace

void RegistryCreateKey(HKEY root, std::wstring_view subkey) {
    RegCloseKey(CreateKeyForWriting(root, subkey));
}

void RegistrySetString(HKEY root, std::wstring_view subkey, std::wstring_view value, std::wstring_view data) {
    const std::wstring text(data);
    SetValue(root, subkey, value, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

void RegistrySetDword(HKEY root, std::wstring_view subkey, std::wstring_view value, DWORD data) {
    SetValue(root, subkey, value, REG_DWORD, &data, sizeof data);
}

void RegistrySetRaw(HKEY root, std::wstring_view subkey, std::wstring_view value, DWORD type, std::string_view bytes) {
    // Wine counts in a terminator that happens to follow a string's bytes: the byte after them
    // must not be zero.
    std::string data(bytes);
    data.push_back('\x7F');
    SetValue(root, subkey, value, type, data.data(), bytes.size());
}

RegistryWriteLock::RegistryWriteLock(HKEY root, std::wstring_view subkey) {
    RegistryCreateKey(root, subkey);
    const std::wstring name(subkey);
    // This handle keeps the right to change the access list after the lock has taken every
    // other right away.
    LSTATUS status = RegOpenKeyExW(root, name.c_str(), 0, KEY_READ | WRITE_DAC | READ_CONTROL | KEY_WOW64_64KEY, &key_);
    if (status != ERROR_SUCCESS)
        throw DriverError("cannot open " + Narrow(name) + " to lock it (error " + std::to_string(status) + ")");

    DWORD size = 0;
    RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
    former_descriptor_.assign(size, '\0');
    if (size == 0 ||
        RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, former_descriptor_.data(), &size) != ERROR_SUCCESS)
        former_descriptor_.clear();

    BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD sid_size = sizeof everyone;
    if (!CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sid_size)) {
        RegCloseKey(key_);
        throw DriverError("cannot make the Everyone SID");
    }
    EXPLICIT_ACCESSW read_only{};
    read_only.grfAccessPermissions = KEY_READ;
    read_only.grfAccessMode = SET_ACCESS;
    read_only.grfInheritance = NO_INHERITANCE;
    read_only.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    read_only.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    read_only.Trustee.ptstrName = reinterpret_cast<LPWSTR>(everyone);
    PACL acl = nullptr;
    if (SetEntriesInAclW(1, &read_only, nullptr, &acl) != ERROR_SUCCESS) {
        RegCloseKey(key_);
        throw DriverError("cannot build the read-only access list");
    }
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    status = RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, &descriptor);
    LocalFree(acl);
    if (status != ERROR_SUCCESS) {
        RegCloseKey(key_);
        throw DriverError("cannot lock " + Narrow(name) + " (error " + std::to_string(status) + ")");
    }

    // The lock must hold for this process as well, or it proves nothing about the program.
    HKEY probe = nullptr;
    status = RegOpenKeyExW(root, name.c_str(), 0, KEY_WRITE | KEY_WOW64_64KEY, &probe);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(probe);
        throw DriverError("the lock on " + Narrow(name) + " did not take: the key still opens for writing");
    }
}

RegistryWriteLock::~RegistryWriteLock() {
    if (!former_descriptor_.empty()) {
        RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                          former_descriptor_.data());
    } else {
        SECURITY_DESCRIPTOR open{};
        InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);  // no list: everyone may do everything
        RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &open);
    }
    RegCloseKey(key_);
}

}  // namespace lz::e2e
