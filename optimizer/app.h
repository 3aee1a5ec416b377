// The optimizer's main window and the windows it opens, over the platform's services.
#pragma once

#include <string>
#include <vector>

#include "optimizer/runner.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/ui/window.h"

namespace lz::optimizer {

struct Services {
    registry::Registry& registry;
    files::Files& files;
    process::Process& process;
    shell::Shell& shell;
    clock::Clock& clock;
};

// Program-wide state: created at start-up, kept until the program ends.
struct ProgramState {
    // File names of the installed schemes, as last listed (by the main window, then by
    // each opening of the management window).
    std::vector<std::string> schemeNames;
    // The run of the runner window while it is open; no run otherwise.
    SchemeRun run;
};

inline constexpr const char* kNoSchemeSelectedMessage = "未选中方案";
inline constexpr const char* kHowToInstallMessage = "把方案文件移动到程序目录下的Optimal文件夹里，即可";
inline constexpr const char* kDeletedMessage = "删除成功";
inline constexpr const char* kRetryMessage = "请重试";
// Asked before a scheme is deleted for good, where its drive has no recycle bin.
inline constexpr const char* kNoRecycleBinQuestion = "此位置没有回收站，方案文件将被永久删除，确定删除吗？";

// The installed schemes' folder, with its trailing backslash, and the pattern that lists them.
std::string schemeFolder(process::Process& process);

// The size column of the management list: whole KB, or KB with one decimal; files under
// about half a KB show as 1.
std::string sizeInKb(std::int64_t bytes);

ui::Handlers mainWindowHandlers(ProgramState& state, Services services);
ui::Handlers managementHandlers(ProgramState& state, Services services);

}  // namespace lz::optimizer
