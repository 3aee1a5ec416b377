// Program entry: the start window is built from its layout table and runs until it closes.
#include <windows.h>

#include "optimizer/layouts.h"
#include "platform/win32/ui_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    lz::ui::Handlers handlers;
    return lz::win32::runApplication(instance, lz::optimizer::mainWindowLayout(), std::move(handlers));
}
