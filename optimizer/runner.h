// The scheme runner: the window that walks the user through a scheme's steps one at a time.
// It loads the scheme's lines into its hidden row list, reads the steps from them as the run
// reaches them and shows each step, writing or deleting registry entries on the user's word.
// Every write is
// recorded in the run's undo file before it is made, and so is every delete.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "optimizer/undo.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/ui/window.h"
#include "scheme/scheme.h"

namespace lz::optimizer {

// State of a run that outlives the runner window: kept for the whole program, overwritten by
// the next start.
struct RunState {
    // 0 before a run, 1 while the rows are parsed, n + 1 while step n is on display.
    std::int32_t stepCounter = 0;
    std::int32_t rowsToParse = 0;
    // The scheme file's text: the runner's row list and the step table both view it.
    files::SharedBytes text;
    // Read as far as the run has come: the step on display and those before it.
    scheme::StepTable steps;
};

// Messages of the runner.
inline constexpr const char* kEmptySchemeMessage = "您获取的是空方案！";
inline constexpr const char* kFinishedMessage = "恭喜您完成此方案的优化！";
inline constexpr const char* kWriteSucceededMessage = "注册表写入成功，即将进行下一步";
inline constexpr const char* kWriteFailedMessage = "某种原因写入失败，正在识别错误中...";
inline constexpr const char* kEntryExistsMessage = "欲写入注册表项存在，请手动检查数值！";
inline constexpr const char* kEntryMissingMessage = "欲写入注册表项并不存在，请重试";
// A write whose way back could not be kept is not made; the step stays on display.
inline constexpr const char* kUndoNotSavedMessage = "撤销记录无法保存，此项未写入注册表";
// Shown in place of the new value on a delete step.
inline constexpr const char* kDeleteInstruction = "删除以上注册表项";
// A delete whose way back could not be kept (or whose key could not be read whole) is not made.
inline constexpr const char* kDeleteUndoNotSavedMessage = "撤销记录无法保存，此项未删除";
inline constexpr const char* kValueDeletedMessage = "注册表值已删除，即将进行下一步";
inline constexpr const char* kNothingToDeleteMessage = "欲删除的注册表项并不存在，无需删除，即将进行下一步";
inline constexpr const char* kAmbiguousDeleteMessage =
    "此路径下既有同名的值，又有同名的项，无法确定删除哪一个，未删除任何内容";
inline constexpr const char* kProtectedKeyMessage = "此注册表项是系统的关键项，删除后系统可能无法启动，已拒绝删除";
// After the failure messages, when the change was refused for lack of rights.
inline constexpr const char* kNoRightsMessage =
    "没有修改此注册表项的权限。请右键点击 optimizer.exe，选择“以管理员身份运行”后再试";
// "注册表项已删除（共 N 个项、M 个值），即将进行下一步": the key and every key below it.
std::string keyDeletedMessage(std::size_t keys, std::size_t values);

// Reads the whole scheme file and keeps it (unwritten by others) while the bytes are held;
// nothing when it cannot be read.
using SchemeLoader = std::function<std::optional<files::SharedBytes>()>;

// The handlers of one runner window over the given scheme; its writes are recorded in `undo`.
ui::Handlers runnerHandlers(RunState& state, registry::Registry& registry, SchemeLoader load, UndoJournal undo);

// The run's window is gone: its steps and the scheme's bytes are let go, so that the file is
// free to be changed or deleted again.
void endRun(RunState& state);

}  // namespace lz::optimizer
