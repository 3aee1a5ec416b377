// The optimizer's five windows as layout tables, and what each of their controls does.
//
// A window's controls keep the names its table gives them (按钮1, 编辑框2, …); the names below
// say what each one is for, and are the only way handlers, tests and the benchmark refer to them.
#pragma once

#include <string_view>

#include "platform/ui/layout.h"

namespace lz::optimizer {

const ui::WindowLayout& mainWindowLayout();
const ui::WindowLayout& runnerWindowLayout();
const ui::WindowLayout& managementWindowLayout();
const ui::WindowLayout& aboutWindowLayout();
const ui::WindowLayout& moreProductsWindowLayout();

namespace main_window {
inline constexpr std::string_view kManageLink = "标签6";        // "方案管理": opens the management window
inline constexpr std::string_view kSchemeList = "超级列表框1";  // the schemes in Optimal\, read at start
inline constexpr std::string_view kMoreProducts = "按钮5";      // "更多智能软件"
inline constexpr std::string_view kUpcoming = "按钮6";          // "即将更新"
inline constexpr std::string_view kAboutSoftware = "按钮7";     // "关于软件"
inline constexpr std::string_view kAboutStudio = "按钮8";       // "关于岚舟"
inline constexpr std::string_view kStart = "按钮1";             // "启动方案": runs the selected scheme
inline constexpr std::string_view kDownload = "按钮4";          // "下载方案": the download board
inline constexpr std::string_view kBuy = "按钮9";               // "购买方案": never enabled
inline constexpr std::string_view kMake = "按钮3";              // "制作方案": the editor, empty
inline constexpr std::string_view kChange = "按钮10";           // "修改方案": the editor, on the selection
inline constexpr std::string_view kTextHolder = "超级编辑框1";  // below the client area, never seen
}  // namespace main_window

namespace runner_window {
inline constexpr std::string_view kPages = "选择夹1";  // its page in front shows the step's kind
inline constexpr std::string_view kPathBox = "编辑框1";
inline constexpr std::string_view kValueBox = "编辑框2";
inline constexpr std::string_view kSkip = "按钮1";               // "跳过这步"
inline constexpr std::string_view kLeaveRegistryStep = "按钮5";  // "退出优化" on a registry step
inline constexpr std::string_view kExecute = "按钮2";            // "执行"
inline constexpr std::string_view kHintBox = "编辑框3";
inline constexpr std::string_view kLeaveHint = "按钮4";          // "退出优化" on a hint
inline constexpr std::string_view kNext = "按钮3";               // "下一步"
inline constexpr std::string_view kSchemeLines = "超级列表框1";  // every line of the scheme, never shown

// Pages of kPages.
enum Page { kRegistryPage = 0, kHintPage = 1, kLinesPage = 2 };
}  // namespace runner_window

namespace management_window {
inline constexpr std::string_view kSchemeList = "超级列表框1";  // name, folder, size
inline constexpr std::string_view kHowToInstall = "按钮1";      // "如何安装方案"
inline constexpr std::string_view kDelete = "按钮2";            // "删除方案"
inline constexpr std::string_view kExit = "按钮3";              // "退出"
}  // namespace management_window

namespace about_window {
inline constexpr std::string_view kBanner = "编辑框1";
inline constexpr std::string_view kAboutSoftware = "编辑框2";  // read-only
inline constexpr std::string_view kAboutStudio = "编辑框3";    // editable, as it always was
}  // namespace about_window

namespace more_products_window {
inline constexpr std::string_view kBrowser = "超文本浏览框1";  // goes to a page built into the program
}  // namespace more_products_window

}  // namespace lz::optimizer
