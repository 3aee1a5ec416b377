// The shell service: opening a web address in the user's default browser.
//
// Win32Shell (platform/win32/shell_win32.h) is the real one; MemoryShell (below) records.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lz::shell {

class Shell {
public:
    virtual ~Shell() = default;

    // Hands the address (UTF-8) to the default browser and returns at once. True when the
    // system accepted it; that a browser shows the page is not known.
    virtual bool openUrl(std::string_view url) = 0;
};

class MemoryShell final : public Shell {
public:
    bool succeeds = true;             // the answer of openUrl()
    std::vector<std::string> opened;  // every address openUrl() was given, in order

    bool openUrl(std::string_view url) override {
        opened.emplace_back(url);
        return succeeds;
    }
};

}  // namespace lz::shell
