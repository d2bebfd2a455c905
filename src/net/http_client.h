// The HTTP download client: a connection check, the length of a remote file
// and a chunked download into a file or into memory, with progress events,
// the process-wide abort flag (net/download_abort.h) and readable error
// texts. All network work goes through WinINet, bound at run time.
//
// A download to a file goes into a working file beside the target (target +
// "." + the 32-bit sum of the announced length and the remote file's DOS
// date-time) and replaces the target only when complete. A body cut short is
// continued from where it stopped (a Range request guarded by If-Range) up
// to three times; the validator for that is kept beside the working file, so
// a later download of the same version continues it as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr const char* kProbeUserAgent = "HTTP_Connect_2";     // probe and length query
constexpr const char* kDownloadUserAgent = "HTTP_Connect_3";  // downloads
constexpr uint32_t kHttpTimeoutMs = 180000;
constexpr uint32_t kMaxDownloadChunk = 8192;
// Bytes asked of WinINet per read, between these (see TReadSizer).
constexpr uint32_t kFirstNetworkRead = 65536;
constexpr uint32_t kMaxNetworkRead = 1u << 20;
// A full read quicker than this lets the next one double; one slower than
// this halves the next.
constexpr uint32_t kQuickReadMs = 20;
constexpr uint32_t kSlowReadMs = 50;
// The length taken when the server announces none (chunked answers).
constexpr uint32_t kNoAnnouncedLength = 0xFFFFFFFFu;
// A download into memory without an announced length stops past this.
constexpr std::size_t kMemoryDownloadCap = 16u << 20;
// Retries of one download after its body was cut short.
constexpr int kDownloadRetries = 3;

// ---- the rules of a download (portable) -------------------------------------

// A URL that starts with "http://" or "https://" (any letter case) as it is;
// any other gets "http://" in front.
std::string HttpUrlForm(const std::string& url);
// The file-name part of the URL, its "/" read as "\".
std::string RemoteFileName(const std::string& url);
// The unit of progress, of the limits and of the abort flag: a tenth of the
// length within 1..8,192.
uint32_t DownloadChunkSize(uint32_t length);

// The size of the next read of a body. A read returns when its buffer is
// full or the body ends, so the size follows the link: it doubles while
// full reads come quickly and halves when one takes long. A slow link so
// never holds the window for long, and a fast one is read in few calls
// (under Wine a call costs about as much as reading 64 KiB). Always a whole
// number of chunks, at least one.
class TReadSizer {
public:
    explicit TReadSizer(uint32_t chunk);
    uint32_t Size() const { return size_; }
    // The largest size it will ask for: the buffer to read into.
    uint32_t Capacity() const { return Whole(kMaxNetworkRead); }
    // How the last read went: bytes asked and got, milliseconds it took.
    void Took(uint32_t asked, uint32_t got, uint32_t ms);

private:
    uint32_t Whole(uint32_t bytes) const;
    uint32_t chunk_;
    uint32_t size_;
};
// The length a Content-Length header announces: its text must be a decimal
// number below kNoAnnouncedLength; anything else (absent, signed, garbage,
// too large) announces no length.
uint32_t AnnouncedLength(const std::string& header);
// The progress maximum: one step per chunk, plus one.
int DownloadProgressMaximum(uint32_t length, uint32_t chunk);
// target + "." + (length + dosTime) in unsigned 32-bit arithmetic.
std::string WorkingFilePath(const std::string& target, uint32_t length, uint32_t dosTime);
// Where the working file's validator (the If-Range value) is kept.
std::string ValidatorFilePath(const std::string& working);
// True for the file names a download of the target leaves: the target's
// name + "." + digits, and those + the validator's extension. Case is ignored.
bool IsDownloadLeftover(const std::string& targetName, const std::string& name);
// The packed FAT date (high word) and time of a UTC time; 0 for a time a FAT
// stamp cannot hold (before 1980, after 2107) or an invalid one.
uint32_t DosDateTimeOf(int year, int month, int day, int hour, int minute, int second);
// The If-Range value: a strong entity tag where the server sends one, else
// the Last-Modified text; "" when there is none (nothing can be continued).
std::string IfRangeValidator(const std::string& etag, const std::string& lastModified);
// The request headers that continue a body at `from`.
std::string ResumeHeaders(uint64_t from, const std::string& validator);
// "bytes FIRST-LAST/TOTAL" (TOTAL may be "*", then 0).
struct TContentRange {
    uint64_t First = 0, Last = 0, Total = 0;
};
bool ParseContentRange(const std::string& text, TContentRange& range);
bool IsSuccessStatus(unsigned status);
// The error of an answer that is not 2xx: the not-found markup when its body
// is an HTML error page, else "HTTP <status> <text> --- <url>".
std::string HttpStatusError(unsigned status, const std::string& statusText, const std::string& bodyStart,
                            const std::string& url);

// ---- the client (Windows) ---------------------------------------------------

#ifdef _WIN32
#include <windows.h>

class TProgBar;

// Whether the system has an Internet connection configured
// (InternetGetConnectedState). When not, the error text is the system's
// message for the thread's last error; otherwise it is empty.
bool IsInternetConnected(std::string& error);
bool IsInternetConnected();
// Replaces the system's connection query (tests simulate a missing
// connection); nullptr puts the system's back.
using TConnectedStateQuery = BOOL(WINAPI*)(LPDWORD flags, DWORD reserved);
void SetConnectedStateQuery(TConnectedStateQuery query);

// Opens the URL once (asking for its first byte) and closes it again; run
// before every length query and download.
void ProbeUrl(const std::string& url);

// The length of the remote file: asked for with its first byte, the total
// of the partial answer's Content-Range, or the Content-Length of a whole
// answer from a server that ignores ranges. -1 when the URL cannot be
// opened, the answer is not 2xx or no length is told.
int64_t HTTP_GetFileSize(const std::string& url);

// Downloads the URL to the target path or, when that is empty, into
// `content`. An empty error text (and the result true) means the complete
// file is in place (or in `content`). The owner window (a handle above 10)
// is shown when the download starts; progress goes to the progress object
// when one is given.
bool HTTP_DownloadFile_Incremental(HWND owner, const std::string& url, const std::string& target,
                                   std::string& content, TProgBar* progress, std::string& error);

// Releases WinINet; the next call loads it again. Called at exit.
void FreeWinInet();
#endif
