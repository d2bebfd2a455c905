// A disk that fills up, for the tests under Wine on x86-64 Linux: the
// process's file-size limit (RLIMIT_FSIZE) makes every write past it fail, in
// this process and in the programs it starts, as a full disk would. Wine runs
// Windows programs as Linux processes, so the limit is set with the Linux
// system calls themselves; SIGXFSZ is ignored so that a write past the limit
// fails instead of ending the process.
#pragma once

#include <windows.h>

#include <cstdint>

namespace write_fault {

// Whether this process is a Windows program run by Wine on x86-64 Linux.
inline bool CanLimitFileSize()
{
#if defined(__x86_64__)
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

#if defined(__x86_64__)
// Windows' long has 32 bits; Linux's arguments have 64.
inline int64_t LinuxCall(int64_t number, int64_t a1, int64_t a2, int64_t a3, int64_t a4)
{
    int64_t result;
    register int64_t r10 asm("r10") = a4;
    asm volatile("syscall"
                 : "=a"(result)
                 : "a"(number), "D"(a1), "S"(a2), "d"(a3), "r"(r10)
                 : "rcx", "r11", "memory");
    return result;
}
#endif

// Files of this process and of the programs it starts meanwhile cannot grow
// past `bytes` while the object lives.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(uint64_t bytes)
    {
#if defined(__x86_64__)
        if (!CanLimitFileSize()) return;
        constexpr int64_t kRtSigaction = 13, kPrlimit64 = 302, kSigXfsz = 25, kRlimitFsize = 1;
        const TSigaction ignore{1 /* SIG_IGN */, 0, 0, 0};
        if (LinuxCall(kRtSigaction, kSigXfsz, reinterpret_cast<int64_t>(&ignore),
                      reinterpret_cast<int64_t>(&oldAction_), 8) != 0)
            return;
        TRlimit limit{};
        if (LinuxCall(kPrlimit64, 0, kRlimitFsize, 0, reinterpret_cast<int64_t>(&old_)) == 0) {
            limit.Cur = bytes;
            limit.Max = old_.Max;
            active_ = LinuxCall(kPrlimit64, 0, kRlimitFsize, reinterpret_cast<int64_t>(&limit), 0) == 0;
        }
        if (!active_) LinuxCall(kRtSigaction, kSigXfsz, reinterpret_cast<int64_t>(&oldAction_), 0, 8);
#else
        (void)bytes;
#endif
    }
    ~TFileSizeLimit()
    {
#if defined(__x86_64__)
        if (!active_) return;
        LinuxCall(302, 0, 1, reinterpret_cast<int64_t>(&old_), 0);
        LinuxCall(13, 25, reinterpret_cast<int64_t>(&oldAction_), 0, 8);
#endif
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

    bool Active() const
    {
        return active_;
    }

private:
    struct TRlimit {
        uint64_t Cur, Max;
    };
    struct TSigaction {
        uint64_t Handler, Flags, Restorer, Mask;
    };
    TRlimit old_{};
    TSigaction oldAction_{};
    bool active_ = false;
};

}  // namespace write_fault
