#include "base/system_error.h"
#include "net/http_client.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "base/handle.h"
#include "base/paths.h"
#include "base/pump.h"
#include "base/text_utils.h"
#include "base/trace_log.h"
#include "lang/sysinfo.h"
#include "net/download_abort.h"
#include "net/error_page.h"
#include "net/transfer_rate.h"
#include "net/wininet_win.h"
#include "package/files.h"
#include "ui/progress.h"

namespace {

TConnectedStateQuery g_connectedQuery = nullptr;

// Connect, receive, send, receive, send, data receive, data send.
constexpr DWORD kTimeoutOptions[] = {INTERNET_OPTION_CONNECT_TIMEOUT,  INTERNET_OPTION_RECEIVE_TIMEOUT,
                                     INTERNET_OPTION_SEND_TIMEOUT,     INTERNET_OPTION_RECEIVE_TIMEOUT,
                                     INTERNET_OPTION_SEND_TIMEOUT,     INTERNET_OPTION_DATA_RECEIVE_TIMEOUT,
                                     INTERNET_OPTION_DATA_SEND_TIMEOUT};

// A download always asks the server: nothing is taken from the cache, and
// nothing is written to it either (a 200 MB package would be stored twice).
constexpr DWORD kDownloadFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

// The probe and the length query ask for the first byte only: their answer
// needs no body, and WinINet (Wine's at least) reads what is left of an
// answer before it closes it, which for a large file takes as long as the
// download. A server that ignores ranges sends the whole file as before.
const std::string kFirstByteOnly = "Range: bytes=0-0\r\n";

std::string MessageText(DWORD code, DWORD source, HMODULE module)
{
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | source,
                                   module, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = n && text ? std::string(text, n) : "";
    if (text) LocalFree(text);
    return TrimBlanks(result);
}

// The detail of a failed call: the system's text for the code (WinINet's own
// codes are described in its module), else the server's last response text.
std::string FailureDetail(DWORD code)
{
    std::string text = MessageText(code, FORMAT_MESSAGE_FROM_SYSTEM, nullptr);
    if (text.empty() && wininet::Module())
        text = MessageText(code, FORMAT_MESSAGE_FROM_HMODULE, wininet::Module());
    if (text.empty()) {
        DWORD error = 0, length = 0;
        wininet::GetLastResponseInfo(&error, nullptr, &length);
        if (length > 0) {
            std::string response(length + 1, '\0');
            length += 1;
            if (wininet::GetLastResponseInfo(&error, response.data(), &length)) {
                response.resize(length);
                text = TrimBlanks(response);
            }
        }
    }
    return text.empty() ? "" : " (" + text + ")";
}

TInternetHandle OpenSession(const char* agent)
{
    return TInternetHandle(wininet::Open(agent, INTERNET_OPEN_TYPE_PRECONFIG, "", nullptr, 0));
}

TInternetHandle OpenUrl(HINTERNET session, const std::string& url, const std::string& headers, DWORD flags)
{
    return TInternetHandle(wininet::OpenUrl(session, url.c_str(), headers.empty() ? nullptr : headers.c_str(),
                                            headers.empty() ? 0 : static_cast<DWORD>(-1), flags, 0));
}

std::string QueryText(HINTERNET request, DWORD level)
{
    std::string text(256, '\0');
    DWORD length = static_cast<DWORD>(text.size());
    if (!wininet::QueryInfo(request, level, text.data(), &length, nullptr)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length <= text.size()) return "";
        text.assign(length, '\0');
        if (!wininet::QueryInfo(request, level, text.data(), &length, nullptr)) return "";
    }
    text.resize(length);
    return text;
}

uint32_t QueryNumber(HINTERNET request, DWORD level, uint32_t absent)
{
    DWORD value = absent;
    DWORD length = sizeof value;
    if (!wininet::QueryInfo(request, level | HTTP_QUERY_FLAG_NUMBER, &value, &length, nullptr)) return absent;
    return value;
}

uint32_t QueryDosTime(HINTERNET request)
{
    SYSTEMTIME time{};
    DWORD length = sizeof time;
    if (!wininet::QueryInfo(request, HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, &time, &length,
                            nullptr))
        return 0;
    return DosDateTimeOf(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond);
}

