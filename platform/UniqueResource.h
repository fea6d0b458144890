#pragma once
// One owner per operating-system resource: the resource is released exactly once,
// when its owner goes out of scope or is reset. Modelled on WIL's unique_any.
#include <windows.h>
#include <wininet.h>
#include <utility>

namespace PlatformHelpers {

// Traits give the type, the "none" value and the release call of a resource kind.
template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type value) : value_(value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    Type get() const { return value_; }
    bool valid() const { return value_ != Traits::Invalid(); }
    explicit operator bool() const { return valid(); }

    // Releases the current resource (if any) and takes ownership of `value`.
    // Returns whether the release succeeded, for the callers that must report it.
    bool reset(Type value = Traits::Invalid()) {
        bool ok = true;
        if (valid()) ok = Traits::Close(value_);
        value_ = value;
        return ok;
    }
    Type release() { return std::exchange(value_, Traits::Invalid()); }
    // For out-parameters of creation calls: releases what is held first.
    Type* put() { reset(); return &value_; }

private:
    Type value_ = Traits::Invalid();
};

// Declares the traits of one resource kind in a line.
#define TARNWICK_RESOURCE_TRAITS(Name, T, invalidValue, closeExpr)        \
    struct Name {                                                         \
        using Type = T;                                                   \
        static Type Invalid() { return invalidValue; }                    \
        static bool Close(Type v) { return (closeExpr) != 0; }            \
    }

namespace traits {
TARNWICK_RESOURCE_TRAITS(Handle, HANDLE, nullptr, CloseHandle(v));
TARNWICK_RESOURCE_TRAITS(File, HANDLE, INVALID_HANDLE_VALUE, CloseHandle(v));
TARNWICK_RESOURCE_TRAITS(Search, HANDLE, INVALID_HANDLE_VALUE, FindClose(v));
TARNWICK_RESOURCE_TRAITS(RegKey, HKEY, nullptr, RegCloseKey(v) == ERROR_SUCCESS);
TARNWICK_RESOURCE_TRAITS(GdiObject, HGDIOBJ, nullptr, DeleteObject(v));
TARNWICK_RESOURCE_TRAITS(Bitmap, HBITMAP, nullptr, DeleteObject(v));
TARNWICK_RESOURCE_TRAITS(Region, HRGN, nullptr, DeleteObject(v));
TARNWICK_RESOURCE_TRAITS(MemoryDc, HDC, nullptr, DeleteDC(v));
TARNWICK_RESOURCE_TRAITS(Module, HMODULE, nullptr, FreeLibrary(v));
TARNWICK_RESOURCE_TRAITS(MappedView, void*, nullptr, UnmapViewOfFile(v));
TARNWICK_RESOURCE_TRAITS(EventSource, HANDLE, nullptr, DeregisterEventSource(v));
TARNWICK_RESOURCE_TRAITS(Internet, HINTERNET, nullptr, InternetCloseHandle(v));
TARNWICK_RESOURCE_TRAITS(LocalMemory, HLOCAL, nullptr, LocalFree(v) == nullptr);
}  // namespace traits

// Handles whose "none" value is null: events, mutexes, threads, mappings, processes.
using UniqueHandle = UniqueResource<traits::Handle>;
// Handles whose "none" value is INVALID_HANDLE_VALUE: files from CreateFileW.
using UniqueFile = UniqueResource<traits::File>;
using UniqueFindHandle = UniqueResource<traits::Search>;
using UniqueRegKey = UniqueResource<traits::RegKey>;
using UniqueGdiObject = UniqueResource<traits::GdiObject>;
using UniqueBitmap = UniqueResource<traits::Bitmap>;
using UniqueRegion = UniqueResource<traits::Region>;
using UniqueMemoryDc = UniqueResource<traits::MemoryDc>;
using UniqueModule = UniqueResource<traits::Module>;
using UniqueMappedView = UniqueResource<traits::MappedView>;
using UniqueEventSource = UniqueResource<traits::EventSource>;
// WinINet session and request handles (link wininet).
using UniqueInternet = UniqueResource<traits::Internet>;
// Buffers the system allocates for the caller with LocalAlloc (FormatMessageW).
using UniqueLocalMemory = UniqueResource<traits::LocalMemory>;

// Keeps an object selected into a device context and restores the previous one.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
    ~ScopedSelectObject() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace PlatformHelpers
