// Times the real optimizer.exe and lzvtEditor.exe under Wine, driven from outside the way a
// user meets them, and prints what it measured:
//  1. optimizer: from clicking 启动方案 until step 1 is on screen, a large scheme against a
//     three-step one;
//  2. optimizer: from process start until the main window shows a full catalogue, against an
//     empty one;
//  3. optimizer: memory while the large scheme runs, against the idle figure before;
//  4. editor: from process start until a large scheme is listed, against a three-line one,
//     and the time to save the large one;
//  5. both programs: from process start until the main window shows, against a bare window
//     program that creates the same main window's controls and nothing else (bare_window);
//  6. reading the large scheme (split and parse) against counting its lines with memchr,
//     in this process;
//  7. editor: from process start until a registry file as large as its large scheme is
//     imported and listed, against listing that scheme;
//  8. optimizer: "/run" of a scheme of 10,000 registry writes from process start to its end,
//     against the system's reg.exe importing a registry file of the same values, and against a
//     bare program making the same writes and nothing else (bare_window writes).
// Each time is measured --repeat times, alternating the two sides, and the median is kept.
// This is a benchmark, not a test: it only fails when a program cannot be driven at all.
//
//   program_bench [--repeat N] [--steps N] [--catalogue N]
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/layouts.h"
#include "optimizer/layouts.h"
#include "platform/text.h"
#include "scheme/scheme.h"
#include "tests/e2e/driver.h"

#ifndef LZ_BENCH_OPTIMIZER_EXE
#error "LZ_BENCH_OPTIMIZER_EXE must name the built optimizer.exe"
#endif
#ifndef LZ_BENCH_EDITOR_EXE
#error "LZ_BENCH_EDITOR_EXE must name the built lzvtEditor.exe"
#endif
#ifndef LZ_BENCH_BARE_EXE
#error "LZ_BENCH_BARE_EXE must name the built bare_window.exe"
#endif

