// One owner for every kernel handle: closed when the scope ends, never twice.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <utility>

// Owns a HANDLE closed with CloseHandle, or with the closer given (FindClose
// for search handles). Both null and INVALID_HANDLE_VALUE mean "none".
template <BOOL(WINAPI* Close)(HANDLE) = CloseHandle> class TOwnedHandle {
public:
    TOwnedHandle() = default;
    explicit TOwnedHandle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~TOwnedHandle() { Reset(); }
    TOwnedHandle(const TOwnedHandle&) = delete;
    TOwnedHandle& operator=(const TOwnedHandle&) = delete;
    TOwnedHandle(TOwnedHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    TOwnedHandle& operator=(TOwnedHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            h_ = std::exchange(other.h_, nullptr);
        }
        return *this;
    }

    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    // Gives the handle up without closing it.
    HANDLE release() { return std::exchange(h_, nullptr); }
    void Reset(HANDLE h = nullptr)
    {
        if (h_) Close(h_);
        h_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
    }

private:
    HANDLE h_ = nullptr;
};

using THandle = TOwnedHandle<>;
using TFindHandle = TOwnedHandle<FindClose>;
#endif
