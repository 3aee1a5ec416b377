// The optimizer without its windows: running a whole scheme from the command line, for
// administrators, logon scripts and deployment tools.
//
//   optimizer.exe /run SCHEME [/log FILE]
//
// SCHEME is the scheme file's path (relative to the current folder, or whole); the switches are
// read without regard to case. Every registry step is executed in order as 执行 executes it in
// the runner window (writes, and deletes by the same rules); hints go to the log. No window and
// no message box shows.
//
// The way back comes first: before the first change the run works out, step by step, the state
// each change will meet (planned_registry.h), notes the way back from all of them, and saves the
// undo file once, in the folder and under the name a run in the window would use. When it cannot
// be saved nothing is changed. A step that fails does not stop the run.
//
// The log has a line for each step (its line in the scheme, what it does, what came of it, the
// system's words where it failed), then the totals and the undo file's path; UTF-8 with a
// byte-order mark, lines ended by CR LF. It goes beside the undo file, under its name with
// ".log", or to FILE; its lines also go to the standard error or the console of whoever started
// the optimizer, when there is one.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace lz::optimizer {

// The exit codes.
inline constexpr int kAllApplied = 0;      // every step applied
inline constexpr int kSomeFailed = 1;      // some steps failed, the rest applied
inline constexpr int kNothingChanged = 2;  // the scheme unreadable or without steps, or no undo file
inline constexpr int kBadCommandLine = 3;  // the usage text says how

inline constexpr const char* kUsage =
    "用法：optimizer.exe /run 方案文件.lzvt [/log 日志文件]\r\n"
    "  不带开关启动时打开主窗口。\r\n";
inline constexpr const char* kUnknownSwitchMessage = "未知的开关：";
inline constexpr const char* kRepeatedSwitchMessage = "开关重复：";
inline constexpr const char* kMissingPathMessage = "开关后缺少文件路径：";
inline constexpr const char* kExtraArgumentMessage = "多余的参数：";
inline constexpr const char* kNoRunMessage = "缺少 /run 开关。";
inline constexpr const char* kUnreadableSchemeMessage = "无法读取方案：";
inline constexpr const char* kNoStepsMessage = "方案中没有步骤：";
inline constexpr const char* kUndoUnsavedMessage = "撤销记录无法保存，未做任何更改";
inline constexpr const char* kLogUnwritableMessage = "无法写入日志：";

struct HeadlessServices {
    registry::Registry& registry;
    files::Files& files;
    process::Process& process;
    clock::Clock& clock;
};

// Runs what `arguments` (the command line's, after the program name) ask for and returns its exit
// code; nothing when they hold no switch at all, and the optimizer starts with its window.
std::optional<int> runWithoutWindows(std::span<const std::string> arguments, HeadlessServices services);

}  // namespace lz::optimizer
