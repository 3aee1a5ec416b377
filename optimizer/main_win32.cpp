// Program entry: the optimizer's main window over the Win32 services, or, when the command line
// holds a switch (/run SCHEME [/log FILE]), the scheme run without any window.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "optimizer/app.h"
#include "optimizer/headless.h"
#include "optimizer/layouts.h"
#include "platform/cmdline.h"
#include "platform/win32/files_win32.h"
#include "platform/win32/process_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/shell_win32.h"
#include "platform/win32/ui_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    lz::registry::Win32Registry registry;
    lz::files::Win32Files files;
    lz::process::Win32Process process;
    lz::clock::SystemClock clock;
    const std::vector<std::string> arguments = lz::cmdline::arguments(process.commandLine());
    // Without windows the steps follow one another at once, many of them into the same key.
    registry.keepKeyOpenForWriting(true);
    if (const std::optional<int> exitCode =
            lz::optimizer::runWithoutWindows(arguments, {registry, files, process, clock}))
        return *exitCode;
    registry.keepKeyOpenForWriting(false);

    lz::shell::Win32Shell shell;
    lz::optimizer::ProgramState state;
    lz::optimizer::Services services{registry, files, process, shell, clock};
    return lz::win32::runApplication(instance, lz::optimizer::mainWindowLayout(),
                                     lz::optimizer::mainWindowHandlers(state, services));
}
