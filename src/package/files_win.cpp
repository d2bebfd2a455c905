// Win32 file primitives, drive queries, searches over drives, tree deletion
// and CD ejection. ANSI entry points only; nothing newer than Windows 95
// is linked directly.
#include "package/files.h"

#include "base/handle.h"
#include "base/paths.h"
#include "base/pump.h"
#include "base/text_utils.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include "base/debug_stream.h"

namespace {

HANDLE H(intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

bool g_searchAbort = false;

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + name;
    return folder + "\\" + name;
}

bool IsDotEntry(const WIN32_FIND_DATAA& fd)
{
    return std::strcmp(fd.cFileName, ".") == 0 || std::strcmp(fd.cFileName, "..") == 0;
}

bool IsFolderEntry(const WIN32_FIND_DATAA& fd)
{
    return (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDotEntry(fd);
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix)
{
    if (suffix.size() > text.size()) return false;
    return lstrcmpiA(text.c_str() + text.size() - suffix.size(), suffix.c_str()) == 0;
}

using TTreeSearch = std::string (*)(const std::string& folder, const std::string& name);

// Runs `search` on each subfolder of `folder` until one finds `name` or the
// search is aborted; pumps messages between entries so the window stays alive.
std::string SearchSubfolders(const std::string& folder, const std::string& name, TTreeSearch search)
{
    WIN32_FIND_DATAA fd;
    TFindHandle find{FindFirstFileA(JoinPath(folder, "*").c_str(), &fd)};
    if (!find) return "";
    do {
        FilesPump();
        if (g_searchAbort) return "";
        if (IsFolderEntry(fd)) {
            std::string hit = search(JoinPath(folder, fd.cFileName), name);
            if (!hit.empty() || g_searchAbort) return hit;
        }
    } while (FindNextFileA(find.get(), &fd));
    return "";
}

// Runs `search` from the root of each drive C: to Z: of the given type until
// one finds `name` or the search is aborted.
std::string SearchDriveRoots(const std::string& name, unsigned driveType, TTreeSearch search)
{
    std::string hit;
    for (char letter = 'C'; letter <= 'Z' && hit.empty() && !g_searchAbort; ++letter) {
        std::string root = std::string(1, letter) + ":\\";
        if (GetDriveTypeA(root.c_str()) == driveType) hit = search(root, name);
    }
    return hit;
}

}  // namespace

// ---- TFile -----------------------------------------------------------------

bool TFile::Open(const std::string& path, TMode mode)
{
    Close();
    DWORD access = GENERIC_READ, creation = OPEN_EXISTING;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (mode == fmWriteShared) {
        access = GENERIC_WRITE;
        creation = OPEN_ALWAYS;
    } else if (mode == fmCreate) {
        access = GENERIC_WRITE;
        creation = CREATE_ALWAYS;
        share = FILE_SHARE_READ;
    } else if (mode == fmCreateNew) {
        access = GENERIC_WRITE;
        creation = CREATE_NEW;
    }
    HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<intptr_t>(h);
    return true;
}

void TFile::Close()
{
    if (IsOpen()) CloseHandle(H(handle_));
    handle_ = kInvalid;
}

std::size_t TFile::Read(void* buffer, std::size_t count)
{
    std::size_t total = 0;
    auto* p = static_cast<char*>(buffer);
    while (IsOpen() && total < count) {
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(H(handle_), p + total, want, &got, nullptr) || got == 0) break;
        total += got;
    }
    return total;
}

std::size_t TFile::Write(const void* data, std::size_t count)
{
    std::size_t total = 0;
    const auto* p = static_cast<const char*>(data);
    while (IsOpen() && total < count) {
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        DWORD done = 0;
        if (!WriteFile(H(handle_), p + total, want, &done, nullptr) || done == 0) break;
        total += done;
    }
    return total;
}