namespace {

namespace fs = std::filesystem;
namespace sc = lz::scheme;
using Clock = std::chrono::steady_clock;
using lz::e2e::Millis;

// The end-to-end tests' driver: reading and clicking the programs' windows from outside.
using lz::e2e::Click;
using lz::e2e::DismissMessageBox;
using lz::e2e::DriverError;
using lz::e2e::ListRowCount;
using lz::e2e::ListSelectRow;
using lz::e2e::Narrow;
using lz::e2e::RegistryDword;
using lz::e2e::RegistryKeyExists;
using lz::e2e::RegistryString;
using lz::e2e::Text;
using lz::e2e::Widen;
using lz::e2e::WideToGbk;

constexpr wchar_t kOptimizerCaption[] = L"LZ Vantor（岚舟智能优化）";
constexpr wchar_t kEditorCaption[] = L"LZ 优化方案编辑器";
const std::wstring kRunnerCaption = std::wstring(21, L' ') + L"方案优化";
constexpr wchar_t kSavedMessage[] = L"成功！";

// Control ids, found by name in the programs' own window tables.
const int kCatalogueListId = lz::optimizer::mainWindowLayout().idOf(lz::optimizer::main_window::kSchemeList);
const int kStartButtonId = lz::optimizer::mainWindowLayout().idOf(lz::optimizer::main_window::kStart);
const int kPathBoxId = lz::optimizer::runnerWindowLayout().idOf(lz::optimizer::runner_window::kPathBox);
const int kStepListId = lz::editor::mainWindowLayout().idOf(lz::editor::main_window::kSteps);
const int kSaveButtonId = lz::editor::mainWindowLayout().idOf(lz::editor::main_window::kSave);
constexpr int kMessageTextId = 0xFFFF;  // a message box's text

// Long enough for a 10 MB scheme on a slow machine; a run that takes longer is broken.
constexpr Millis kSlowLimit{180000};

struct Options {
    int repeat = 5;
    int steps = 100000;
    int catalogue = 10000;
};

// ---- The programs, from outside --------------------------------------------------------------

// A started program; killed when this goes out of scope.
class Program {
public:
    Program(const fs::path& exe, std::wstring_view arguments, const fs::path& dir) {
        std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
        if (!arguments.empty()) commandLine.append(L" ").append(arguments);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup,
                            &info))
            throw DriverError("cannot start " + Narrow(exe.wstring()) + " (error " + std::to_string(GetLastError()) +
                              ")");
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        id_ = info.dwProcessId;
    }
    ~Program() {
        TerminateProcess(process_, 0);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_; }

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// A program folder in the temp directory: both programs and an Optimal subfolder with the
// given schemes. Removed with everything in it when this goes out of scope.
class ProgramFolder {
public:
    explicit ProgramFolder(const std::vector<std::pair<std::wstring, std::string>>& schemes = {}) {
        static int counter = 0;
        dir_ = fs::temp_directory_path() /
               (L"lz-bench-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++));
        fs::create_directories(Optimal());
        fs::copy_file(FromHostPath(LZ_BENCH_OPTIMIZER_EXE), Optimizer(), fs::copy_options::overwrite_existing);
        fs::copy_file(FromHostPath(LZ_BENCH_EDITOR_EXE), Editor(), fs::copy_options::overwrite_existing);
        fs::copy_file(FromHostPath(LZ_BENCH_BARE_EXE), Bare(), fs::copy_options::overwrite_existing);
        for (const auto& [name, bytes] : schemes) WriteFile(Optimal() / name, bytes);
    }
    ~ProgramFolder() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    const fs::path& Dir() const { return dir_; }
    fs::path Optimizer() const { return dir_ / L"optimizer.exe"; }
    fs::path Editor() const { return dir_ / L"lzvtEditor.exe"; }
    fs::path Bare() const { return dir_ / L"bare_window.exe"; }
    fs::path Optimal() const { return dir_ / L"Optimal"; }

    static void WriteFile(const fs::path& file, std::string_view bytes) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw DriverError("cannot write " + Narrow(file.wstring()));
    }
    static std::string ReadFile(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    // The build's path ("/tmp/b/optimizer.exe") as Wine sees it ("Z:\tmp\b\optimizer.exe").
    static fs::path FromHostPath(std::string_view host) {
        std::wstring path = Widen(host);
        if (path.empty() || path.front() != L'/') return path;
        std::replace(path.begin(), path.end(), L'/', L'\\');
        return L"Z:" + path;
    }

    fs::path dir_;
};

// ---- Schemes ----------------------------------------------------------------------------

struct GeneratedScheme {
    std::string bytes;        // GBK, CRLF, the name last, as the editor saves it
    int steps = 0;            // as the optimizer reads it
    int rows = 0;             // as the editor lists it: every line but the last
    std::wstring firstShown;  // what the runner shows for step 1 (in 编辑框1)
};

// Step 1 is always this registry write, so the runner's first screen is known exactly.
constexpr char kFirstPath[] = "HKEY_CURRENT_USER\\Software\\LzBench\\首个步骤";

// A scheme of registry writes of all three types, deletes and hints (with `multiLine`, a
// quarter of the hints run over several lines), with Chinese words, ending when `maxSteps`
// steps or `maxRows` rows are written, whichever comes first. About 100 bytes a line, so
// 100,000 lines are ~10 MB.
GeneratedScheme MakeScheme(int maxSteps, int maxRows, unsigned seed, bool multiLine = true) {
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    static const std::vector<std::string> words = [] {
        std::vector<std::string> gbk;
        for (const char* w : {"优化", "注册表", "提示", "系统", "桌面", "资源管理器", "Explorer", "Desktop", "Advanced",
                              "Policies", "Performance", "关闭动画"})
            gbk.push_back(lz::text::utf8ToGbk(w));
        return gbk;
    }();
    const auto phrase = [&](int count) {
        std::string s;
        for (int i = 0; i < count; ++i)
            s.append(words[static_cast<size_t>(pick(static_cast<int>(words.size())))]).append(i + 1 < count ? " " : "");
        return s;
    };
    const auto path = [&] {
        std::string p = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\";
        for (int i = 0, n = 1 + pick(3); i < n; ++i) p.append(phrase(1)).append("\\");
        return p.append("Value").append(std::to_string(pick(1000)));
    };

    GeneratedScheme out;
    std::vector<std::string> lines;  // each written as one step line of the file
    lines.push_back(sc::composeWrite(lz::text::utf8ToGbk(kFirstPath), "1", sc::kDwordCode));
    out.steps = 1;
    out.rows = 1;
    while (out.steps < maxSteps && out.rows < maxRows) {
        const int kind = pick(10);
        if (kind < 6) {
            const std::string_view types[] = {sc::kDwordCode, sc::kStringCode, sc::kBinaryCode};
            lines.push_back(sc::composeWrite(path(), std::to_string(pick(100000)), types[pick(3)]));
        } else if (kind < 7) {
            lines.push_back(sc::composeDelete(path()));
        } else {
            std::string hint = phrase(8 + pick(10));
            const int extra = std::min(multiLine && kind == 9 ? 1 + pick(3) : 0, maxRows - out.rows - 1);
            for (int line = 0; line < extra; ++line) hint.append(sc::kLineBreak).append(phrase(5 + pick(8)));
            lines.push_back(sc::composeHint(hint));
            out.rows += extra;
        }
        ++out.steps;
        ++out.rows;
    }
    out.bytes = sc::serialize(lines, lz::text::utf8ToGbk("性能测试方案 " + std::to_string(out.steps)));
    out.firstShown = Widen(kFirstPath);
    return out;
}

// ---- Timing and reading the target --------------------------------------------------------

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Polls `ready` every two milliseconds or so; the time from `start` to the first poll that
// saw it. Each poll costs Wine's server a few calls, which the program under measurement
// shares, so the driver neither polls harder nor looks up what it has already found.
double TimeUntil(Clock::time_point start, const std::function<bool()>& ready, const std::string& what,
                 Millis limit = kSlowLimit) {
    const auto deadline = start + limit;
    while (!ready()) {
        if (Clock::now() > deadline) throw DriverError("gave up waiting for " + what);
        Sleep(2);
    }
    return MsSince(start);
}

// SendMessage bounded by a generous timeout: the target may be busy for seconds, which is
// what is being measured, so the driver waits rather than giving up after a few.
// A top-level window of the process with this caption, visible or not yet, or (`dialog`) a
// visible dialog. Reads captions without sending messages, so a busy program is no obstacle.
HWND FindTop(DWORD pid, std::wstring_view caption, bool dialog = false) {
    struct Search {
        DWORD pid;
        std::wstring_view caption;
        bool dialog;
        HWND found;
    } search{pid, caption, dialog, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->pid) return TRUE;
            if (s->dialog) {
                if (!IsWindowVisible(window)) return TRUE;
                wchar_t name[16] = {};
                GetClassNameW(window, name, 16);
                if (std::wstring_view(name) != L"#32770") return TRUE;
            } else {
                wchar_t text[256] = {};
                const int n = InternalGetWindowText(window, text, 256);
                if (std::wstring_view(text, static_cast<size_t>(std::max(n, 0))) != s->caption) return TRUE;
            }
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// True once `window` (found by caption when it is still null) is visible.
bool Shown(DWORD pid, std::wstring_view caption, HWND& window) {
    if (window == nullptr) window = FindTop(pid, caption);
    return window != nullptr && IsWindowVisible(window);
}

// The main window of the program once it is visible and its list holds `rows` rows.
std::function<bool()> ListedIn(const Program& process, const wchar_t* caption, int listId, int rows, HWND& window) {
    window = nullptr;
    return [&process, caption, listId, rows, &window] {
        if (!Shown(process.Id(), caption, window)) return false;
        HWND list = GetDlgItem(window, listId);
        return list != nullptr && ListRowCount(list) == rows;
    };
}

std::wstring Quoted(const fs::path& path) {
    return L"\"" + path.wstring() + L"\"";
}

// A pause before each timed action: Wine tears a killed program down and a started one
// settles (its window manager, fonts, the virtual desktop) in the background, and a
// measurement that overlaps that measures Wine rather than the program.
void Settle() {
    Sleep(400);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The label padded with blanks to `columns` terminal columns. Every three-byte UTF-8
// character in this program's labels is Chinese or full-width and takes two columns.
std::string Padded(std::string_view utf8, int columns) {
    int width = 0;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        width += length >= 3 ? 2 : 1;
        i += length;
    }
    return std::string(utf8) + std::string(static_cast<size_t>(std::max(columns - width, 0)), ' ');
}

void PrintSeries(const std::string& label, const std::vector<double>& values) {
    std::printf("  %s", Padded(label, 34).c_str());
    for (double v : values) std::printf(" %8.1f", v);
    std::printf("   median %8.1f  min %8.1f ms\n", Median(values),
                values.empty() ? 0.0 : *std::min_element(values.begin(), values.end()));
    std::fflush(stdout);
}

// ---- 1 and 3: the runner ------------------------------------------------------------------

// Waits until the optimizer lists the one scheme of its folder and selects it; returns the
// main window.
HWND OptimizerWithSelection(const Program& optimizer) {
    HWND main = nullptr;
    TimeUntil(Clock::now(), ListedIn(optimizer, kOptimizerCaption, kCatalogueListId, 1, main),
              "the optimizer's catalogue");
    ListSelectRow(GetDlgItem(main, kCatalogueListId), 0);
    return main;
}

// 启动方案 clicked until the runner window is visible with step 1 (a registry write) shown.
// `whileWaiting` runs at every poll.
double TimeFirstStep(const Program& optimizer, HWND main, const GeneratedScheme& scheme,
                     const std::function<void()>& whileWaiting = {}) {
    HWND start = GetDlgItem(main, kStartButtonId);
    Settle();
    const auto clicked = Clock::now();
    Click(start);
    HWND runner = nullptr;
    return TimeUntil(
        clicked,
        [&] {
            if (whileWaiting) whileWaiting();
            return Shown(optimizer.Id(), kRunnerCaption, runner) &&
                   Text(GetDlgItem(runner, kPathBoxId)) == scheme.firstShown;
        },
        "step 1 in the runner window");
}

struct RunnerTimes {
    std::vector<double> large, small;
};

RunnerTimes TimeRunner(const Options& options, const GeneratedScheme& large, const GeneratedScheme& small) {
    // One scheme in each folder, so that it is row 0 of the catalogue.
    const ProgramFolder largeFolder({{L"大方案.lzvt", large.bytes}});
    const ProgramFolder smallFolder({{L"small.lzvt", small.bytes}});
    RunnerTimes times;
    for (int rep = 0; rep < options.repeat; ++rep) {
        for (bool isLarge : {false, true}) {
            const ProgramFolder& folder = isLarge ? largeFolder : smallFolder;
            const Program optimizer(folder.Optimizer(), {}, folder.Dir());
            HWND main = OptimizerWithSelection(optimizer);
            (isLarge ? times.large : times.small).push_back(TimeFirstStep(optimizer, main, isLarge ? large : small));
        }
    }
    return times;
}

struct MemoryFigures {
    PROCESS_MEMORY_COUNTERS_EX idle{};
    PROCESS_MEMORY_COUNTERS_EX running{};
    SIZE_T privateMax = 0;  // the largest PagefileUsage seen while the scheme loaded
    SIZE_T committedIdle = 0, committedRunning = 0;
    size_t fileSize = 0;
};

// Private memory the process has committed, summed over its address space: what Windows
// counts as its private bytes. Wine's PagefileUsage counts only pages that were touched, so
// memory committed but never written shows here and not there.
SIZE_T CommittedPrivate(HANDLE process) {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info{};
    const char* at = nullptr;
    while (VirtualQueryEx(process, at, &info, sizeof info) == sizeof info) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

PROCESS_MEMORY_COUNTERS_EX MemoryOf(const Program& process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process.Handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        throw DriverError("GetProcessMemoryInfo failed (error " + std::to_string(GetLastError()) + ")");
    return counters;
}

MemoryFigures MeasureRunnerMemory(const GeneratedScheme& large) {
    const ProgramFolder folder({{L"大方案.lzvt", large.bytes}});
    const Program optimizer(folder.Optimizer(), {}, folder.Dir());
    HWND main = OptimizerWithSelection(optimizer);
    Sleep(500);  // let start-up settle before the idle figure
    MemoryFigures figures;
    figures.fileSize = large.bytes.size();
    figures.idle = MemoryOf(optimizer);
    figures.committedIdle = CommittedPrivate(optimizer.Handle());
    TimeFirstStep(optimizer, main, large,
                  [&] { figures.privateMax = std::max(figures.privateMax, MemoryOf(optimizer).PagefileUsage); });
    Sleep(200);
    figures.running = MemoryOf(optimizer);
    figures.committedRunning = CommittedPrivate(optimizer.Handle());
    figures.privateMax = std::max(figures.privateMax, figures.running.PagefileUsage);
    return figures;
}

// ---- 2: the catalogue ---------------------------------------------------------------------

struct CatalogueTimes {
    std::vector<double> full, empty;
};

CatalogueTimes TimeCatalogue(const Options& options, const GeneratedScheme& small) {
    std::vector<std::pair<std::wstring, std::string>> schemes;
    schemes.reserve(static_cast<size_t>(options.catalogue));
    for (int i = 0; i < options.catalogue; ++i) {
        // Every tenth name is Chinese, as installed schemes often are.
        std::wstring name = (i % 10 == 0 ? L"方案" : L"scheme-") + std::to_wstring(i) + L".lzvt";
        schemes.emplace_back(std::move(name), small.bytes);
    }
    const auto writing = Clock::now();
    const ProgramFolder full(schemes);
    std::printf("  (wrote %d scheme files in %.0f ms)\n", options.catalogue, MsSince(writing));
    const ProgramFolder empty;
    CatalogueTimes times;
    for (int rep = 0; rep < options.repeat; ++rep) {
        for (bool isFull : {false, true}) {
            const ProgramFolder& folder = isFull ? full : empty;
            const int rows = isFull ? options.catalogue : 0;
            HWND main = nullptr;
            Settle();
            const auto started = Clock::now();
            const Program optimizer(folder.Optimizer(), {}, folder.Dir());
            const double ms = TimeUntil(started, ListedIn(optimizer, kOptimizerCaption, kCatalogueListId, rows, main),
                                        "the catalogue");
            (isFull ? times.full : times.empty).push_back(ms);
        }
    }
    return times;
}

// ---- 4: the editor ------------------------------------------------------------------------

struct EditorTimes {
    std::vector<double> large, small, save;
    bool savedSameBytes = false;
};

// 保存文件 clicked until the message box says "成功！", `repeat` times in a row.
std::vector<double> TimeSaves(const Program& editor, HWND window, int repeat) {
    HWND save = GetDlgItem(window, kSaveButtonId);
    std::vector<double> times;
    for (int rep = 0; rep < repeat; ++rep) {
        HWND box = nullptr;
        Settle();
        const auto clicked = Clock::now();
        Click(save);
        times.push_back(TimeUntil(
            clicked, [&] { return (box = FindTop(editor.Id(), {}, true)) != nullptr; }, "the message after saving"));
        const std::wstring message = Text(GetDlgItem(box, kMessageTextId));
        if (message != kSavedMessage) throw DriverError("saving said \"" + Narrow(message) + "\"");
        DismissMessageBox(box);
    }
    return times;
}

EditorTimes TimeEditor(const Options& options, const GeneratedScheme& large, const GeneratedScheme& small) {
    const ProgramFolder folder;
    const fs::path largePath = folder.Dir() / L"大方案.lzvt";
    const fs::path smallPath = folder.Dir() / L"small.lzvt";
    ProgramFolder::WriteFile(largePath, large.bytes);
    ProgramFolder::WriteFile(smallPath, small.bytes);

    EditorTimes times;
    for (int rep = 0; rep < options.repeat; ++rep) {
        for (bool isLarge : {false, true}) {
            const GeneratedScheme& scheme = isLarge ? large : small;
            HWND window = nullptr;
            Settle();
            const auto started = Clock::now();
            const Program editor(folder.Editor(), Quoted(isLarge ? largePath : smallPath), folder.Dir());
            const double ms = TimeUntil(started, ListedIn(editor, kEditorCaption, kStepListId, scheme.rows, window),
                                        "the editor's list");
            (isLarge ? times.large : times.small).push_back(ms);
            // The large scheme is saved in the editor that listed it last.
            if (isLarge && rep + 1 == options.repeat) times.save = TimeSaves(editor, window, options.repeat);
        }
    }
    times.savedSameBytes = ProgramFolder::ReadFile(largePath) == large.bytes;
    return times;
}

// ---- 7: the editor importing a registry file ------------------------------------------------

// A registry file's bytes: UTF-16LE with its mark, as the system's registry editor writes one.
std::string Utf16File(std::wstring_view text) {
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

// A registry file of `values` values, DWORDs and strings, in sections of 400, UTF-16 with its
// mark, as the system's registry editor exports one.
std::string RegistryFile(int values) {
    std::wstring text = L"Windows Registry Editor Version 5.00\r\n";
    for (int i = 0; i < values; ++i) {
        if (i % 400 == 0)
            text += L"\r\n[HKEY_CURRENT_USER\\Software\\LzBench\\Key" + std::to_wstring(i / 400) + L"]\r\n";
        text += L"\"Value" + std::to_wstring(i) + L"\"=";
        text += i % 2 == 0 ? L"dword:" + std::to_wstring(10000000 + i) : std::wstring(L"\"text of a value\"");
        text += L"\r\n";
    }
    return Utf16File(text);
}

// Process start until every entry of a registry file given on the command line is listed: the
// import's message ("已导入 N 个步骤。") shows once the steps are in the list, before the main
// window does; the count is checked after it.
std::vector<double> TimeImport(const Options& options, int values) {
    const ProgramFolder folder;
    const fs::path regPath = folder.Dir() / L"大注册表.reg";
    ProgramFolder::WriteFile(regPath, RegistryFile(values));
    std::vector<double> times;
    for (int rep = 0; rep < options.repeat; ++rep) {
        HWND box = nullptr;
        Settle();
        const auto started = Clock::now();
        const Program editor(folder.Editor(), Quoted(regPath), folder.Dir());
        times.push_back(TimeUntil(
            started, [&] { return (box = FindTop(editor.Id(), {}, true)) != nullptr; }, "the import's message"));
        const std::wstring message = Text(GetDlgItem(box, kMessageTextId));
        if (message != L"已导入 " + std::to_wstring(values) + L" 个步骤。")
            throw DriverError("the import said \"" + Narrow(message) + "\"");
        DismissMessageBox(box);
        HWND window = nullptr;
        TimeUntil(Clock::now(), ListedIn(editor, kEditorCaption, kStepListId, values, window), "the imported steps");
    }
    return times;
}

// ---- 5: start until the main window shows ------------------------------------------------

struct StartTimes {
    std::vector<double> optimizer, optimizerBare, editor, editorBare;
};

// Process start until the main window is visible with its (empty) list: the optimizer with
// an empty Optimal folder, the editor with no file, each beside the bare window program with
// the same window, in turns. A start under Wine varies by a third from run to run, far more
// than the programs differ, so this takes three times the runs of the other measurements.
StartTimes TimeStarts(const Options& options) {
    const ProgramFolder folder;
    StartTimes times;
    struct Variant {
        fs::path exe;
        const wchar_t* arguments;
        const wchar_t* caption;
        int listId;
        std::vector<double>* into;
    };
    const Variant variants[] = {
        {folder.Optimizer(), L"", kOptimizerCaption, kCatalogueListId, &times.optimizer},
        {folder.Bare(), L"optimizer", kOptimizerCaption, kCatalogueListId, &times.optimizerBare},
        {folder.Editor(), L"", kEditorCaption, kStepListId, &times.editor},
        {folder.Bare(), L"editor", kEditorCaption, kStepListId, &times.editorBare},
    };
    for (int rep = 0; rep < 3 * options.repeat; ++rep) {
        for (const Variant& v : variants) {
            HWND main = nullptr;
            Settle();
            const auto started = Clock::now();
            const Program program(v.exe, v.arguments, folder.Dir());
            v.into->push_back(TimeUntil(started, ListedIn(program, v.caption, v.listId, 0, main), "the main window"));
        }
    }
    return times;
}

// ---- 6: reading a scheme ------------------------------------------------------------------

struct ReadTimes {
    double count = 0, parse = 0;  // fastest of the runs, ms
    size_t lines = 0, steps = 0;
};

size_t MemchrLineCount(std::string_view text) {
    size_t lines = 1;
    for (const char* p = text.data();
         (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(text.data() + text.size() - p)))); ++p)
        ++lines;
    return lines;
}

// The fastest of 20 interleaved runs of each, so that both meet the same machine.
ReadTimes TimeReading(const GeneratedScheme& scheme) {
    ReadTimes times{1e300, 1e300, 0, 0};
    for (int run = 0; run < 20; ++run) {
        auto start = Clock::now();
        times.lines = MemchrLineCount(scheme.bytes);
        times.count = std::min(times.count, MsSince(start));
        start = Clock::now();
        const sc::StepTable table = sc::StepTable::overText(scheme.bytes);
        times.parse = std::min(times.parse, MsSince(start));
        times.steps = table.size();
    }
    return times;
}

// ---- 8: a scheme's registry writes from the command line ----------------------------------

// Measurement 8 writes below this key of HKEY_CURRENT_USER, and deletes it before every run.
constexpr wchar_t kWritesKey[] = L"Software\\LzBench\\Writes";
constexpr int kWriteKeys = 100, kWritesPerKey = 100;

struct BenchValue {
    std::wstring key;  // below HKEY_CURRENT_USER
    std::wstring name;
    bool isDword = false;
    DWORD number = 0;   // a DWORD's data
    std::wstring text;  // a string's data
};

// `keys` keys of `perKey` values each, DWORDs and strings in turns. The strings are Chinese, so
// that every writer converts its text, and the DWORDs above 2^31, so that none is read as signed.
std::vector<BenchValue> BenchValues(int keys, int perKey) {
    std::vector<BenchValue> values;
    values.reserve(static_cast<size_t>(keys * perKey));
    for (int k = 0; k < keys; ++k) {
        const std::wstring key = kWritesKey + std::wstring(L"\\Key") + std::to_wstring(k);
        for (int v = 0; v < perKey; ++v) {
            const int i = k * perKey + v;
            values.push_back({key, L"Value" + std::to_wstring(v), i % 2 == 0, 3000000000u + static_cast<DWORD>(i),
                              L"优化后的文本值 " + std::to_wstring(i)});
        }
    }
    return values;
}

// The values as a scheme of write steps, one a value, in order.
std::string WritesScheme(const std::vector<BenchValue>& values) {
    std::vector<std::string> lines;
    lines.reserve(values.size());
    for (const BenchValue& v : values) {
        const std::string path = WideToGbk(L"HKEY_CURRENT_USER\\" + v.key + L"\\" + v.name);
        lines.push_back(v.isDword ? sc::composeWrite(path, std::to_string(v.number), sc::kDwordCode)
                                  : sc::composeWrite(path, WideToGbk(v.text), sc::kStringCode));
    }
    return sc::serialize(lines, WideToGbk(L"注册表写入 " + std::to_wstring(values.size())));
}

// The values as a registry file for the system's importer: a section a key, in order.
std::string WritesRegistryFile(const std::vector<BenchValue>& values) {
    std::wstring text = L"Windows Registry Editor Version 5.00\r\n";
    const std::wstring* section = nullptr;
    for (const BenchValue& v : values) {
        if (!section || *section != v.key) {
            text += L"\r\n[HKEY_CURRENT_USER\\" + v.key + L"]\r\n";
            section = &v.key;
        }
        text += L"\"" + v.name + L"\"=";
        if (v.isDword) {
            wchar_t hex[16] = {};
            std::swprintf(hex, std::size(hex), L"dword:%08lx", static_cast<unsigned long>(v.number));
            text += hex;
        } else {
            text += L"\"" + v.text + L"\"";
        }
        text += L"\r\n";
    }
    return Utf16File(text);
}

// The values as the list bare_window's "writes" reads: UTF-16LE, a line a value, tab-separated.
std::string WritesList(const std::vector<BenchValue>& values) {
    std::wstring text;
    for (const BenchValue& v : values)
        text += v.key + L"\t" + v.name + (v.isDword ? L"\td\t" + std::to_wstring(v.number) : L"\ts\t" + v.text) + L"\n";
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// Every run meets the same empty key.
void DeleteWrites() {
    const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, kWritesKey);
    if ((status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) || RegistryKeyExists(HKEY_CURRENT_USER, kWritesKey))
        throw DriverError("cannot delete HKEY_CURRENT_USER\\" + Narrow(kWritesKey) + " (error " +
                          std::to_string(status) + ")");
}

// Throws unless the registry holds a few of the values as written: the first and the last of
// each type, and one from the middle.
void CheckWritten(const std::vector<BenchValue>& values, const std::string& writer) {
    const size_t n = values.size();
    for (const size_t i : {size_t{0}, size_t{1}, n / 2 + 1, n - 2, n - 1}) {
        const BenchValue& v = values[i];
        const bool held = v.isDword ? RegistryDword(HKEY_CURRENT_USER, v.key, v.name) == v.number
                                    : RegistryString(HKEY_CURRENT_USER, v.key, v.name) == v.text;
        if (!held) throw DriverError(writer + " left " + Narrow(v.key + L"\\" + v.name) + " without its value");
    }
}

// The total size of the files in `folder` with this extension; 0 when there are none.
uintmax_t BytesOf(const fs::path& folder, std::wstring_view extension) {
    uintmax_t total = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->path().extension() == extension) total += it->file_size();
    return total;
}

struct WriteTimes {
    std::vector<double> run, import, bare;
    uintmax_t undoBytes = 0, logBytes = 0;  // what a run leaves in its Undo folder
};

// Process start until its end, for the optimizer's run, reg.exe's import and the bare writes,
// in turns. Each is started as from the desktop: no console and no standard handles, so the
// run's log goes to its file only.
WriteTimes TimeWrites(const Options& options) {
    const std::vector<BenchValue> values = BenchValues(kWriteKeys, kWritesPerKey);
    const ProgramFolder folder;
    const fs::path scheme = folder.Dir() / L"注册表写入.lzvt";
    const fs::path regFile = folder.Dir() / L"注册表写入.reg";
    const fs::path list = folder.Dir() / L"values.txt";
    ProgramFolder::WriteFile(scheme, WritesScheme(values));
    ProgramFolder::WriteFile(regFile, WritesRegistryFile(values));
    ProgramFolder::WriteFile(list, WritesList(values));
    const fs::path undo = folder.Dir() / L"Undo";

    WriteTimes times;
    struct Variant {
        std::wstring commandLine;
        std::string name;
        std::vector<double>* into;
    };
    const Variant variants[] = {
        {Quoted(folder.Optimizer()) + L" /run " + Quoted(scheme), "optimizer.exe /run", &times.run},
        {L"reg.exe import " + Quoted(regFile), "reg.exe import", &times.import},
        {Quoted(folder.Bare()) + L" writes " + Quoted(list), "bare_window writes", &times.bare},
    };
    const auto runOnce = [&](const Variant& v) {
        DeleteWrites();
        fs::remove_all(undo);
        Settle();
        const auto started = Clock::now();
        const lz::e2e::RunResult result =
            lz::e2e::RunToEndWith(v.commandLine, lz::e2e::StandardHandles::None, kSlowLimit);
        const double ms = MsSince(started);
        if (result.exit_code != 0)
            throw DriverError(v.name + " ended with exit code " + std::to_string(result.exit_code));
        CheckWritten(values, v.name);
        if (v.into == &times.run) {
            times.undoBytes = BytesOf(undo, L".reg");
            times.logBytes = BytesOf(undo, L".log");
            if (times.undoBytes == 0) throw DriverError("the run left no undo file in " + Narrow(undo.wstring()));
        }
        return ms;
    };
    // Once untimed: the first program to ask for the desktop starts Wine's desktop process, and
    // reg.exe and the copies of the programs are read from the disk for the first time.
    for (const Variant& v : variants) runOnce(v);
    for (int rep = 0; rep < options.repeat; ++rep)
        for (const Variant& v : variants) v.into->push_back(runOnce(v));
    DeleteWrites();
    fs::remove_all(undo);
    return times;
}

// ---- Report -------------------------------------------------------------------------------

double Mb(SIZE_T bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view flag = argv[i];
        const int value = std::max(1, std::atoi(argv[i + 1]));
        if (flag == "--repeat")
            options.repeat = value;
        else if (flag == "--steps")
            options.steps = value;
        else if (flag == "--catalogue")
            options.catalogue = value;
        else
            throw DriverError("unknown option " + std::string(flag));
    }
    return options;
}

