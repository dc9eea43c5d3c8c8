// Non-copyable owners for Win32 handles. Each closes its handle exactly once,
// with the call that belongs to it; Detach() hands ownership back to the caller.
#pragma once

#include <windows.h>

namespace base {

template <typename Traits>
class ScopedWin {
public:
    using Handle = typename Traits::Handle;

    ScopedWin() = default;
    explicit ScopedWin(Handle handle) : handle_(handle) {}
    ~ScopedWin() { Reset(); }

    ScopedWin(const ScopedWin&) = delete;
    ScopedWin& operator=(const ScopedWin&) = delete;
    ScopedWin(ScopedWin&& other) noexcept : handle_(other.Detach()) {}
    ScopedWin& operator=(ScopedWin&& other) noexcept {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }

    Handle Get() const { return handle_; }
    bool IsValid() const { return Traits::IsValid(handle_); }
    explicit operator bool() const { return IsValid(); }

    // For out-parameters of Win32 calls: releases what is held first.
    Handle* Receive() {
        Reset();
        return &handle_;
    }

    Handle Detach() {
        Handle handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }

    void Reset(Handle handle = Traits::Invalid()) {
        if (Traits::IsValid(handle_))
            Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { FindClose(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};

struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { DeleteObject(h); }
};

struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { LocalFree(h); }
};

struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { DestroyIcon(h); }
};

struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { DestroyMenu(h); }
};

// CloseHandle: processes, threads, events, mutexes, files.
using ScopedHandle = ScopedWin<KernelHandleTraits>;
// FindClose: FindFirstFileA.
using ScopedFindHandle = ScopedWin<FindHandleTraits>;
// RegCloseKey: RegOpenKeyExA, RegCreateKeyExA.
using ScopedRegKey = ScopedWin<RegKeyTraits>;
// DeleteObject: fonts, brushes, pens, bitmaps.
using ScopedGdiObject = ScopedWin<GdiObjectTraits>;
// DestroyIcon: icons loaded without LR_SHARED.
using ScopedIcon = ScopedWin<IconTraits>;
// DestroyMenu: menus from LoadMenuA and CreatePopupMenu.
using ScopedMenu = ScopedWin<MenuTraits>;
// LocalFree: what the security calls allocate (descriptors, access lists).
using ScopedLocalMemory = ScopedWin<LocalMemoryTraits>;

}  // namespace base
