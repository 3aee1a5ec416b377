// The scheme runner: the window that walks the user through a scheme's steps one at a time.
// The run itself (run.h) holds the steps and where the run is, and says what executing a step
// did; the window shows each step, executes it on the user's word and turns what happened into
// its messages. The scheme's lines also fill the window's hidden row list. Every write and every
// delete is recorded in the run's undo file before it is made.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "optimizer/run.h"
#include "optimizer/undo.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/ui/window.h"
#include "scheme/scheme.h"

namespace lz::optimizer {

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
// The window starts `run` over the scheme's text when it opens; the run outlives the window
// until its owner lets it go (then the scheme file is free to be changed or deleted again).
ui::Handlers runnerHandlers(SchemeRun& run, registry::Registry& registry, SchemeLoader load, UndoJournal undo);

}  // namespace lz::optimizer
