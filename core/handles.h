#pragma once
// Owners of what the program opens: each handle and stream is closed once, on
// every way out of the scope that opened it. The zlib owner needs no Windows,
// so the archive reader can also be built for the fuzzer's host.
#include <zlib.h>

#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

// Owns one handle; Traits says what no handle is and how one is closed.
template <class Traits>
class Owned {
public:
    using Handle = typename Traits::Handle;

    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, Traits::None())) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.handle_, Traits::None()));
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    bool valid() const { return handle_ != Traits::None(); }
    Handle get() const { return handle_; }
    // Closes the handle held, if any, and holds this one.
    void Reset(Handle handle = Traits::None()) {
        if (valid()) Traits::Close(handle_);
        handle_ = handle;
    }
    // Gives the handle up to a new owner, such as the clipboard.
    Handle Release() { return std::exchange(handle_, Traits::None()); }

private:
    Handle handle_ = Traits::None();
};

#ifdef _WIN32

struct FileTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { CloseHandle(handle); }
};
// A file opened with CreateFileW.
using FileHandle = Owned<FileTraits>;

struct FindTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { FindClose(handle); }
};
struct ProcessTraits {
    using Handle = HANDLE;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { CloseHandle(handle); }
};
using ProcessHandle = Owned<ProcessTraits>;
// A mutex, closed as a process handle is.
using MutexHandle = Owned<ProcessTraits>;
// Any kernel object that CloseHandle closes.
using KernelHandle = Owned<ProcessTraits>;

// A listing begun with FindFirstFileW: each caller owns its own.
using FindHandle = Owned<FindTraits>;

struct ChangeNotificationTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { FindCloseChangeNotification(handle); }
};
// A watch on a folder begun with FindFirstChangeNotificationW.
using ChangeNotificationHandle = Owned<ChangeNotificationTraits>;

struct MenuTraits {
    using Handle = HMENU;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { DestroyMenu(handle); }
};
// A menu of our own that no window holds, such as a context menu.
using MenuHandle = Owned<MenuTraits>;

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { RegCloseKey(handle); }
};
using RegKeyHandle = Owned<RegKeyTraits>;

struct GlobalTraits {
    using Handle = HGLOBAL;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { GlobalFree(handle); }
};
using GlobalMemory = Owned<GlobalTraits>;

template <class H>
struct GdiTraits {
    using Handle = H;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { DeleteObject(handle); }
};
using FontHandle = Owned<GdiTraits<HFONT>>;
using BitmapHandle = Owned<GdiTraits<HBITMAP>>;

#endif

// A raw deflate stream of zlib, ended as it was begun.
class ZStream {
public:
    enum class Mode { Inflate, Deflate };
    explicit ZStream(Mode mode, int level = Z_DEFAULT_COMPRESSION) : mode_(mode) {
        result_ = mode == Mode::Inflate ? inflateInit2(&stream_, -MAX_WBITS)
                                        : deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    }
    ~ZStream() {
        if (!ok()) return;
        if (mode_ == Mode::Inflate) {
            inflateEnd(&stream_);
        } else {
            deflateEnd(&stream_);
        }
    }
    ZStream(const ZStream&) = delete;
    ZStream& operator=(const ZStream&) = delete;

    // Whether the stream began; zlib's result says why not.
    bool ok() const { return result_ == Z_OK; }
    z_stream& get() { return stream_; }

private:
    z_stream stream_{};
    Mode mode_;
    int result_;
};
