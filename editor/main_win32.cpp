// Program entry: the editor's main window over the Win32 services, or, when the command line
// asks for a conversion (/import, /export), that conversion alone, without any window.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "editor/app.h"
#include "editor/conversion.h"
#include "editor/layouts.h"
#include "platform/cmdline.h"
#include "platform/win32/clipboard_win32.h"
#include "platform/win32/files_win32.h"
#include "platform/win32/process_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/ui_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    lz::files::Win32Files files;
    lz::process::Win32Process process;
    const std::vector<std::string> arguments = lz::cmdline::arguments(process.commandLine());
    if (const std::optional<int> exitCode = lz::editor::runConversion(arguments, files, process)) return *exitCode;

    lz::registry::Win32Registry registry;
    lz::clipboard::Win32Clipboard clipboard;
    lz::clock::SystemClock clock;
    lz::editor::EditorState state;
    lz::editor::Services services{registry, files, process, clipboard, clock};
    return lz::win32::runApplication(instance, lz::editor::mainWindowLayout(),
                                     lz::editor::mainWindowHandlers(state, services));
}