// What the headers of an answer tell.
struct TAnswer {
    unsigned Status = 0;
    std::string StatusText;
    uint32_t Length = kNoAnnouncedLength;
    uint32_t DosTime = 0;
    std::string Validator;
    std::string ContentRange;
};

TAnswer ReadAnswer(HINTERNET request)
{
    TAnswer a;
    a.Status = QueryNumber(request, HTTP_QUERY_STATUS_CODE, 0);
    a.StatusText = QueryText(request, HTTP_QUERY_STATUS_TEXT);
    a.Length = AnnouncedLength(QueryText(request, HTTP_QUERY_CONTENT_LENGTH));
    a.DosTime = QueryDosTime(request);
    a.Validator =
        IfRangeValidator(QueryText(request, HTTP_QUERY_ETAG), QueryText(request, HTTP_QUERY_LAST_MODIFIED));
    a.ContentRange = QueryText(request, HTTP_QUERY_CONTENT_RANGE);
    return a;
}

// The error of an answer that is not 2xx, from its status and the start of
// its body (enough to tell an HTML error page).
std::string StatusError(HINTERNET request, const TAnswer& answer, const std::string& url)
{
    std::string body;
    char buffer[kMaxDownloadChunk];
    while (body.size() < kErrorPageWindow) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, kErrorPageWindow - body.size()));
        if (!wininet::Read(request, buffer, want, &got) || got == 0) break;
        body.append(buffer, got);
    }
    return HttpStatusError(answer.Status, answer.StatusText, body, url);
}

bool SameFileName(const std::string& a, const std::string& b)
{
    return AnsiUpperCase(a) == AnsiUpperCase(b);
}

// While data arrives, pending messages are dispatched at most every few
// milliseconds and without sleeping: a look into the queue costs a round
// trip to the window system (under Wine more than the read of a chunk),
// and a window answered within milliseconds is responsive. A close request
// is so seen within one chunk of its arrival.
constexpr int64_t kDispatchEveryMs = 5;
int64_t g_lastDispatch = 0;

void DispatchNowAndThen()
{
    if (MilliSecondsNow() - g_lastDispatch < kDispatchEveryMs) return;
    DispatchPendingMessages();
    g_lastDispatch = MilliSecondsNow();
}

// While a download runs, its progress events dispatch the same way instead
// of with the sleeps the installed pump may add.
class TBusyProgressPump {
public:
    TBusyProgressPump() : before_(SetProgressPump(nullptr))
    {
        SetProgressPump(before_ ? DispatchNowAndThen : nullptr);
    }
    ~TBusyProgressPump() { SetProgressPump(before_); }
    TBusyProgressPump(const TBusyProgressPump&) = delete;
    TBusyProgressPump& operator=(const TBusyProgressPump&) = delete;

private:
    TProgressPump before_;
};

class TDownload {
public:
    TDownload(HWND owner, const std::string& url, const std::string& target, std::string& content,
              TProgBar* progress)
        : owner_(owner), url_(url), target_(target), remote_(RemoteFileName(url)), content_(content),
          progress_(progress)
    {}

    std::string Run();

private:
    enum class TBody {
        Complete,
        CutShort,
        Failed,
        Aborted,
        Refused
    };

    bool ToFile() const { return !target_.empty(); }
    bool LengthKnown() const { return length_ != kNoAnnouncedLength; }
    std::string Adopt(const TAnswer& answer, bool mayContinue);
    bool ContinuesWorkingFile() const;
    void RemoveEarlierAttempts(const std::string& keep) const;
    bool RangeContinues(const TAnswer& answer) const;
    TBody Receive(HINTERNET request);
    bool OpenWorkingFile();
    bool Append(const char* data, DWORD count);
    TBody WriteFailure();
    std::string Place();

    HWND owner_;
    std::string url_, target_, remote_;
    std::string& content_;
    TProgBar* progress_;

    uint32_t length_ = kNoAnnouncedLength;
    uint32_t dosTime_ = 0;
    uint32_t chunk_ = 1;
    std::string validator_;
    std::string working_;
    TFile file_;  // the working file, open while the download writes it
    uint64_t done_ = 0;
    std::optional<TBytesRate> meter_;
    std::string failure_;
};