int Run(const Options& options) {
    std::printf("Programs under Wine: %d runs of each measurement, medians below.\n", options.repeat);
    const GeneratedScheme runnerLarge = MakeScheme(options.steps, 1 << 30, 1);
    // The editor's large scheme has --steps lines in all: its rows and the name.
    const GeneratedScheme editorLarge = MakeScheme(1 << 30, options.steps - 1, 2);
    const GeneratedScheme small = MakeScheme(3, 3, 3, false);
    std::printf("Schemes: runner %d steps / %d lines, %.1f MB; editor %d lines, %.1f MB; small %d steps\n",
                runnerLarge.steps, runnerLarge.rows + 1, Mb(runnerLarge.bytes.size()), editorLarge.rows + 1,
                Mb(editorLarge.bytes.size()), small.steps);

    {  // The first start of a program in a fresh prefix pays for loading Wine's libraries.
        const ProgramFolder warm;
        const Program optimizer(warm.Optimizer(), {}, warm.Dir());
        HWND main = nullptr;
        TimeUntil(Clock::now(), ListedIn(optimizer, kOptimizerCaption, kCatalogueListId, 0, main), "warming up");
        const Program editor(warm.Editor(), {}, warm.Dir());
        TimeUntil(Clock::now(), ListedIn(editor, kEditorCaption, kStepListId, 0, main), "warming up");
    }

    std::printf("\n1. Optimizer: 启动方案 clicked -> step 1 on screen (ms per run)\n");
    const RunnerTimes runner = TimeRunner(options, runnerLarge, small);
    PrintSeries("large scheme", runner.large);
    PrintSeries("3-step scheme", runner.small);

    std::printf("\n2. Optimizer: process start -> main window listing the catalogue (ms per run)\n");
    const CatalogueTimes catalogue = TimeCatalogue(options, small);
    PrintSeries(std::to_string(options.catalogue) + " schemes", catalogue.full);
    PrintSeries("empty Optimal folder", catalogue.empty);

    std::printf("\n3. Optimizer: memory with the large scheme on screen\n");
    const MemoryFigures memory = MeasureRunnerMemory(runnerLarge);
    std::printf("  idle:    working set %.1f MB (peak so far %.1f MB), private %.1f MB\n",
                Mb(memory.idle.WorkingSetSize), Mb(memory.idle.PeakWorkingSetSize), Mb(memory.idle.PagefileUsage));
    std::printf(
        "  running: working set %.1f MB, peak working set %.1f MB, private %.1f MB (largest seen %.1f MB, "
        "reported peak %.1f MB)\n",
        Mb(memory.running.WorkingSetSize), Mb(memory.running.PeakWorkingSetSize), Mb(memory.running.PagefileUsage),
        Mb(memory.privateMax), Mb(memory.running.PeakPagefileUsage));
    std::printf("  committed private memory: idle %.1f MB, with step 1 on screen %.1f MB\n", Mb(memory.committedIdle),
                Mb(memory.committedRunning));

    std::printf("\n4. Editor: process start -> scheme listed, and 保存文件 -> \"成功！\" (ms per run)\n");
    const EditorTimes editor = TimeEditor(options, editorLarge, small);
    PrintSeries("large scheme listed", editor.large);
    PrintSeries("3-line scheme listed", editor.small);
    PrintSeries("large scheme saved", editor.save);
    std::printf("  the saved file %s the bytes it was opened with\n", editor.savedSameBytes ? "holds" : "DIFFERS FROM");

    std::printf("\n7. Editor: process start -> a registry file of as many values imported and listed (ms per run)\n");
    const std::vector<double> imported = TimeImport(options, editorLarge.rows);
    PrintSeries("registry file imported", imported);

    std::printf("\n5. Both programs: process start -> main window shown, against the bare window (ms per run)\n");
    const StartTimes starts = TimeStarts(options);
    PrintSeries("optimizer", starts.optimizer);
    PrintSeries("bare window, optimizer's controls", starts.optimizerBare);
    PrintSeries("editor", starts.editor);
    PrintSeries("bare window, editor's controls", starts.editorBare);

    std::printf("\n6. Reading the large scheme in this process (fastest of 20)\n");
    const ReadTimes reading = TimeReading(runnerLarge);
    std::printf("  memchr line count %.2f ms (%zu lines), split and parse %.2f ms (%zu steps)\n", reading.count,
                reading.lines, reading.parse, reading.steps);

    std::printf("\n8. %d registry writes under HKEY_CURRENT_USER: process start -> end (ms per run)\n",
                kWriteKeys * kWritesPerKey);
    const WriteTimes writes = TimeWrites(options);
    PrintSeries("optimizer.exe /run (scheme)", writes.run);
    PrintSeries("reg.exe import (.reg file)", writes.import);
    PrintSeries("bare writes (bare_window writes)", writes.bare);
    // The key is new to every run, so the run's way back is to delete it: a short undo file.
    std::printf("  the run's undo file %.1f KB, its log %.1f KB\n", static_cast<double>(writes.undoBytes) / 1024,
                static_cast<double>(writes.logBytes) / 1024);

    const double fileMb = Mb(memory.fileSize);
    const auto verdict = [](bool ok) { return ok ? "met" : "MISSED"; };

    constexpr int kLabel = 44;
    const auto figures = [&](const char* label, double large, double small, double target) {
        const double ratio = small > 0 ? large / small : 0;
        std::printf("%s %9.1f ms %9.1f ms %7.2f   <= %.1f  %s\n", Padded(label, kLabel).c_str(), large, small, ratio,
                    target, verdict(ratio <= target));
    };
    const auto row = [&](const char* label, const std::vector<double>& large, const std::vector<double>& small,
                         double target = 1.5) { figures(label, Median(large), Median(small), target); };
    const auto memoryRow = [&](const char* label, double idle, double peak) {
        const double bound = idle + 3 * fileMb;
        std::printf("%s idle %.1f MB, peak %.1f MB, file %.1f MB: peak <= idle + 3 x file = %.1f MB  %s\n",
                    Padded(label, kLabel).c_str(), idle, peak, fileMb, bound, verdict(peak <= bound));
    };
    std::printf("\n%s %12s %12s %7s   %-6s  %s\n", Padded("Measurement (median of each)", kLabel).c_str(), "measured",
                "against", "ratio", "target", "");
    row("1 optimizer: 启动方案 -> step 1 shown", runner.large, runner.small);
    row("2 optimizer: start -> catalogue listed", catalogue.full, catalogue.empty);
    row("4 editor: start -> scheme listed", editor.large, editor.small);
    row("7 editor: start -> .reg imported / scheme listed", imported, editor.large, 2.0);
    row("5 optimizer: start -> main window / bare", starts.optimizer, starts.optimizerBare, 1.1);
    row("5 editor: start -> main window / bare", starts.editor, starts.editorBare, 1.1);
    figures("6 split and parse / memchr line count", reading.parse, reading.count, 2.0);
    row("8 optimizer /run / reg import", writes.run, writes.import, 1.0);
    row("8 optimizer /run / bare writes", writes.run, writes.bare, 1.5);
    std::printf("%s %9.1f ms\n", Padded("4 editor: 保存文件 -> \"成功！\" (large)", kLabel).c_str(),
                Median(editor.save));
    memoryRow("3 optimizer: working set", Mb(memory.idle.WorkingSetSize), Mb(memory.running.PeakWorkingSetSize));
    memoryRow("3 optimizer: private bytes (PagefileUsage)", Mb(memory.idle.PagefileUsage), Mb(memory.privateMax));
    memoryRow("3 optimizer: committed private (step 1 shown)", Mb(memory.committedIdle), Mb(memory.committedRunning));
    std::printf(
        "(large: %d steps for the optimizer, %d lines for the editor; small: 3 steps; catalogue: %d schemes "
        "against none)\n",
        runnerLarge.steps, editorLarge.rows + 1, options.catalogue);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        // A window busy with a 10 MB scheme may take long to answer; past this it is broken.
        lz::e2e::SetAnswerTimeout(kSlowLimit);
        return Run(ParseOptions(argc, argv));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "program_bench: %s\n", error.what());
        return 1;
    }
}
