// The clipboard service on Win32: CF_UNICODETEXT.
#pragma once

#include <windows.h>

#include "platform/clipboard.h"
#include "platform/win32/handle.h"

namespace lz::clipboard {

class Win32Clipboard final : public Clipboard {
public:
    // `owner` becomes the clipboard's owner when text is put on it. Without one, the object
    // makes a hidden message-only window of its own on first use (on the calling thread) and
    // destroys it with itself; the text stays on the clipboard.
    explicit Win32Clipboard(HWND owner = nullptr) : owner_(owner) {}
    Win32Clipboard(const Win32Clipboard&) = delete;
    Win32Clipboard& operator=(const Win32Clipboard&) = delete;

    bool setText(std::string_view utf8) override;

private:
    HWND ownerWindow();

    HWND owner_;
    win32::UniqueWindow ownWindow_;
};

}  // namespace lz::clipboard
