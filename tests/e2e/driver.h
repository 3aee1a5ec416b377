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

// Polls `done` every few milliseconds until it returns true or `timeout` passes.
bool PollUntil(const std::function<bool()>& done, Millis timeout = kDefaultTimeout);

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

  DWORD Id() const { return id_; }
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

void Click(HWND button);            // posts BM_CLICK: returns before a modal window closes
void PressEscape(HWND window);      // WM_KEYDOWN/UP VK_ESCAPE to the focused control, else the window
void LeftMouseDown(HWND control);   // WM_LBUTTONDOWN at the control's centre
HWND FocusedControl(HWND window);   // from the window thread's GUI state; nullptr if none

// ---- Message boxes --------------------------------------------------------------------

std::wstring MessageBoxText(HWND box);  // its static text, id 0xFFFF
void DismissMessageBox(HWND box);       // clicks OK and waits until the box is gone

// ---- List views and tab controls (across processes) -----------------------------------

struct ListColumn {
  std::wstring text;
  int width = 0;
};
int ListRowCount(HWND list);
std::vector<ListColumn> ListColumns(HWND list);
std::wstring ListItemText(HWND list, int row, int column = 0);
std::vector<std::wstring> ListRows(HWND list, int column = 0);
int ListSelectedRow(HWND list);  // -1 when none
void ListSelectRow(HWND list, int row);  // selects and focuses the row, as a click would
int TabCurrentPage(HWND tab);

// ---- Screen ---------------------------------------------------------------------------

// Saves the whole screen as a 24-bit BMP; false when it cannot be read or written.
bool SaveScreenshot(const std::filesystem::path& bmp_file);
// Saves the screen as <name>.bmp in the folder named by LZ_E2E_ARTIFACTS (a path of the build
// machine, outside the throw-away Wine prefix); returns the file, or empty when there is no
// such folder or the shot failed.
std::filesystem::path SaveArtifactScreenshot(std::string_view name);

// ---- Program folders ------------------------------------------------------------------

// The build's optimizer.exe and lzvtEditor.exe as Windows paths.
std::filesystem::path BuiltOptimizer();
std::filesystem::path BuiltEditor();
// Maps a path of the build machine ("/tmp/x/a.exe") to Wine's view of it ("Z:\tmp\x\a.exe").
std::filesystem::path FromHostPath(std::string_view host_path);

struct SchemeFile {
  std::wstring name;   // file name inside Optimal, e.g. L"demo.lzvt"
  std::string bytes;   // content as stored: GBK bytes
};

// A fresh program folder in the temp directory with copies of both programs and an Optimal
// subfolder holding `schemes`; removed by the destructor.
class ProgramFolder {
 public:
  explicit ProgramFolder(const std::vector<SchemeFile>& schemes = {});
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  const std::filesystem::path& Dir() const { return dir_; }
  std::filesystem::path Optimizer() const { return dir_ / L"optimizer.exe"; }
  std::filesystem::path Editor() const { return dir_ / L"lzvtEditor.exe"; }
  std::filesystem::path Optimal() const { return dir_ / L"Optimal"; }

  Process StartOptimizer(std::wstring_view arguments = {}) const;
  Process StartEditor(std::wstring_view arguments = {}) const;

 private:
  std::filesystem::path dir_;
};

std::string ReadFileBytes(const std::filesystem::path& file);
void WriteFileBytes(const std::filesystem::path& file, std::string_view bytes);

// ---- Registry -------------------------------------------------------------------------

// Empty when the value is absent or of another type.
std::optional<std::wstring> RegistryString(HKEY root, std::wstring_view subkey, std::wstring_view value);
std::optional<DWORD> RegistryDword(HKEY root, std::wstring_view subkey, std::wstring_view value);
std::optional<std::string> RegistryBinary(HKEY root, std::wstring_view subkey, std::wstring_view value);
bool RegistryKeyExists(HKEY root, std::wstring_view subkey);

}  // namespace lz::e2e
