// Out-of-process driver for the suite's programs: starts a program, finds its windows and
// controls, reads and changes them the way a user would, and reads the registry.
//
// Every wait is bounded. A wait that runs out throws DriverError with a message that says
// what was awaited; GoogleTest reports it as the test's failure, and the Process destructor
// kills the program that was started.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lz::e2e {

using Millis = std::chrono::milliseconds;
inline constexpr Millis kDefaultTimeout{10000};

struct DriverError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// UTF-8 (the source's literals) <-> UTF-16 (the W calls).
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view text);
// UTF-16 <-> GBK (code page 936), the encoding of scheme files.
std::string WideToGbk(std::wstring_view text);
std::wstring GbkToWide(std::string_view gbk);

// Polls `done` every few milliseconds until it returns true or `timeout` passes.
bool PollUntil(const std::function<bool()>& done, Millis timeout = kDefaultTimeout);
// How long a window of the program may take to answer one message before the driver gives up
// (5 s unless set): a benchmark of large inputs allows more.
void SetAnswerTimeout(Millis timeout);

// Runs a command line (no window expected) to its end and returns its exit code; kills it and
// throws when it does not end in time.
DWORD RunToEnd(std::wstring_view command_line, Millis timeout = kDefaultTimeout);

// What RunToEndWith gives the program for its standard handles.
enum class StandardHandles {
    None,            // none, and started detached: unless this process has a console (TestConsole),
                     // the program finds none, as one started from the desktop
    Pipe,            // standard output and error into one pipe, read while the program runs
    File,            // standard output and error into one file, read once the program has ended
    Console,         // none, and started detached: the program has to attach to this process's
                     // console (TestConsole) itself, as a windowed program started from a prompt
    ConsoleHandles,  // this process's console (TestConsole) as its standard handles
    BrokenPipe,      // standard output and error into a pipe whose reading end is closed at once:
                     // every write to it fails
};

struct RunResult {
    DWORD exit_code = 0;
    std::string output;  // the bytes written to the standard output and error (Pipe, File)
    // Every top-level window the program had while it ran, as `class "caption"`, with
    // " (visible)" after those that were shown.
    std::vector<std::string> windows;
};

// Runs a command line to its end as RunToEnd does, with the standard handles asked for, and
// watches the program's top-level windows meanwhile.
RunResult RunToEndWith(std::wstring_view command_line, StandardHandles handles, Millis timeout = kDefaultTimeout);

// A console of this process's own, as a command prompt window has; the console it had (if any)
// is let go first, and its standard handles stay what they were, so the test's own output goes
// where it went. One a process: the console stays until the process ends (under Wine, letting a
// console go that a program attached to meanwhile ends this process, with exit code 0).
class TestConsole {
public:
    TestConsole();
    ~TestConsole();
    TestConsole(const TestConsole&) = delete;
    TestConsole& operator=(const TestConsole&) = delete;

    // The console's output, inheritable.
    HANDLE Output() const { return output_; }
    // Every line of the screen buffer up to the cursor's, without the blanks that fill it out,
    // each followed by "\n".
    std::wstring Text() const;

private:
    HANDLE output_ = INVALID_HANDLE_VALUE;
};

