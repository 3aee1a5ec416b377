// The clipboard service: plain Unicode text.
//
// Win32Clipboard (platform/win32/clipboard_win32.h) is the real one; MemoryClipboard (below)
// holds the text itself and can be told to refuse, like a clipboard another program keeps open.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lz::clipboard {

class Clipboard {
public:
    virtual ~Clipboard() = default;

    // Replaces the clipboard's content by the text (UTF-8). False when the clipboard could not
    // be opened in a short, bounded time or refused the text; its content is then unknown.
    virtual bool setText(std::string_view utf8) = 0;
};

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
