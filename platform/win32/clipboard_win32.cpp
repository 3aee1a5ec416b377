// The clipboard service on Win32.
#include "platform/win32/clipboard_win32.h"

#include <cstring>
#include <utility>

#include "platform/text.h"
#include "platform/win32/trace.h"

namespace lz::clipboard {
namespace {

// Another program may hold the clipboard for a moment; it is tried this often, this far apart
// (about a fifth of a second in all) before the call gives up.
constexpr int kOpenAttempts = 20;
constexpr DWORD kOpenRetryMilliseconds = 10;

bool openClipboard(HWND owner) {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (OpenClipboard(owner)) return true;
        Sleep(kOpenRetryMilliseconds);
    }
    win32::traceLastError("OpenClipboard");
    return false;
}

// A movable global block holding the text and its terminating NUL; none when out of memory.
win32::UniqueGlobal makeBlock(const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    win32::UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!block) {
        win32::traceLastError("GlobalAlloc");
        return block;
    }
    const win32::LockedGlobal locked(block.get());
    if (!locked.data()) {
        win32::traceLastError("GlobalLock");
        return {};
    }
    std::memcpy(locked.data(), text.c_str(), bytes);
    return block;
}

}  // namespace

HWND Win32Clipboard::ownerWindow() {
    if (owner_) return owner_;
    if (!ownWindow_) {
        ownWindow_.reset(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         GetModuleHandleW(nullptr), nullptr));
        if (!ownWindow_) win32::traceLastError("CreateWindowExW");
    }
    return ownWindow_.get();
}

bool Win32Clipboard::setText(std::string_view utf8) {
    win32::UniqueGlobal block = makeBlock(text::toWide(utf8));
    if (!block || !openClipboard(ownerWindow())) return false;
    bool done = false;
    if (!EmptyClipboard()) {
        win32::traceLastError("EmptyClipboard");
    } else if (SetClipboardData(CF_UNICODETEXT, block.get())) {
        (void)block.release();  // the clipboard owns it now
        done = true;
    } else {
        win32::traceLastError("SetClipboardData");
    }
    CloseClipboard();
    return done;
}

}  // namespace lz::clipboard