// Takes the headers of a whole-file answer: length, date, validator, the
// working file (continued when an earlier attempt left one of this version)
// and the progress range.
std::string TDownload::Adopt(const TAnswer& answer, bool mayContinue)
{
    file_.Close();
    length_ = answer.Length;
    dosTime_ = answer.DosTime;
    validator_ = LengthKnown() ? answer.Validator : "";
    done_ = 0;
    if (length_ == 0) return url_ + " --- File Not Found !";  // an existing target stays

    if (reinterpret_cast<UINT_PTR>(owner_) > 10) ShowWindow(owner_, SW_SHOW);
    if (ToFile()) {
        working_ = WorkingFilePath(target_, length_, dosTime_);
        const bool keep = mayContinue && ContinuesWorkingFile();
        RemoveEarlierAttempts(keep ? working_ : "");
        if (keep)
            done_ = static_cast<uint64_t>(FileSizeByName(working_));
        else if (!validator_.empty())
            SaveFile(ValidatorFilePath(working_), validator_, 0, false);  // without it only no continuing
    } else {
        content_.clear();
    }

    chunk_ = DownloadChunkSize(length_);
    meter_.emplace(RateMeterFor(length_));
    if (progress_) {
        progress_->Start(1 + static_cast<int>(done_ / chunk_), DownloadProgressMaximum(length_, chunk_));
        progress_->SetText(remote_);
    }
    return "";
}

// A working file of this name, begun under the same validator and not
// longer than the file, is the same version's: it is continued.
bool TDownload::ContinuesWorkingFile() const
{
    if (validator_.empty() || !FileExists(working_)) return false;
    const int64_t size = FileSizeByName(working_);
    return size > 0 && static_cast<uint64_t>(size) <= length_ &&
           ReadFileToString(ValidatorFilePath(working_)) == validator_;
}

// Deletes what earlier downloads of the target left (target + "." + digits
// and their validators), all but `keep` and its validator. Nothing else that
// matches target + ".*" is touched.
void TDownload::RemoveEarlierAttempts(const std::string& keep) const
{
    const std::string folder = FolderPart(target_), name = FileNamePart(target_);
    std::vector<std::string> doomed;
    WIN32_FIND_DATAA found;
    TFindHandle search(FindFirstFileA((target_ + ".*").c_str(), &found));
    if (!search) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::string file = found.cFileName;
        if (!IsDownloadLeftover(name, file)) continue;
        if (!keep.empty() && (SameFileName(file, FileNamePart(keep)) ||
                              SameFileName(file, FileNamePart(ValidatorFilePath(keep)))))
            continue;
        doomed.push_back(folder + file);
    } while (FindNextFileA(search.get(), &found));
    for (const std::string& path : doomed) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
}

// A partial answer that carries on exactly where the body stopped, of the
// same file and version.
bool TDownload::RangeContinues(const TAnswer& answer) const
{
    TContentRange range;
    return ParseContentRange(answer.ContentRange, range) && range.First == done_ && range.Total == length_ &&
           range.Last + 1 == length_ && (answer.Validator.empty() || answer.Validator == validator_);
}

// Opened at the first bytes and kept open to the end: opening, positioning
// and closing it for every chunk took two thirds of the time of a download.
// Open, nobody can delete or replace it meanwhile either.
bool TDownload::OpenWorkingFile()
{
    if (!ToFile() || file_.IsOpen()) return true;
    if (file_.Open(working_, TFile::fmWriteShared) && file_.Seek(0, soEnd) >= 0) return true;
    file_.Close();
    return false;
}

bool TDownload::Append(const char* data, DWORD count)
{
    if (!ToFile()) {
        content_.append(data, count);
        return true;
    }
    return OpenWorkingFile() && file_.Write(data, count) == count;
}

TDownload::TBody TDownload::WriteFailure()
{
    failure_ = working_ + " --- Error writing file" + FailureDetail(GetLastError());
    return TBody::Refused;
}

