// Owners of the system's handles, and the guard of the thread's last error:
// what a routine holds is given back on every way out, and the error a
// routine leaves for its caller survives the giving back.
#pragma once

#include <windows.h>

// Keeps the thread's last error across the calls of a scope: the error the
// scope found is the one it leaves.
struct [[nodiscard]] KeepLastError {
    DWORD error = GetLastError();
    ~KeepLastError() { SetLastError(error); }
};

// One handle, closed by Kind::Close when the owner goes (the last error
// kept), unless released. Kind names the handle type and its empty value.
template <typename Kind>
class [[nodiscard]] Unique {
public:
    using Type = typename Kind::Type;

    Unique() = default;
    explicit Unique(Type value) : value_(value) {}
    ~Unique() { reset(); }
    Unique(Unique&& other) noexcept : value_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;

    Type get() const { return value_; }
    Type operator->() const { return value_; }  // owners of records
    explicit operator bool() const { return value_ != Kind::Empty(); }
    // Hands the handle on: the owner no longer closes it.
    Type release() {
        Type value = value_;
        value_ = Kind::Empty();
        return value;
    }
    // For a call that hands out a new handle through a pointer: what the
    // owner held goes first.
    Type* receive() {
        reset();
        return &value_;
    }
    void reset(Type value = Kind::Empty()) {
        if (value_ != Kind::Empty()) {
            KeepLastError keep;
            Kind::Close(value_);
        }
        value_ = value;
    }

private:
    Type value_ = Kind::Empty();
};

struct HandleKind {  // events, mutexes, threads, processes, mappings: null when none
    using Type = HANDLE;
    static HANDLE Empty() { return nullptr; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct FileKind {  // CreateFile's handles: INVALID_HANDLE_VALUE when none
    using Type = HANDLE;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct KeyKind {
    using Type = HKEY;
    static HKEY Empty() { return nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};
struct ViewKind {  // MapViewOfFile's views
    using Type = void*;
    static void* Empty() { return nullptr; }
    static void Close(void* view) { UnmapViewOfFile(view); }
};

using UniqueHandle = Unique<HandleKind>;
using UniqueFile = Unique<FileKind>;
using UniqueKey = Unique<KeyKind>;
using UniqueView = Unique<ViewKind>;
