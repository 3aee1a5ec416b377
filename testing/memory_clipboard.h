// A clipboard for the unit tests: it holds the text itself and can be told to refuse, like a
// clipboard another program keeps open.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/clipboard.h"

namespace lz::clipboard {

class MemoryClipboard final : public Clipboard {
public:
    bool refuse = false;                 // when set, setText fails and nothing changes
    std::optional<std::string> content;  // what the clipboard holds
    int writes = 0;                      // successful setText() calls

    bool setText(std::string_view utf8) override {
        if (refuse) return false;
        content = std::string(utf8);
        ++writes;
        return true;
    }
};

}  // namespace lz::clipboard