int64_t TFile::Seek(int64_t offset, TSeekOrigin origin)
{
    if (!IsOpen()) return -1;
    // SetFilePointer with its high word: the Ex form is missing on 95.
    LONG high = static_cast<LONG>(offset >> 32);
    DWORD method = origin == soBegin ? FILE_BEGIN : origin == soCurrent ? FILE_CURRENT : FILE_END;
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(H(handle_), static_cast<LONG>(offset & 0xFFFFFFFF), &high, method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
    return (static_cast<int64_t>(high) << 32) | low;
}

int64_t TFile::Size()
{
    if (!IsOpen()) return -1;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(H(handle_), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
    return (static_cast<int64_t>(high) << 32) | low;
}

bool TFile::SetDosTime(uint32_t dosTime)
{
    FILETIME local, utc;
    if (!IsOpen() ||
        !DosDateTimeToFileTime(static_cast<WORD>(dosTime >> 16), static_cast<WORD>(dosTime & 0xFFFF),
                               &local) ||
        !LocalFileTimeToFileTime(&local, &utc))
        return false;
    return SetFileTime(H(handle_), nullptr, nullptr, &utc) != 0;
}

// ---- names and folders -------------------------------------------------------

int64_t FileSizeByName(const std::string& path)
{
    WIN32_FIND_DATAA fd;
    TFindHandle find{FindFirstFileA(path.c_str(), &fd)};
    if (!find) return 0;
    return (static_cast<int64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
}

uint32_t FileDosTime(const std::string& path)
{
    WIN32_FIND_DATAA fd;
    TFindHandle find{FindFirstFileA(path.c_str(), &fd)};
    FILETIME local;
    WORD date = 0, time = 0;
    if (!find || !FileTimeToLocalFileTime(&fd.ftLastWriteTime, &local) ||
        !FileTimeToDosDateTime(&local, &date, &time))
        return 0;
    return static_cast<uint32_t>(date) << 16 | time;
}

bool FileExists(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFileByName(const std::string& path)
{
    return DeleteFileA(path.c_str()) || !FileExists(path);
}

bool DirectoryExists(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const std::string& path)
{
    std::string p = path;
    while (p.size() > 3 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
    if (p.empty()) return false;
    if (DirectoryExists(p)) return true;
    std::size_t slash = p.find_last_of("\\/");
    if (slash != std::string::npos && slash > 0) {
        std::string parent = p.substr(0, slash);
        // "C:" and the "\\server" part of a UNC name are not folders to make.
        bool isRoot =
            (parent.size() == 2 && parent[1] == ':') || parent.find_first_not_of('\\') == std::string::npos;
        if (!isRoot && !ForceDirectories(parent)) return false;
    }
    if (!CreateDirectoryA(p.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    return DirectoryExists(p);
}

void FilesPump()
{
    PumpMessages(0);
}

// ---- free space ----------------------------------------------------------------

double DiskFree(const std::string& path)
{
    using TGetDiskFreeSpaceEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    // The extended query came with Windows 95 OSR2; bound once at run time.
    static bool looked = false;
    static TGetDiskFreeSpaceEx getFreeEx = nullptr;
    if (!looked) {
        looked = true;
        if (HMODULE k = GetModuleHandleA("kernel32.dll"))
            getFreeEx = reinterpret_cast<TGetDiskFreeSpaceEx>(
                reinterpret_cast<void*>(GetProcAddress(k, "GetDiskFreeSpaceExA")));
    }
    if (getFreeEx) {
        ULARGE_INTEGER avail, total, freeAll;
        if (getFreeEx(DriveRootOf(path, false).c_str(), &avail, &total, &freeAll) ||
            getFreeEx(DriveRootOf(path, true).c_str(), &avail, &total, &freeAll))
            return static_cast<double>(avail.QuadPart);
        return 0;
    }
    DWORD spc = 0, bps = 0, freeClusters = 0, clusters = 0;
    if (!GetDiskFreeSpaceA(DriveRootOf(path, true).c_str(), &spc, &bps, &freeClusters, &clusters)) return 0;
    return static_cast<double>(freeClusters) * spc * bps;
}

// ---- searches ------------------------------------------------------------------

void SetSearchAbort(bool abort)
{
    g_searchAbort = abort;
}

bool SearchAbortRequested()
{
    return g_searchAbort;
}

std::string FindFileInTree(const std::string& folder, const std::string& name)
{
    std::string direct = JoinPath(folder, name);
    if (FileExists(direct)) return direct;
    return SearchSubfolders(folder, name, FindFileInTree);
}

std::string FindDirInTree(const std::string& folder, const std::string& name)
{
    std::string f = folder;
    while (f.size() > 3 && (f.back() == '\\' || f.back() == '/')) f.pop_back();
    if (EndsWithNoCase(f, "\\" + name) && DirectoryExists(f)) return f;
    return SearchSubfolders(f, name, FindDirInTree);
}

std::string FindFileOnDrives(const std::string& name, unsigned driveType)
{
    g_searchAbort = false;
    std::string hit = SearchDriveRoots(name, driveType, FindFileInTree);
    g_searchAbort = false;
    return hit;
}

std::string FindDirOnDrives(const std::string& name, unsigned driveType)
{
    g_searchAbort = false;
    std::string hit, sought = name;
    bool absolute = name.size() > 3 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':' &&
                    name[2] == '\\';
    if (absolute) {
        std::string root = name.substr(0, 3);
        if (GetDriveTypeA(root.c_str()) == driveType && DirectoryExists(name)) hit = name;
        // Elsewhere the same folder is looked for below any root.
        sought = name.substr(3);
    }
    if (hit.empty()) hit = SearchDriveRoots(sought, driveType, FindDirInTree);
    g_searchAbort = false;
    return hit;
}

// ---- deletion ------------------------------------------------------------------

bool DeleteFilesByMask(const std::string& mask, bool clearAttributes)
{
    const std::string folder = FolderPart(ReplaceChar(mask, '/', '\\'));
    bool attempted = false;
    WIN32_FIND_DATAA fd;
    TFindHandle find{FindFirstFileA(mask.c_str(), &fd)};
    if (!find) return false;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string path = folder + fd.cFileName;
        if (clearAttributes) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        attempted = true;
    } while (FindNextFileA(find.get(), &fd));
    return attempted;
}

bool DeleteTree(const std::string& folder, bool clearAttributes, const std::function<void()>& progress)
{
    std::string f = folder;
    while (f.size() > 3 && (f.back() == '\\' || f.back() == '/')) f.pop_back();
    if (!DirectoryExists(f)) return false;
    DeleteFilesByMask(JoinPath(f, "*"), clearAttributes);
    {
        WIN32_FIND_DATAA fd;
        TFindHandle find{FindFirstFileA(JoinPath(f, "*").c_str(), &fd)};
        if (find) {
            do {
                if (!IsFolderEntry(fd)) continue;
                if (progress) progress();
                DeleteTree(JoinPath(f, fd.cFileName), clearAttributes, progress);
            } while (FindNextFileA(find.get(), &fd));
        }
    }
    if (clearAttributes) SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(f.c_str());
    return !DirectoryExists(f);
}

// ---- CD ------------------------------------------------------------------------

bool EjectCD(const std::string& path)
{
    if (path.empty()) return false;
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    if (letter < 'A' || letter > 'Z') return false;
    std::string root = std::string(1, letter) + ":\\";
    if (GetDriveTypeA(root.c_str()) != DRIVE_CDROM) return false;
    std::string device = std::string("\\\\.\\") + letter + ":";
    HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    DebugOut() << "EjectCD-2: " << device << " " << reinterpret_cast<intptr_t>(h) << DebugEndl;
    if (h == INVALID_HANDLE_VALUE) {
        h = CreateFileA(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
        DebugOut() << "EjectCD-3: " << device << " " << reinterpret_cast<intptr_t>(h) << DebugEndl;
    }
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD bytes = 0;
    bool ok = DeviceIoControl(h, IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0, &bytes, nullptr) != 0;
    CloseHandle(h);
    return ok;
}

std::string MakePrivateTempFolder(const std::string& prefix)
{
    const std::string temp = TempFolder(true);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string folder =
            temp + prefix + std::to_string(GetCurrentProcessId()) + "_" + RandomIntText(10000, 100000);
        if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return "";
}