// A started program. Move-only; the destructor kills it if it still runs.
class Process {
public:
    Process() = default;
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts `exe` with the command line `"exe" arguments` in `working_dir` (the exe's folder
    // when empty) and waits until it is idle for input.
    static Process Launch(const std::filesystem::path& exe, std::wstring_view arguments = {},
                          const std::filesystem::path& working_dir = {}, Millis timeout = kDefaultTimeout);
    // Takes hold of a program the test did not start itself (one that the program under test
    // started): the process that shows a visible top-level window with exactly this caption.
    // Processes whose ids are in `ignore` are passed over. The Process kills it when destroyed.
    static Process WaitForProcessWithWindow(std::wstring_view caption, Millis timeout = kDefaultTimeout,
                                            const std::vector<DWORD>& ignore = {});

    DWORD Id() const { return id_; }
    // The full path of the program's executable; empty when it cannot be read.
    std::filesystem::path ImagePath() const;
    HANDLE Handle() const { return process_; }
    bool Running() const;
    // Waits for the program to end and returns its exit code; kills it and throws when it
    // does not end in time.
    DWORD WaitForExit(Millis timeout = kDefaultTimeout);
    void Kill();

    // Top-level windows of the process, hidden ones included.
    std::vector<HWND> Windows() const;
    // The visible top-level window with exactly this caption, or nullptr.
    HWND FindTopWindow(std::wstring_view caption) const;
    HWND WaitForWindow(std::wstring_view caption, Millis timeout = kDefaultTimeout) const;
    // A visible dialog (#32770) of the process: a message box, a file dialog.
    HWND FindDialog(std::wstring_view caption = {}) const;
    HWND WaitForDialog(std::wstring_view caption = {}, Millis timeout = kDefaultTimeout) const;
    HWND WaitForMessageBox(Millis timeout = kDefaultTimeout) const { return WaitForDialog({}, timeout); }
    void WaitUntilNoWindows(Millis timeout = kDefaultTimeout) const;

private:
    HANDLE process_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD id_ = 0;
};

// ---- Locale ---------------------------------------------------------------------------

// The display language a process runs with, as Windows tells it to the process.
struct RunLocale {
    UINT ansi_code_page = 0;
    std::wstring user_locale;  // the user's default locale, "zh-CN"
    std::wstring ui_language;  // the user's default UI language, "zh-CN"
};
RunLocale LocaleOfThisProcess();
// Asked inside the program, on threads started there for the purpose.
RunLocale LocaleOf(const Process& program);
// A case run for one display language sets LZ_E2E_EXPECT_ACP (an ANSI code page, "1252") and
// LZ_E2E_EXPECT_LOCALE (a locale name, "en-US"); this throws DriverError unless the test and
// `program` both run with them, since the case would then prove nothing about that language.
// Without the variables it checks nothing.
void RequireExpectedLocale(const Process& program);

// ---- Windows and controls -------------------------------------------------------------

std::wstring Text(HWND window);  // WM_GETTEXT, marshalled across processes
void SetText(HWND window, std::wstring_view text);
std::wstring ClassName(HWND window);
bool IsEnabled(HWND window);
bool IsVisible(HWND window);  // the window and its parents are visible
SIZE OuterSize(HWND window);
SIZE ClientSize(HWND window);
// The control's rectangle in its parent's client coordinates.
RECT RectInParent(HWND control);
void WaitForDestroyed(HWND window, Millis timeout = kDefaultTimeout);
// Whether the window's thread handles a message within `timeout` (it is not stuck in a loop
// that takes no messages).
bool Responds(HWND window, Millis timeout = Millis{2000});

struct Control {
    HWND hwnd = nullptr;
    int id = 0;
    std::wstring class_name;
    std::wstring text;
    RECT rect{};  // in the parent's client coordinates
    bool visible = false;
    bool enabled = false;
};

// Direct children of `window` in creation order (their inner parts, such as a list view's
// header, are left out).
std::vector<Control> Controls(HWND window);
HWND ControlById(HWND window, int id);
// Each lookup returns nullptr when nothing matches; an empty class matches any class.
HWND ControlByCaption(HWND window, std::wstring_view caption, std::wstring_view class_name = {});
HWND ControlByClass(HWND window, std::wstring_view class_name, int index = 0);
HWND ControlAt(HWND window, POINT client_point);
// The same, waiting for the control and throwing when it does not appear.
HWND RequireControl(HWND window, std::wstring_view caption, std::wstring_view class_name = {},
                    Millis timeout = kDefaultTimeout);

// ---- Input ----------------------------------------------------------------------------

void Click(HWND button);           // posts BM_CLICK: returns before a modal window closes
void PressEscape(HWND window);     // WM_KEYDOWN/UP VK_ESCAPE to the focused control, else the window
void LeftMouseDown(HWND control);  // WM_LBUTTONDOWN at the control's centre
HWND FocusedControl(HWND window);  // from the window thread's GUI state; nullptr if none
void PressCloseBox(HWND window);   // posts WM_SYSCOMMAND SC_CLOSE, as the title bar's close button

// ---- Message boxes --------------------------------------------------------------------

std::wstring MessageBoxText(HWND box);  // its static text, id 0xFFFF
void DismissMessageBox(HWND box);       // clicks OK and waits until the box is gone
// Waits for the next message box of the program, reads its text, dismisses it and returns the text.
std::wstring AnswerMessageBox(const Process& program, Millis timeout = kDefaultTimeout);
// Fills the name box of the program's file dialog of that title and confirms with OK; returns
// the dialog. Callers wait for it to be gone before they look for the next dialog: a file
// dialog that closes while the process's dialogs are searched by caption makes that search fail.
HWND ChooseInFileDialog(const Process& program, std::wstring_view title, const std::filesystem::path& file);

// ---- List views and tab controls (across processes) -----------------------------------

struct ListColumn {
    std::wstring text;
    int width = 0;
};
int ListRowCount(HWND list);
std::vector<ListColumn> ListColumns(HWND list);
std::wstring ListItemText(HWND list, int row, int column = 0);
std::vector<std::wstring> ListRows(HWND list, int column = 0);
int ListSelectedRow(HWND list);          // -1 when none
void ListSelectRow(HWND list, int row);  // selects and focuses the row, as a click would
int TabCurrentPage(HWND tab);

// ---- Screen ---------------------------------------------------------------------------

// What the screen shows where the window is (frame included, the parts off the screen left
// out): 24-bit pixels, rows bottom-up as a BMP holds them. Empty when the screen cannot be read.
std::string ScreenPixels(HWND window);
// Saves the whole screen as a 24-bit BMP; false when it cannot be read or written.
bool SaveScreenshot(const std::filesystem::path& bmp_file);
// The same, cut to the window's rectangle on the screen (frame and title bar included).
bool SaveScreenshot(const std::filesystem::path& bmp_file, HWND window);
// Saves the screen as <name>.bmp in the folder named by LZ_E2E_ARTIFACTS (a path of the build
// machine, outside the throw-away Wine prefix); returns the file, or empty when there is no
// such folder or the shot failed.
std::filesystem::path SaveArtifactScreenshot(std::string_view name);
std::filesystem::path SaveArtifactScreenshot(std::string_view name, HWND window);

// ---- Program folders ------------------------------------------------------------------

// The build's optimizer.exe and lzvtEditor.exe as Windows paths.
std::filesystem::path BuiltOptimizer();
std::filesystem::path BuiltEditor();
// The command-line recorder (see tests/e2e/recorder) as built.
std::filesystem::path BuiltRecorder();
// Maps a path of the build machine ("/tmp/x/a.exe") to Wine's view of it ("Z:\tmp\x\a.exe").
std::filesystem::path FromHostPath(std::string_view host_path);

struct SchemeFile {
    std::wstring name;  // file name inside Optimal, e.g. L"demo.lzvt"
    std::string bytes;  // content as stored: GBK bytes
};

// The demo schemes of the source tree (samples/*.lzvt), in file-name order.
std::vector<SchemeFile> SampleSchemes();

// A fresh program folder in the temp directory with copies of both programs and an Optimal
// subfolder holding `schemes`; removed by the destructor.
class ProgramFolder {
public:
    explicit ProgramFolder(const std::vector<SchemeFile>& schemes = {});
    // The same, made inside `parent` (created when missing) instead of the temp directory.
    ProgramFolder(const std::vector<SchemeFile>& schemes, const std::filesystem::path& parent);
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    const std::filesystem::path& Dir() const { return dir_; }
    std::filesystem::path Optimizer() const { return dir_ / L"optimizer.exe"; }
    std::filesystem::path Editor() const { return dir_ / L"lzvtEditor.exe"; }
    std::filesystem::path Optimal() const { return dir_ / L"Optimal"; }