TDownload::TBody TDownload::Receive(HINTERNET request)
{
    // Steps held back for the bars' sake are shown when the body ends, however it ends.
    struct TFlushSteps {
        TProgBar* Progress;
        ~TFlushSteps()
        {
            if (Progress) Progress->Flush();
        }
    } flushSteps{progress_};
    // The progress, the limits and the abort flag see a read chunk by chunk,
    // as if it had come a chunk at a time; what they let through is then
    // written in one go.
    TReadSizer sizer(chunk_);
    std::vector<char> buffer(sizer.Capacity());
    for (;;) {
        DispatchNowAndThen();
        const DWORD asked = sizer.Size();
        const int64_t began = MilliSecondsNow();
        DWORD got = 0;
        if (!wininet::Read(request, buffer.data(), asked, &got)) {
            failure_ = remote_ + " --- Error downloading file" + FailureDetail(GetLastError());
            return TBody::Failed;
        }
        sizer.Took(asked, got, static_cast<uint32_t>(MilliSecondsNow() - began));
        if (got > 0 && !OpenWorkingFile()) return WriteFailure();
        DWORD handled = 0;
        std::optional<TBody> stop;
        while (handled < got && !stop) {
            const DWORD piece = std::min<DWORD>(chunk_, got - handled);
            done_ += piece;
            handled += piece;
            const std::string text = meter_->FormatProgress(length_, done_, piece);
            if (progress_) progress_->Step(text);
            if (LengthKnown() ? done_ > length_ : !ToFile() && done_ > kMemoryDownloadCap) {
                failure_ = remote_ + " --- Error downloading file (more than " +
                           std::to_string(LengthKnown() ? length_ : kMemoryDownloadCap) + " bytes)";
                stop = TBody::Refused;
            } else if (DownloadAbortRequested()) {
                stop = TBody::Aborted;  // after the chunk that was being handled
            }
        }
        if (handled > 0 && !Append(buffer.data(), handled)) return WriteFailure();
        if (stop) return *stop;
        if (got == 0) {
            // Without an announced length the end of the body is the end of the file.
            if (!LengthKnown() || done_ == length_) return TBody::Complete;
            failure_ = remote_ + " --- Error downloading file (" + std::to_string(done_) + " of " +
                       std::to_string(length_) + " bytes received)";
            return TBody::CutShort;
        }
        if (done_ == length_) return TBody::Complete;
    }
}

// Puts the complete working file in place of the target in one step: the old
// target is never removed before the new file takes its name.
std::string TDownload::Place()
{
    if (!ToFile()) return "";
    file_.Close();
    if (done_ == 0 && !FileExists(working_)) {
        TFile empty(working_, TFile::fmCreate);  // an empty body is an empty file
    }
    if (!FileExists(working_) || static_cast<uint64_t>(FileSizeByName(working_)) != done_)
        return remote_ + " --- Error downloading file (" + working_ + " is missing or incomplete)";
    if (!MoveFileExA(working_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING))
        return "Unable to replace \"" + target_ + "\" by \"" + working_ + "\"" +
               FailureDetail(GetLastError());
    DeleteFileA(ValidatorFilePath(working_).c_str());
    return "";
}

