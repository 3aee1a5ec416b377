// The clipboard service on Win32.
#include "platform/win32/clipboard_win32.h"

#include <cstring>
#include <cwchar>

#include "platform/text.h"

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
    return false;
}

// A movable global block holding the text and its terminating NUL; nullptr when out of memory.
HGLOBAL makeBlock(const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!block) return nullptr;
    void* memory = GlobalLock(block);
    if (!memory) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(memory, text.c_str(), bytes);
    GlobalUnlock(block);
    return block;
}

}  // namespace

Win32Clipboard::~Win32Clipboard() {
    if (ownWindow_) DestroyWindow(ownWindow_);
}

HWND Win32Clipboard::ownerWindow() {
    if (owner_) return owner_;
    if (!ownWindow_)
        ownWindow_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                                     nullptr);
    return ownWindow_;
}

bool Win32Clipboard::setText(std::string_view utf8) {
    if (!openClipboard(ownerWindow())) return false;
    bool done = false;
    if (EmptyClipboard()) {
        if (const HGLOBAL block = makeBlock(text::toWide(utf8))) {
            // On success the clipboard owns the block; otherwise it is still ours to free.
            done = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
            if (!done) GlobalFree(block);
        }
    }
    CloseClipboard();
    return done;
}

std::optional<std::string> Win32Clipboard::text() {
    if (!openClipboard(ownerWindow())) return std::nullopt;
    std::optional<std::string> result;
    if (const HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* units = static_cast<const wchar_t*>(GlobalLock(block))) {
            const std::size_t capacity = GlobalSize(block) / sizeof(wchar_t);
            result = text::fromWide(std::wstring_view(units, wcsnlen(units, capacity)));
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    return result;
}

}  // namespace lz::clipboard
