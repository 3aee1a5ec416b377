// A shell for the unit tests: it records every address it is given.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/shell.h"

namespace lz::shell {

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