    Process StartOptimizer(std::wstring_view arguments = {}) const;
    Process StartEditor(std::wstring_view arguments = {}) const;

    // Copies the command-line recorder into the folder and returns its path.
    std::filesystem::path InstallRecorder() const;

private:
    void Populate(const std::vector<SchemeFile>& schemes);

    std::filesystem::path dir_;
};

// The command lines the recorder at `recorder_exe` has written so far, one per start.
std::vector<std::wstring> RecordedCommandLines(const std::filesystem::path& recorder_exe);

std::string ReadFileBytes(const std::filesystem::path& file);
void WriteFileBytes(const std::filesystem::path& file, std::string_view bytes);

// ---- Registry -------------------------------------------------------------------------

// Empty when the value is absent or of another type.
std::optional<std::wstring> RegistryString(HKEY root, std::wstring_view subkey, std::wstring_view value);
std::optional<DWORD> RegistryDword(HKEY root, std::wstring_view subkey, std::wstring_view value);
std::optional<std::string> RegistryBinary(HKEY root, std::wstring_view subkey, std::wstring_view value);
bool RegistryKeyExists(HKEY root, std::wstring_view subkey);

// A value exactly as stored: its type and its bytes, nothing added or taken away (no
// terminator appended to a string that lacks one).
struct RegistryValue {
    DWORD type = REG_NONE;
    std::string bytes;
};
std::optional<RegistryValue> RegistryRawValue(HKEY root, std::wstring_view subkey, std::wstring_view value);
inline bool operator==(const RegistryValue& a, const RegistryValue& b) {
    return a.type == b.type && a.bytes == b.bytes;
}

// Every key at and below `subkey`, by its path below it ("" for the key itself, "a\\b" below),
// each with its values by name, exactly as stored. Empty when the key is missing.
using RegistryValues = std::map<std::wstring, RegistryValue>;
std::map<std::wstring, RegistryValues> RegistryTree(HKEY root, std::wstring_view subkey);

// Writes the test's own registry data; each throws DriverError when the write fails.
void RegistryCreateKey(HKEY root, std::wstring_view subkey);
void RegistrySetString(HKEY root, std::wstring_view subkey, std::wstring_view value, std::wstring_view data);
void RegistrySetDword(HKEY root, std::wstring_view subkey, std::wstring_view value, DWORD data);
// Any type and exactly these bytes (a string without its terminator stays without it).
void RegistrySetRaw(HKEY root, std::wstring_view subkey, std::wstring_view value, DWORD type, std::string_view bytes);

// Makes a key (created when missing) unwritable for every process: a protected access list
// that grants only KEY_READ, to everyone. The destructor puts the key's former access list
// back. The lock lives in the wineserver: it is gone once that server stops.
class RegistryWriteLock {
public:
    RegistryWriteLock(HKEY root, std::wstring_view subkey);
    ~RegistryWriteLock();
    RegistryWriteLock(const RegistryWriteLock&) = delete;
    RegistryWriteLock& operator=(const RegistryWriteLock&) = delete;

private:
    HKEY key_ = nullptr;             // opened before the lock, with the right to change the list
    std::string former_descriptor_;  // self-relative security descriptor with the former list
};

}  // namespace lz::e2e
