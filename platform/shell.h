// The shell service: opening a web address in the user's default browser.
//
// Win32Shell (platform/win32/shell_win32.h) is the real one; the tests have MemoryShell
// (testing/memory_shell.h).
#pragma once

#include <string_view>

namespace lz::shell {

class Shell {
public:
    virtual ~Shell() = default;

    // Hands the address (UTF-8) to the default browser and returns at once. True when the
    // system accepted it; that a browser shows the page is not known.
    virtual bool openUrl(std::string_view url) = 0;
};

}  // namespace lz::shell
