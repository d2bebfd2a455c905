// File-system utilities shared by the extraction, the setup flow, the agent
// and the downloads. Every operation takes and returns 8-bit paths and
// reports failure by its result.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

enum TSeekOrigin {
    soBegin = 0,
    soCurrent = 1,
    soEnd = 2
};

// An open file; closed when the object goes. Reads share read and write
// access with others, so a package can be read while it is open elsewhere.
class TFile {
public:
    enum TMode {
        fmReadShared,   // existing file, reading
        fmWriteShared,  // existing file or a new one, writing, not truncated
        fmCreate,       // new or truncated file, writing
        fmCreateNew     // a file that does not exist yet, writing; fails when it does
    };

    TFile() = default;
    TFile(const std::string& path, TMode mode) { Open(path, mode); }
    ~TFile() { Close(); }
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;

    bool Open(const std::string& path, TMode mode);
    void Close();
    bool IsOpen() const { return handle_ != kInvalid; }

    // Bytes read or written; 0 at the end of the file or on failure.
    std::size_t Read(void* buffer, std::size_t count);
    std::size_t Write(const void* data, std::size_t count);
    // New position, -1 on failure.
    int64_t Seek(int64_t offset, TSeekOrigin origin);
    // Size of the open file, -1 on failure.
    int64_t Size();
    // Sets the last-write time from a DOS date-time (date high, time low).
    bool SetDosTime(uint32_t dosTime);

private:
    static constexpr intptr_t kInvalid = -1;
    intptr_t handle_ = kInvalid;
};

int64_t SeekFile64(TFile& file, TSeekOrigin origin, int64_t offset);
int64_t FileSize64(TFile& file);
// Size found by a directory search for the path (any attributes); 0 when
// not found.
int64_t FileSizeByName(const std::string& path);

// Last-write time of a file as a DOS date-time; 0 when it cannot be read.
uint32_t FileDosTime(const std::string& path);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Deletes one file; true when it is gone.
bool DeleteFileByName(const std::string& path);
// Creates the folder with every missing parent; true when it exists after.
bool ForceDirectories(const std::string& path);
// Dispatches the thread's pending window messages (nothing natively).
void FilesPump();

// Bytes from Offset to the end, at most MaxLen when MaxLen is not 0; ""
// when the file is missing, Offset is not below the size, nothing remains or
// the read came up short.
std::string ReadFileToString(const std::string& path, int64_t maxLen = 0, int64_t offset = 0);

// Progress of a chunked write: called once with start = true and the total,
// then after every chunk with the bytes written so far. Returning false
// cancels the write.
using TSaveProgress = std::function<bool(bool start, uint64_t value)>;

// Size of the chunks SaveFile writes Data of the given length in when it
// writes in chunks.
std::size_t SaveFileChunkSize(std::size_t length);

// Writes Data to Path (appending when asked, creating the file when
// missing), in chunks with messages pumped for large data or when a
// Progress function is given; sets the file time when DosTime is not 0 and
// every byte was written. True when every byte was written.
bool SaveFile(const std::string& path, const std::string& data, uint32_t dosTime, bool append,
              const TSaveProgress& progress = {});

bool AppendTextToFile(const std::string& path, const std::string& text, uint32_t dosTime);

// "/" turned into "\"; with forceLetter, or for paths shorter than 3, the
// upper-cased first letter + ":\"; otherwise the path cut before its fourth
// "\" (a UNC path keeps server and share).
std::string DriveRootOf(const std::string& path, bool forceLetter);

// Free bytes available to the caller on the drive of Path; 0 on failure.
double DiskFree(const std::string& path);

#ifdef _WIN32
// Searches over folders and whole drives. They pump messages after each
// directory entry and stop early when the search-abort flag is set.
void SetSearchAbort(bool abort);
bool SearchAbortRequested();

std::string FindFileInTree(const std::string& folder, const std::string& name);
std::string FindFileOnDrives(const std::string& name, unsigned driveType);
std::string FindDirInTree(const std::string& folder, const std::string& name);
std::string FindDirOnDrives(const std::string& name, unsigned driveType);

// Deletes every file matching Mask (read-only, hidden and system files
// included); true when at least one deletion was attempted.
bool DeleteFilesByMask(const std::string& mask, bool clearAttributes);

// Deletes Folder with everything in it; Progress runs once per subfolder.
// True when Folder existed before and is gone after.
bool DeleteTree(const std::string& folder, bool clearAttributes, const std::function<void()>& progress = {});
// Makes a new folder below the temp folder named prefix + process id + "_" +
// a random number, and returns its path ("" when none could be made). A
// folder that exists already is never taken: what another program placed
// there in advance cannot pass for this process's own files.
std::string MakePrivateTempFolder(const std::string& prefix);

// Ejects the medium of Path's drive when it is a CD drive; true when the
// eject request succeeded.
bool EjectCD(const std::string& path);
#endif
