// The editor without its window: converting a .reg file into a scheme and a scheme into a .reg
// file from the command line, for administrators and scripts.
//
//   lzvtEditor.exe /import IN.reg OUT.lzvt    the scheme is named after IN's file name
//   lzvtEditor.exe /export IN.lzvt OUT.reg    IN is read as the editor opens a scheme
//
// The switches are read without regard to case. What could not be converted is listed, a line
// for each entry with its line in IN, after a line that names IN and says how many: on the
// standard error or the console of whoever started the editor, or, when there is neither, in
// OUT's path + ".txt" (UTF-8 with a byte-order mark, lines ended by CR LF). OUT is written
// through a temporary file, so a conversion that fails leaves it as it was.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "platform/files.h"
#include "platform/process.h"

namespace lz::editor {

// The exit codes.
inline constexpr int kConvertedAll = 0;      // OUT written, nothing left out
inline constexpr int kConvertedSome = 1;     // OUT written, some entries left out and listed
inline constexpr int kNothingConverted = 2;  // nothing written: IN unreadable, OUT unwritable, bad command line

// What the standard error is told (UTF-8) when nothing could be written; each is followed by
// the path it is about, or by the usage text.
inline constexpr const char* kUnreadableMessage = "无法读取文件：";
inline constexpr const char* kNotARegistryFileMessage = "不是注册表文件：";
inline constexpr const char* kUnwritableMessage = "无法写入文件：";
inline constexpr const char* kMissingArgumentsMessage = "缺少文件路径。";
inline constexpr const char* kUnknownSwitchMessage = "未知的开关：";
inline constexpr const char* kTooManyArgumentsMessage = "参数过多。";
inline constexpr const char* kUsage =
    "用法：\r\n"
    "  lzvtEditor.exe /import 注册表文件.reg 方案文件.lzvt\r\n"
    "  lzvtEditor.exe /export 方案文件.lzvt 注册表文件.reg\r\n";

// Runs the conversion that `arguments` (the command line's, after the program name) ask for and
// returns its exit code; nothing when the first argument is neither "/import" nor "/export",
// and the editor starts with its window as ever.
std::optional<int> runConversion(std::span<const std::string> arguments, files::Files& files,
                                 process::Process& process);

}  // namespace lz::editor