std::string TDownload::Run()
{
    TInternetHandle session = OpenSession(kDownloadUserAgent);
    if (!session) return "Unable to initialize \"WinINet.dll\"";
    for (DWORD option : kTimeoutOptions) {
        DWORD ms = kHttpTimeoutMs;
        wininet::SetOption(session.get(), option, &ms, sizeof ms);
    }
    std::optional<TBusyProgressPump> busyPump;
    if (progress_) busyPump.emplace();

    const std::string requestUrl = HttpUrlForm(url_);
    TInternetHandle request = OpenUrl(session.get(), requestUrl, "", kDownloadFlags);
    if (!request) return "Unable to open Internet Connection: " + url_;
    TAnswer answer = ReadAnswer(request.get());
    if (!IsSuccessStatus(answer.Status)) return StatusError(request.get(), answer, url_);
    std::string error = Adopt(answer, true);
    if (!error.empty()) return error;
    if (done_ == length_) return Place();  // an earlier attempt got it all

    bool reopen = done_ > 0;  // an earlier attempt's working file goes on
    int retries = 0;
    for (;;) {
        if (reopen) {
            reopen = false;
            request.Reset();
            const bool ranged = done_ > 0 && !validator_.empty();
            request = OpenUrl(session.get(), requestUrl, ranged ? ResumeHeaders(done_, validator_) : "",
                              kDownloadFlags);
            if (!request) {
                failure_ = "Unable to open Internet Connection: " + url_;
                if (retries++ < kDownloadRetries && !DownloadAbortRequested()) {
                    reopen = true;
                    continue;
                }
                return failure_;
            }
            answer = ReadAnswer(request.get());
            if (!IsSuccessStatus(answer.Status)) return StatusError(request.get(), answer, url_);
            if (answer.Status == 206) {
                if (!ranged || !RangeContinues(answer)) {
                    // Not the rest of this file: ask for all of it.
                    validator_.clear();
                    if (retries++ < kDownloadRetries) {
                        reopen = true;
                        continue;
                    }
                    return remote_ + " --- Error downloading file (the server sent another part)";
                }
            } else {
                error = Adopt(answer, false);  // the whole file again: start over
                if (!error.empty()) return error;
            }
        }

        const TBody body = Receive(request.get());
        if (DownloadAbortRequested()) return "Download Aborted";
        switch (body) {
        case TBody::Complete:
            request.Reset();
            // Without a length nothing tells an empty answer from a lost
            // body: it never replaces a file.
            if (!LengthKnown() && done_ == 0) return url_ + " --- File Not Found !";
            return Place();
        case TBody::CutShort:
        case TBody::Failed:
            if (!LengthKnown() || retries++ >= kDownloadRetries) return failure_;
            reopen = true;
            break;
        case TBody::Aborted:
            return "Download Aborted";
        case TBody::Refused:
            return failure_;
        }
    }
}

}  // namespace

bool IsInternetConnected(std::string& error)
{
    DWORD flags = 0;
    const TConnectedStateQuery query = g_connectedQuery ? g_connectedQuery : wininet::GetConnectedState;
    if (query(&flags, 0)) {
        error.clear();
        return true;
    }
    error = LastErrorText();
    return false;
}

bool IsInternetConnected()
{
    std::string error;
    return IsInternetConnected(error);
}

void SetConnectedStateQuery(TConnectedStateQuery query)
{
    g_connectedQuery = query;
}

void ProbeUrl(const std::string& url)
{
    TInternetHandle session = OpenSession(kProbeUserAgent);
    if (!session) return;
    TInternetHandle request = OpenUrl(session.get(), HttpUrlForm(url), kFirstByteOnly, 0);
}

int64_t HTTP_GetFileSize(const std::string& url)
{
    ProbeUrl(url);
    int64_t size = -1;
    TInternetHandle session = OpenSession(kProbeUserAgent);
    if (!session) return -1;
    {
        TInternetHandle request = OpenUrl(session.get(), HttpUrlForm(url), kFirstByteOnly, 0);
        if (!request) return -1;
        const unsigned status = QueryNumber(request.get(), HTTP_QUERY_STATUS_CODE, 0);
        TContentRange range;
        if (status == 206) {
            if (ParseContentRange(QueryText(request.get(), HTTP_QUERY_CONTENT_RANGE), range) &&
                range.Total > 0)
                size = static_cast<int64_t>(range.Total);
        } else if (IsSuccessStatus(status)) {
            const uint32_t length = AnnouncedLength(QueryText(request.get(), HTTP_QUERY_CONTENT_LENGTH));
            if (length != kNoAnnouncedLength) size = length;
        }
    }
    Trace("HTTP_GetFileSize=" + std::to_string(size) + "  " + url);
    return size;
}

bool HTTP_DownloadFile_Incremental(HWND owner, const std::string& url, const std::string& target,
                                   std::string& content, TProgBar* progress, std::string& error)
{
    error.clear();
    content.clear();
    ProbeUrl(url);
    DispatchPendingMessages();  // the probe blocked for a round trip
    error = TDownload(owner, url, target, content, progress).Run();
    if (!error.empty())
        Trace(std::to_string(GetCurrentProcessId()) + " HTTP_DownloadFile_Incremental: " + error);
    return error.empty();
}

void FreeWinInet()
{
    wininet::Free();
}
