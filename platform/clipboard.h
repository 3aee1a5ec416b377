// The clipboard service: plain Unicode text.
//
// Win32Clipboard (platform/win32/clipboard_win32.h) is the real one; the tests have
// MemoryClipboard (testing/memory_clipboard.h).
#pragma once

#include <string_view>

namespace lz::clipboard {

class Clipboard {
public:
    virtual ~Clipboard() = default;

    // Replaces the clipboard's content by the text (UTF-8). False when the clipboard could not
    // be opened in a short, bounded time or refused the text; its content is then unknown.
    virtual bool setText(std::string_view utf8) = 0;
};

}  // namespace lz::clipboard
