// POSIX counterparts of the Win32 file primitives in files_win.cpp, so that
// the extraction engine and pkgtool run natively. Paths keep the Windows
// form everywhere else; here "\" becomes "/".
#ifndef _WIN32

#include "package/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

std::string NativePath(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

int Fd(intptr_t handle)
{
    return static_cast<int>(handle);
}

// Repeats a partial read or write until `count` bytes have moved, the end of
// the file, or an error; interrupted calls are retried. Returns the bytes moved.
template <typename TStep> std::size_t TransferAll(std::size_t count, TStep step)
{
    std::size_t total = 0;
    while (total < count) {
        ssize_t n = step(total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

}  // namespace

bool TFile::Open(const std::string& path, TMode mode)
{
    Close();
    int flags = O_RDONLY;
    if (mode == fmWriteShared)
        flags = O_WRONLY | O_CREAT;
    else if (mode == fmCreate)
        flags = O_WRONLY | O_CREAT | O_TRUNC;
    else if (mode == fmCreateNew)
        flags = O_WRONLY | O_CREAT | O_EXCL;
    int fd = ::open(NativePath(path).c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    // Opening a folder for writing fails by itself (EISDIR); for reading it
    // succeeds and is refused here.
    struct stat st;
    if (flags == O_RDONLY && (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))) {
        ::close(fd);
        errno = EISDIR;
        return false;
    }
    handle_ = fd;
    return true;
}

void TFile::Close()
{
    if (IsOpen()) ::close(Fd(handle_));
    handle_ = kInvalid;
}

std::size_t TFile::Read(void* buffer, std::size_t count)
{
    if (!IsOpen()) return 0;
    const int fd = Fd(handle_);
    auto* p = static_cast<char*>(buffer);
    return TransferAll(count, [&](std::size_t done) { return ::read(fd, p + done, count - done); });
}

std::size_t TFile::Write(const void* data, std::size_t count)
{
    if (!IsOpen()) return 0;
    const int fd = Fd(handle_);
    const auto* p = static_cast<const char*>(data);
    return TransferAll(count, [&](std::size_t done) { return ::write(fd, p + done, count - done); });
}

int64_t TFile::Seek(int64_t offset, TSeekOrigin origin)
{
    if (!IsOpen()) return -1;
    int whence = origin == soBegin ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(Fd(handle_), static_cast<off_t>(offset), whence);
    return r < 0 ? -1 : static_cast<int64_t>(r);
}

int64_t TFile::Size()
{
    struct stat st;
    if (!IsOpen() || fstat(Fd(handle_), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool TFile::SetDosTime(uint32_t dosTime)
{
    if (!IsOpen()) return false;
    // DOS date-time is local time with two-second resolution.
    std::tm t{};
    t.tm_year = static_cast<int>((dosTime >> 25) & 0x7F) + 80;
    t.tm_mon = static_cast<int>((dosTime >> 21) & 0x0F) - 1;
    t.tm_mday = static_cast<int>((dosTime >> 16) & 0x1F);
    t.tm_hour = static_cast<int>((dosTime >> 11) & 0x1F);
    t.tm_min = static_cast<int>((dosTime >> 5) & 0x3F);
    t.tm_sec = static_cast<int>(dosTime & 0x1F) * 2;
    t.tm_isdst = -1;
    if (t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday == 0) return false;
    // The files of a package mostly share few stamps, and every mktime asks
    // the file system whether the zone changed: remember the last one.
    thread_local uint32_t lastDosTime = 0;
    thread_local std::time_t lastWhen = -1;
    std::time_t when = dosTime == lastDosTime ? lastWhen : std::mktime(&t);
    if (when == static_cast<std::time_t>(-1)) return false;
    lastDosTime = dosTime;
    lastWhen = when;
    struct timespec times[2];
    times[0].tv_sec = when;
    times[0].tv_nsec = 0;
    times[1] = times[0];
    return futimens(Fd(handle_), times) == 0;
}

int64_t FileSizeByName(const std::string& path)
{
    struct stat st;
    if (stat(NativePath(path).c_str(), &st) != 0) return 0;
    return static_cast<int64_t>(st.st_size);
}

uint32_t FileDosTime(const std::string& path)
{
    struct stat st;
    std::tm t{};
    if (stat(NativePath(path).c_str(), &st) != 0 || !localtime_r(&st.st_mtime, &t) || t.tm_year < 80)
        return 0;
    uint32_t date = static_cast<uint32_t>((t.tm_year - 80) << 9 | (t.tm_mon + 1) << 5 | t.tm_mday);
    uint32_t time = static_cast<uint32_t>(t.tm_hour << 11 | t.tm_min << 5 | t.tm_sec / 2);
    return date << 16 | time;
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path)
{
    struct stat st;
    return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFileByName(const std::string& path)
{
    return ::unlink(NativePath(path).c_str()) == 0 || !FileExists(path);
}

bool ForceDirectories(const std::string& path)
{
    std::string p = NativePath(path);
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (p.empty()) return false;
    if (DirectoryExists(p)) return true;
    std::size_t slash = p.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !ForceDirectories(p.substr(0, slash))) return false;
    if (mkdir(p.c_str(), 0755) != 0 && errno != EEXIST) return false;
    return DirectoryExists(p);
}

void FilesPump() {}

double DiskFree(const std::string& path)
{
    struct statvfs vfs;
    std::string p = NativePath(path);
    // The drive of a path that does not exist yet: its nearest existing
    // parent.
    while (!p.empty() && statvfs(p.c_str(), &vfs) != 0) {
        std::size_t slash = p.find_last_of('/');
        if (slash == std::string::npos)
            p = ".";
        else
            p = slash == 0 ? "/" : p.substr(0, slash);
        if (p == "." || p == "/")
            return statvfs(p.c_str(), &vfs) == 0 ? static_cast<double>(vfs.f_bavail) * vfs.f_frsize : 0;
    }
    return p.empty() ? 0 : static_cast<double>(vfs.f_bavail) * vfs.f_frsize;
}

#endif
