// The editor's main window and add-step window over the platform's services.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "editor/reg_import.h"

#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/ui/window.h"
#include "scheme/scheme.h"

namespace lz::editor {

struct Services {
    registry::Registry& registry;
    files::Files& files;
    process::Process& process;
    clipboard::Clipboard& clipboard;
    clock::Clock& clock;
};

// Editor-wide state, alive for the whole run.
struct EditorState {
    // The path "保存文件" writes to (UTF-8): the command-line argument or the file opened last.
    std::optional<std::string> currentPath;
    // The scheme file opened last, kept open until "保存文件" closes it.
    files::HeldFile held;
    // The value type picked last in the add-step window; it outlives that window.
    std::string typeCode{scheme::kBinaryCode};
    // The scheme name as read from the file: its bytes, and how the name box shows them. While
    // the box still shows exactly that, saving writes the original bytes back.
    std::string loadedNameGbk;
    std::string loadedNameShown;
};

inline constexpr const char* kNothingSelectedMessage = "未选中...";
inline constexpr const char* kCopiedMessage = "复制成功！";
inline constexpr const char* kCopyFailedMessage = "复制失败，剪贴板正被其他程序占用，请稍后再试";
inline constexpr const char* kNoFileMessage = "未打开文件";
inline constexpr const char* kSavedMessage = "成功！";
inline constexpr const char* kWriteFailedMessage = "文件写入失败！";
inline constexpr const char* kAssociatedMessage = "成功！以后双击LZVT文件即可打开啦";
inline constexpr const char* kAssociationFailedMessage =
    "失败，请右键LZVT文件，选择打开方式，然后浏览选中本程序即可关联文件";
inline constexpr const char* kDeleteModeText = "删除模式禁用";
// After a .reg file is imported or exported.
inline constexpr const char* kRegUnreadableMessage = "无法读取此注册表文件";
inline constexpr const char* kNotARegFileMessage = "这不是注册表文件，没有导入任何内容";
// How many entries of a .reg file came in, and which did not ("已导入 N 个步骤。…").
std::string importedMessage(std::size_t steps, std::span<const LeftOut> leftOut, std::string_view listPath,
                            bool listSaved);
// How many steps went out to a .reg file, and which did not ("成功！…").
std::string exportedMessage(std::span<const LeftOut> leftOut);

ui::Handlers mainWindowHandlers(EditorState& state, Services services);
ui::Handlers addStepHandlers(EditorState& state, ui::Window& mainWindow);

}  // namespace lz::editor
