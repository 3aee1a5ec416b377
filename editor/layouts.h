// The editor's two windows as layout tables, and what each of their controls does.
//
// A window's controls keep the names its table gives them (按钮1, 编辑框2, …); the names below
// say what each one is for, and are the only way handlers, tests and the benchmark refer to them.
#pragma once

#include <string_view>

#include "platform/ui/layout.h"

namespace lz::editor {

const ui::WindowLayout& mainWindowLayout();
const ui::WindowLayout& addStepWindowLayout();

namespace main_window {
inline constexpr std::string_view kOpen = "按钮4";              // "打开文件"
inline constexpr std::string_view kSave = "按钮5";              // "保存文件"
inline constexpr std::string_view kSaveAs = "按钮6";            // "另存为": a scheme, or a .reg file
inline constexpr std::string_view kSteps = "超级列表框1";       // one row per step line, GBK
inline constexpr std::string_view kAddStep = "按钮1";           // "添加步骤": the add-step window
inline constexpr std::string_view kDeleteStep = "按钮2";        // "删除步骤"
inline constexpr std::string_view kCopyStep = "按钮3";          // "复制步骤": the selected line to the clipboard
inline constexpr std::string_view kAssociate = "按钮8";         // "关联方案文件"
inline constexpr std::string_view kTranslateSteps = "按钮9";    // "中文化步骤": never enabled
inline constexpr std::string_view kMoreSettings = "按钮7";      // "更多设置": never enabled
inline constexpr std::string_view kSchemeName = "编辑框2";      // the name saved after the steps
inline constexpr std::string_view kPathHolder = "编辑框1";      // below the client area, never seen
inline constexpr std::string_view kTextHolder = "超级编辑框1";  // below the client area, never seen
inline constexpr std::string_view kOpenDialog = "通用对话框1";
inline constexpr std::string_view kSaveAsDialog = "通用对话框2";
}  // namespace main_window

namespace add_step_window {
inline constexpr std::string_view kPages = "选择夹1";
inline constexpr std::string_view kDeleteChoice = "单选框1";  // "删除注册表"
inline constexpr std::string_view kWriteChoice = "单选框2";   // "添加/编辑注册表"
inline constexpr std::string_view kPathBox = "编辑框1";
inline constexpr std::string_view kValueBox = "编辑框2";
inline constexpr std::string_view kTypeList = "组合框1";       // the value's type
inline constexpr std::string_view kAddRegistryStep = "按钮1";  // "添加" on the registry page
inline constexpr std::string_view kHintBox = "编辑框3";
inline constexpr std::string_view kAddHint = "按钮2";  // "添加" on the hint page

// Pages of kPages.
enum Page { kRegistryStepPage = 0, kHintStepPage = 1 };
}  // namespace add_step_window

}  // namespace lz::editor
