// Program entry: the optimizer's main window over the Win32 services.
#include <windows.h>

#include "optimizer/app.h"
#include "optimizer/layouts.h"
#include "platform/win32/files_win32.h"
#include "platform/win32/process_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/shell_win32.h"
#include "platform/win32/ui_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    lz::registry::Win32Registry registry;
    lz::files::Win32Files files;
    lz::process::Win32Process process;
    lz::shell::Win32Shell shell;
    lz::clock::SystemClock clock;
    lz::optimizer::ProgramState state;
    lz::optimizer::Services services{registry, files, process, shell, clock};
    return lz::win32::runApplication(instance, lz::optimizer::mainWindowLayout(),
                                     lz::optimizer::mainWindowHandlers(state, services));
}
