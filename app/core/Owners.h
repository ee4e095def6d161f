// Owners of what the system hands out and wants back: kernel handles,
// libraries, GDI objects and device contexts, COM interfaces, file views and
// the clipboard. Each gives its resource back once, when it goes or is reset,
// so that no path of the program releases by hand (menus, attached to their
// windows or tracked once, are still destroyed where they are made). The scopes for painting
// (CSelectScope, CPenScope, CSavedDc) are include/GdiScopes.h, shared with the
// edit control.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "GdiScopes.h"

namespace shell {

// The one shape of every owner below: a value, the value that means "none",
// and how to give it back.
template <class H, H kNone, class Free>
class UniqueT {
public:
    UniqueT() = default;
    explicit UniqueT(H h) : h_(h) {}
    UniqueT(UniqueT&& o) noexcept : h_(std::exchange(o.h_, kNone)) {}
    UniqueT& operator=(UniqueT&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, kNone));
        return *this;
    }
    UniqueT(const UniqueT&) = delete;
    UniqueT& operator=(const UniqueT&) = delete;
    ~UniqueT() { reset(); }

    H get() const { return h_; }
    explicit operator bool() const { return h_ != kNone; }
    H release() { return std::exchange(h_, kNone); }
    void reset(H h = kNone) {
        if (h_ != kNone) Free()(h_);
        h_ = h;
    }
    // For an out-parameter: gives back what is held first.
    H* put() {
        reset();
        return &h_;
    }

private:
    H h_ = kNone;
};

struct CloseKernelHandle {
    void operator()(HANDLE h) const {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
struct FreeModule {
    void operator()(HMODULE m) const { FreeLibrary(m); }
};
struct DeleteGdiObject {
    void operator()(HGDIOBJ h) const { DeleteObject(h); }
};
struct DeleteMemoryDc {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct CloseRegistryKey {
    void operator()(HKEY k) const { RegCloseKey(k); }
};

// A kernel handle closed with CloseHandle; null and INVALID_HANDLE_VALUE
// both mean "none".
class CUniqueHandle : public UniqueT<HANDLE, nullptr, CloseKernelHandle> {
public:
    using UniqueT::UniqueT;
    explicit operator bool() const { return get() && get() != INVALID_HANDLE_VALUE; }
};

// A library freed with FreeLibrary (used only for libraries that may be
// freed: the edit control's, after the loop; chardet.dll after a detection).
using CUniqueLibrary = UniqueT<HMODULE, nullptr, FreeModule>;
// A GDI object (font, brush, pen, bitmap) deleted with DeleteObject; it must
// not be selected into a device context by then.
template <class H>
using UniqueGdiT = UniqueT<H, nullptr, DeleteGdiObject>;
// A device context of CreateCompatibleDC or CreateDC, deleted with DeleteDC.
using CUniqueDc = UniqueT<HDC, nullptr, DeleteMemoryDc>;
// An open registry key.
using CUniqueKey = UniqueT<HKEY, nullptr, CloseRegistryKey>;
// A FindFirstFileW search, closed with FindClose.
class CUniqueFind {
public:
    explicit CUniqueFind(HANDLE h) : h_(h) {}
    ~CUniqueFind() {
        if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
    }
    CUniqueFind(const CUniqueFind&) = delete;
    CUniqueFind& operator=(const CUniqueFind&) = delete;
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// A window's device context of GetDC, released with ReleaseDC.
class CWindowDc {
public:
    explicit CWindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~CWindowDc() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    CWindowDc(const CWindowDc&) = delete;
    CWindowDc& operator=(const CWindowDc&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// The clipboard, open for the life of the guard when `opened`.
class CClipboardGuard {
public:
    explicit CClipboardGuard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~CClipboardGuard() {
        if (open_) CloseClipboard();
    }
    CClipboardGuard(const CClipboardGuard&) = delete;
    CClipboardGuard& operator=(const CClipboardGuard&) = delete;
    bool opened() const { return open_; }

private:
    bool open_;
};

// A COM interface pointer holding one reference. Copies add a reference;
// `put()` hands out the slot for a function that returns a new reference.
template <class I>
class ComPtrT {
public:
    ComPtrT() = default;
    ComPtrT(std::nullptr_t) {}
    // Takes the caller's reference (Attach) or adds one of its own (AddRef).
    static ComPtrT Attach(I* p) {
        ComPtrT c;
        c.p_ = p;
        return c;
    }
    static ComPtrT AddRef(I* p) {
        if (p) p->AddRef();
        return Attach(p);
    }
    ComPtrT(const ComPtrT& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtrT(ComPtrT&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtrT& operator=(ComPtrT o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtrT() { reset(); }

    I* get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Gives up the reference without releasing it.
    I* detach() { return std::exchange(p_, nullptr); }
    void reset() {
        if (I* p = std::exchange(p_, nullptr)) p->Release();
    }
    // For an out-parameter: releases what is held first.
    I** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    // The same object through another interface, or null.
    template <class J>
    ComPtrT<J> As(REFIID iid) const {
        ComPtrT<J> j;
        if (p_) p_->QueryInterface(iid, j.put_void());
        return j;
    }

private:
    I* p_ = nullptr;
};

// A whole file mapped for reading. The size is the file's when mapped and
// never more than the view holds, so that a file cut short meanwhile is not
// read past its end.
class CMappedFile {
public:
    enum class Result { kOk, kEmpty, kFailed };

    CMappedFile() = default;
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;
    ~CMappedFile() { Close(); }

    // Maps `path` (shared for reading and writing by others). kEmpty for a
    // file of no bytes, which cannot be mapped.
    Result Open(const std::wstring& path, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
        Close();
        CUniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, flags, nullptr));
        if (!file) return Result::kFailed;
        return Map(file.get());
    }
    // Maps an open file (read access); the handle stays the caller's.
    Result Map(HANDLE file) {
        Close();
        LARGE_INTEGER size = {};
        if (!GetFileSizeEx(file, &size)) return Result::kFailed;
        if (size.QuadPart == 0) return Result::kEmpty;
        if (uint64_t(size.QuadPart) > SIZE_MAX) return Result::kFailed;
        CUniqueHandle map(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (!map) {
            // Emptied since it was measured: nothing to map.
            LARGE_INTEGER now = {};
            return GetFileSizeEx(file, &now) && now.QuadPart == 0 ? Result::kEmpty : Result::kFailed;
        }
        const void* view = MapViewOfFile(map.get(), FILE_MAP_READ, 0, 0, 0);
        if (!view) return Result::kFailed;
        data_ = static_cast<const uint8_t*>(view);
        size_ = size_t(size.QuadPart);
        LARGE_INTEGER after = {};
        if (GetFileSizeEx(file, &after) && uint64_t(after.QuadPart) < size_) size_ = size_t(after.QuadPart);
        MEMORY_BASIC_INFORMATION info = {};
        if (VirtualQuery(view, &info, sizeof info) && info.RegionSize < size_) size_ = info.RegionSize;
        return size_ ? Result::kOk : Result::kEmpty;
    }
    void Close() {
        if (data_) UnmapViewOfFile(data_);
        data_ = nullptr;
        size_ = 0;
    }

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace shell
