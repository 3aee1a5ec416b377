// Owners of the system's handles. One move-only template for every kind of handle, told apart
// by a small traits type that says what "no handle" is for that kind and how one is given
// back; and a COM interface pointer that moves. Nothing in the Win32 code closes a handle by
// hand: whatever it opens goes into one of these at once.
#pragma once

#include <unknwn.h>
#include <windows.h>

#include <utility>

namespace lz::win32 {

template <class Traits>
class Unique {
public:
    using Handle = typename Traits::Handle;

    Unique() noexcept = default;
    explicit Unique(Handle handle) noexcept : handle_(handle) {}
    Unique(Unique&& other) noexcept : handle_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::none(); }
    // Lets go of the handle without closing it.
    [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, Traits::none()); }
    // Closes what is held (if anything) and holds `handle` instead. False when closing
    // reported a failure: for a file written, that is a write the system could not finish.
    bool reset(Handle handle = Traits::none()) noexcept {
        const Handle old = std::exchange(handle_, handle);
        return old == Traits::none() || Traits::close(old);
    }
    // For a call that hands back a new handle through a pointer: closes what is held first.
    Handle* put() noexcept {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::none();
};

namespace handle_traits {

// Processes, threads, mappings, events: null when there is none.
struct Kernel {
    using Handle = HANDLE;
    static Handle none() noexcept { return nullptr; }
    static bool close(Handle h) noexcept { return CloseHandle(h) != FALSE; }
};
// Files opened by CreateFile: INVALID_HANDLE_VALUE when there is none.
struct File {
    using Handle = HANDLE;
    static Handle none() noexcept { return INVALID_HANDLE_VALUE; }
    static bool close(Handle h) noexcept { return CloseHandle(h) != FALSE; }
};
struct Find {
    using Handle = HANDLE;
    static Handle none() noexcept { return INVALID_HANDLE_VALUE; }
    static bool close(Handle h) noexcept { return FindClose(h) != FALSE; }
};
struct RegistryKey {
    using Handle = HKEY;
    static Handle none() noexcept { return nullptr; }
    static bool close(Handle h) noexcept { return RegCloseKey(h) == ERROR_SUCCESS; }
};
template <class T>
struct Gdi {
    using Handle = T;
    static Handle none() noexcept { return nullptr; }
    static bool close(Handle h) noexcept { return DeleteObject(h) != FALSE; }
};
struct Icon {
    using Handle = HICON;
    static Handle none() noexcept { return nullptr; }
    static bool close(Handle h) noexcept { return DestroyIcon(h) != FALSE; }
};
struct Module {
    using Handle = HMODULE;
    static Handle none() noexcept { return nullptr; }
    static bool close(Handle h) noexcept { return FreeLibrary(h) != FALSE; }
};
struct GlobalMemory {
    using Handle = HGLOBAL;
    static Handle none() noexcept { return nullptr; }
    static bool close(Handle h) noexcept { return GlobalFree(h) == nullptr; }
};
struct Window {
    using Handle = HWND;
    static Handle none() noexcept { return nullptr; }
    static bool close(Handle h) noexcept { return DestroyWindow(h) != FALSE; }
};
struct MappedView {
    using Handle = const void*;
    static Handle none() noexcept { return nullptr; }
    static bool close(Handle h) noexcept { return UnmapViewOfFile(h) != FALSE; }
};

}  // namespace handle_traits

using UniqueHandle = Unique<handle_traits::Kernel>;
using UniqueFile = Unique<handle_traits::File>;
using UniqueFind = Unique<handle_traits::Find>;
using UniqueKey = Unique<handle_traits::RegistryKey>;
using UniqueFont = Unique<handle_traits::Gdi<HFONT>>;
using UniqueBrush = Unique<handle_traits::Gdi<HBRUSH>>;
using UniqueBitmap = Unique<handle_traits::Gdi<HBITMAP>>;
using UniqueIcon = Unique<handle_traits::Icon>;
using UniqueModule = Unique<handle_traits::Module>;
using UniqueGlobal = Unique<handle_traits::GlobalMemory>;
using UniqueView = Unique<handle_traits::MappedView>;
using UniqueWindow = Unique<handle_traits::Window>;

// Global memory locked for reading or writing, unlocked when this ends.
class LockedGlobal {
public:
    explicit LockedGlobal(HGLOBAL memory) noexcept : memory_(memory), data_(memory ? GlobalLock(memory) : nullptr) {}
    LockedGlobal(const LockedGlobal&) = delete;
    LockedGlobal& operator=(const LockedGlobal&) = delete;
    ~LockedGlobal() {
        if (data_) GlobalUnlock(memory_);
    }
    void* data() const noexcept { return data_; }

private:
    HGLOBAL memory_;
    void* data_;
};

// An owning reference to a COM interface; moves, never copies.
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) reset(std::exchange(other.ptr_, nullptr));
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    // Releases what is held and takes over `ptr` (whose reference this now owns).
    void reset(T* ptr = nullptr) noexcept {
        if (T* old = std::exchange(ptr_, ptr)) old->Release();
    }
    // For a call that hands back an interface through a pointer.
    T** put() noexcept {
        reset();
        return &ptr_;
    }
    void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }

private:
    T* ptr_ = nullptr;
};

}  // namespace lz::win32
