// The HTTP client under Wine against the local test server: lengths, the
// chunk rule seen in the progress texts, working files and their clean-up,
// complete and incomplete downloads, continuing cut bodies, abort, downloads
// into memory, URL forms, error pages and other failed answers, https, the
// connection check and the SHA-256 helper.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "native/temp_folder.h"
#include "net/download_abort.h"
#include "net/error_page.h"
#include "net/http_client.h"
#include "net/sha256.h"
#include "package/files.h"
#include "ui/progress.h"
#include "win/http_test_support.h"

namespace {

using namespace http_test;

// ---- a progress object that records its events and may act on them ---------

struct TEvent {
    int Kind, Maximum, Position;
    std::string Text;
};
std::vector<TEvent> g_events;
std::function<void(int steps)> g_onStep;  // runs inside a step event

void RecordingSink(int kind, int, int maximum, int position, int, const std::string& text)
{
    g_events.push_back({kind, maximum, position, text});
    if (kind == kProgressStep && g_onStep) {
        int steps = 0;
        for (const TEvent& e : g_events) steps += e.Kind == kProgressStep;
        g_onStep(steps);
    }
}

// The amounts of the step texts, without the speed.
std::vector<std::string> StepAmounts()
{
    std::vector<std::string> amounts;
    for (const TEvent& e : g_events)
        if (e.Kind == kProgressStep) amounts.push_back(e.Text.substr(0, e.Text.find("   -   ")));
    return amounts;
}

struct TResult {
    bool Ok;
    std::string Error, Content;
};

class HttpClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(Port(), 0) << "the test server is not running: ctest starts it (http_server_start), "
                                "or: python3 tests/helpers/http_server.py start " VEL_HTTP_DIR;
        SetDownloadAbort(false);
        g_events.clear();
        g_onStep = nullptr;
    }
    void TearDown() override
    {
        g_onStep = nullptr;
        SetDownloadAbort(false);
    }

    // A clock a batch time further on at every look: each step reaches the
    // sink when it happens, so that the steps show the client's chunks.
    static int64_t SteppingClock()
    {
        static int64_t now = 0;
        return now += kStepBatchMs;
    }

    TResult Get(const std::string& url, const std::string& target, HWND owner = nullptr)
    {
        TProgBar bar(RecordingSink, SteppingClock);
        TResult r;
        r.Ok = HTTP_DownloadFile_Incremental(owner, url, target, r.Content, &bar, r.Error);
        EXPECT_EQ(r.Ok, r.Error.empty());
        return r;
    }

    // The names in the temp folder.
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((dir_.Path() + "\\*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
        std::sort(names.begin(), names.end());
        return names;
    }

    TTempFolder dir_;
};

constexpr uint32_t kStamp = 1700000000;  // Tue, 14 Nov 2023 22:13:20 GMT
const std::string kStampOption = "lm=1700000000";
const uint32_t kStampDos = DosDateTimeOf(2023, 11, 14, 22, 13, 20);

// ---- lengths -----------------------------------------------------------------

TEST_F(HttpClient, FileSizeIsTheAnnouncedLengthOrMinusOne)
{
    const std::string name = Unique("size.bin");
    Serve(name, Bytes(1000, 1));
    const struct {
        std::string url;
        int64_t size;
    } cases[] = {
        {Url("-", name), 1000},
        {Url(kStampOption, name), 1000},
        {Url("len0", name), 0},
        {Url("norange", name), 1000},  // the whole answer's Content-Length
        {Url("nolen", name), 1000},    // the partial answer tells the total
        {Url("nolen,norange", name), -1},
        {Url("close,norange", name), -1},
        {Url("status=404", name), -1},  // an error page's length is not the file's
        {Url("-", "missing.bin"), -1},
        {"http://127.0.0.1:1/-/nothing-listens-here", -1},
        // No scheme: asked for as http, like the download.
        {Url("-", name).substr(7), 1000},
        {"HTTP://" + Url("-", name).substr(7), 1000},
    };
    for (const auto& c : cases) EXPECT_EQ(HTTP_GetFileSize(c.url), c.size) << c.url;
}

// ---- complete downloads --------------------------------------------------------

TEST_F(HttpClient, CompleteDownloadReplacesTheTargetAndLeavesNoWorkingFile)
{
    const std::string name = Unique("setup.exe");
    const std::string data = Bytes(100000, 2);
    Serve(name, data);
    const std::string target = dir_ / "setup.exe";
    TTempFolder::Write(target, "old version");

    const TResult r = Get(Url(kStampOption, name), target);
    EXPECT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(TTempFolder::Read(target), data);
    EXPECT_EQ(Files(), std::vector<std::string>{"setup.exe"});
    EXPECT_TRUE(r.Content.empty());

    // The probe with its agent (for the first byte only) first, then one
    // request of the download.
    const std::vector<TRequest> log = Requests(name);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].Agent, "HTTP_Connect_2");
    EXPECT_EQ(log[0].Range, "bytes=0-0");
    EXPECT_EQ(log[1].Agent, "HTTP_Connect_3");
    EXPECT_EQ(log[1].Range, "");
}

TEST_F(HttpClient, ReadsAskForATenthOfTheFileUpTo8192Bytes)
{
    const struct {
        uint32_t length;
        int maximum;
        std::vector<std::string> first;  // the first step texts
        std::size_t steps;
    } cases[] = {
        {50, 11, {"5/50 BytesArr", "10/50 BytesArr", "15/50 BytesArr"}, 10},
        {5, 6, {"1/5 BytesArr", "2/5 BytesArr"}, 5},
        {1000000, 124, {"8.0/976.6 KB", "16.0/976.6 KB"}, 123},
    };
    for (const auto& c : cases) {
        g_events.clear();
        const std::string name = Unique("chunks.bin");
        const std::string data = Bytes(c.length, c.length);
        Serve(name, data);
        const TResult r = Get(Url("-", name), dir_ / "chunks.bin");
        ASSERT_TRUE(r.Ok) << r.Error;
        EXPECT_EQ(TTempFolder::Read(dir_ / "chunks.bin"), data);
        ASSERT_FALSE(g_events.empty());
        EXPECT_EQ(g_events[0].Kind, kProgressStart);
        EXPECT_EQ(g_events[0].Position, 1);
        EXPECT_EQ(g_events[0].Maximum, c.maximum) << c.length;
        const std::vector<std::string> amounts = StepAmounts();
        EXPECT_EQ(amounts.size(), c.steps) << c.length;
        ASSERT_GE(amounts.size(), c.first.size());
        EXPECT_EQ(std::vector<std::string>(amounts.begin(), amounts.begin() + c.first.size()), c.first);
    }
}

TEST_F(HttpClient, WithoutAnnouncedLengthTheWholeBodyIsTheFile)
{
    for (const std::string options : {"nolen", "close", "nolen,slow=2"}) {
        const std::string name = Unique("nolength.bin");
        const std::string data = Bytes(20000, 3);
        Serve(name, data);
        const std::string target = dir_ / "nolength.bin";
        TTempFolder::Write(target, "old");
        const TResult r = Get(Url(options, name), target);
        EXPECT_TRUE(r.Ok) << options << ": " << r.Error;
        EXPECT_EQ(TTempFolder::Read(target), data) << options;
        EXPECT_EQ(Files(), std::vector<std::string>{"nolength.bin"}) << options;
        EXPECT_EQ(StepAmounts().back(), "0.0/4,096.0 MB") << "taken as 4,294,967,295 bytes";

        TResult m = Get(Url(options, name), "");
        EXPECT_TRUE(m.Ok) << m.Error;
        EXPECT_EQ(m.Content, data) << options;
    }
}

TEST_F(HttpClient, SlowBodyArrivesWhole)
{
    const std::string name = Unique("slow.bin");
    const std::string data = Bytes(8000, 4);
    Serve(name, data);
    const TResult r = Get(Url("slow=3," + kStampOption, name), dir_ / "slow.bin");
    EXPECT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(TTempFolder::Read(dir_ / "slow.bin"), data);
}

TEST_F(HttpClient, DownloadIntoMemoryWritesNoFile)
{
    const std::string name = Unique("memory.ini");
    Serve(name, "[Update]\r\nVersion=2\r\n");
    const TResult r = Get(Url(kStampOption, name), "");
    EXPECT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(r.Content, "[Update]\r\nVersion=2\r\n");
    EXPECT_TRUE(Files().empty());
}

TEST_F(HttpClient, DownloadIntoMemoryStopsPastTheCapWithoutLength)
{
    const std::string name = Unique("endless.bin");
    Serve(name, std::string(kMemoryDownloadCap + 100000, 'x'));
    const TResult r = Get(Url("nolen", name), "");
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Error, name + " --- Error downloading file (more than 16777216 bytes)");
    EXPECT_LE(r.Content.size(), kMemoryDownloadCap + kMaxDownloadChunk);
}

// ---- URL forms -----------------------------------------------------------------

TEST_F(HttpClient, UrlWithoutSchemeIsAskedForOverHttpAnyCaseSchemeAsItIs)
{
    const std::string name = Unique("form.bin");
    const std::string data = Bytes(3000, 5);
    Serve(name, data);
    const std::string bare = Url("-", name).substr(7);  // 127.0.0.1:PORT/-/name
    for (const std::string& url : {bare, "http://" + bare, "HTTP://" + bare, "hTtP://" + bare}) {
        const TResult r = Get(url, dir_ / "form.bin");
        EXPECT_TRUE(r.Ok) << url << ": " << r.Error;
        EXPECT_EQ(TTempFolder::Read(dir_ / "form.bin"), data) << url;
        DeleteFileA((dir_ / "form.bin").c_str());
    }
    const std::string nowhere = "http://127.0.0.1:1/-/x.bin";
    EXPECT_EQ(Get(nowhere, dir_ / "x.bin").Error, "Unable to open Internet Connection: " + nowhere);
    EXPECT_EQ(Get("127.0.0.1:1/-/x.bin", dir_ / "x.bin").Error,
              "Unable to open Internet Connection: 127.0.0.1:1/-/x.bin")
        << "the caller's URL in the text";
}

// ---- failed answers --------------------------------------------------------------

TEST_F(HttpClient, AnswersThatAreNot2xxAreNeverAGoodDownload)
{
    const std::string page = "<html><head><title>404 Not Found</title></head><body>gone</body></html>";
    const struct {
        std::string options, body;
        bool notFoundMessage;
        std::string prefix;  // of the error otherwise
    } cases[] = {
        {"status=404", page, true, ""},
        {"status=500", page, true, ""},
        {"status=404", "no such file", false, "HTTP 404 Not Found --- "},
        {"status=500", "internal error", false, "HTTP 500 Internal Server Error --- "},
        {"status=503," + kStampOption, std::string(5000, 'z'), false, "HTTP 503 Service Unavailable --- "},
    };
    for (const auto& c : cases) {
        const std::string name = Unique("status.bin");
        Serve(name, c.body);
        const std::string target = dir_ / "status.bin";
        TTempFolder::Write(target, "old");
        const std::string url = Url(c.options, name);
        for (const std::string& to : {target, std::string()}) {
            const TResult r = Get(url, to);
            EXPECT_FALSE(r.Ok) << c.options;
            if (c.notFoundMessage)
                EXPECT_EQ(r.Error, NotFoundPageMessage(url)) << c.options;
            else
                EXPECT_EQ(r.Error, c.prefix + url) << c.options;
            EXPECT_TRUE(r.Content.empty()) << c.options;
        }
        EXPECT_EQ(TTempFolder::Read(target), "old") << c.options;
        EXPECT_EQ(Files(), std::vector<std::string>{"status.bin"}) << c.options;
    }
}

TEST_F(HttpClient, AnErrorPageWithStatus200IsDownloadedAndRecognised)
{
    const std::string name = Unique("page.exe");
    const std::string page = "<HTML><HEAD><TITLE>Sorry</TITLE></HEAD><BODY>moved</BODY></HTML>";
    Serve(name, page);
    const std::string target = dir_ / "page.exe";
    const std::string url = Url("-", name);
    const TResult r = Get(url, target);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_TRUE(IsErrorPage(target, ""));
    EXPECT_EQ(ErrorPageMessage(target, "", url, "fine"), NotFoundPageMessage(url));
    const TResult m = Get(url, "");
    EXPECT_EQ(ErrorPageMessage("", m.Content, url, "fine"), NotFoundPageMessage(url));
}

TEST_F(HttpClient, AnnouncedLengthZeroIsNotFoundAndKeepsTheTarget)
{
    const std::string name = Unique("empty.exe");
    Serve(name, "some data the server does not send");
    const std::string target = dir_ / "empty.exe";
    TTempFolder::Write(target, "old");
    const std::string url = Url("len0", name);
    const TResult r = Get(url, target);
    EXPECT_EQ(r.Error, url + " --- File Not Found !");
    EXPECT_EQ(TTempFolder::Read(target), "old");
    EXPECT_EQ(Files(), std::vector<std::string>{"empty.exe"});
}

// A Content-Length that does not match the body or is no number, and an
// answer without a length whose body is empty: the target is replaced only
// by a whole file.
TEST_F(HttpClient, LengthHeadersThatLieOrAreNoNumber)
{
    const std::string data = Bytes(1000, 8);
    struct Case {
        const char* Options;
        bool Empty;         // the file served is empty
        const char* Error;  // after the file name or URL; "" when the whole body is the file
    };
    const Case cases[] = {
        // A body longer than announced is a failure.
        {"nolen,len=500", false, " --- Error downloading file (more than 500 bytes)"},
        // A length that is no number counts as none: the body is the file.
        // (Not "1e3": WinINet may stop after as many bytes as the digits in
        // front say, as with a number that is too small, below.)
        {"nolen,len=abc", false, ""},
        {"len=abc", false, ""},
        {"len=-5", false, ""},
        {"len=99999999999", false, ""},
        // Without a length an empty body cannot be told from a lost one.
        {"close", true, " --- File Not Found !"},
        {"nolen", true, " --- File Not Found !"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Options);
        const std::string name = Unique("lying.bin");
        Serve(name, c.Empty ? "" : data);
        const std::string target = dir_ / "lying.bin";
        TTempFolder::Write(target, "old");
        const std::string url = Url(c.Options, name);
        const TResult r = Get(url, target);
        const bool whole = std::string(c.Error).empty();
        const std::string now = TTempFolder::Read(target);
        EXPECT_TRUE(now == (whole ? data : "old")) << now.size() << " bytes";
        if (whole) {
            EXPECT_TRUE(r.Ok) << r.Error;
            EXPECT_EQ(Files(), std::vector<std::string>{"lying.bin"});
        } else {
            EXPECT_FALSE(r.Ok);
            EXPECT_TRUE(r.Error == name + c.Error || r.Error == url + c.Error) << r.Error;
        }
        const TResult m = Get(url, "");
        EXPECT_EQ(m.Ok, whole) << m.Error;
        EXPECT_TRUE(!m.Ok || m.Content == data) << m.Content.size() << " bytes";
    }
}

// A plain body longer than its Content-Length: WinINet may hand over more than
// announced (a failure then), or stop at the announced length itself; the file
// never holds more than announced, and the caller's checks see what arrived.
TEST_F(HttpClient, APlainBodyLongerThanAnnouncedNeverYieldsMore)
{
    const std::string data = Bytes(1000, 9);
    const std::string name = Unique("longer.bin");
    Serve(name, data);
    const std::string target = dir_ / "longer.bin";
    TTempFolder::Write(target, "old");
    const TResult r = Get(Url("len=500", name), target);
    const std::string now = TTempFolder::Read(target);
    if (r.Ok) {
        EXPECT_EQ(now, data.substr(0, 500));
    } else {
        EXPECT_EQ(r.Error, name + " --- Error downloading file (more than 500 bytes)");
        EXPECT_EQ(now, "old");
    }
}

// ---- incomplete downloads ----------------------------------------------------------

TEST_F(HttpClient, ABodyCutShortEveryTimeFailsAndKeepsTheOldTarget)
{
    // With a validator the retries ask for the rest, without one for all of it;
    // a server that ignores ranges sends all of it again. Every answer is cut.
    for (const std::string& options :
         std::vector<std::string>{kStampOption + ",drop=60", "drop=60", kStampOption + ",drop=60,norange"}) {
        const std::string name = Unique("cut.exe");
        Serve(name, Bytes(1000, 6));
        const std::string target = dir_ / "cut.exe";
        TTempFolder::Write(target, "old");
        const TResult r = Get(Url(options, name), target);
        EXPECT_FALSE(r.Ok) << options;
        EXPECT_EQ(r.Error.rfind(name + " --- Error downloading file", 0), 0u) << options << ": " << r.Error;
        EXPECT_EQ(TTempFolder::Read(target), "old") << options;
        EXPECT_EQ(Downloads(name).size(), 1u + kDownloadRetries) << options;
    }
}

TEST_F(HttpClient, ABodyCutAt60PercentIsContinuedWithOnlyTheRest)
{
    const struct {
        std::string options;
        std::string ifRange;
    } cases[] = {
        {kStampOption, "Tue, 14 Nov 2023 22:13:20 GMT"},
        {kStampOption + ",etag=v1", "\"v1\""},  // the tag is the better validator
        {"etag=v7", "\"v7\""},
    };
    for (const auto& c : cases) {
        const std::string name = Unique("resume.exe");
        const std::string data = Bytes(100000, 7);
        Serve(name, data);
        const std::string target = dir_ / "resume.exe";
        // drops=2: the probe's answer and the download's first one are cut.
        const TResult r = Get(Url(c.options + ",drop=60,drops=2", name), target);
        ASSERT_TRUE(r.Ok) << c.options << ": " << r.Error;
        EXPECT_EQ(TTempFolder::Read(target), data);
        EXPECT_EQ(Files(), std::vector<std::string>{"resume.exe"});
        const std::vector<TRequest> d = Downloads(name);
        ASSERT_EQ(d.size(), 2u) << c.options;
        EXPECT_TRUE(d[0].Cut);
        EXPECT_EQ(d[0].Bytes, 60000u);
        EXPECT_EQ(d[1].Range, "bytes=60000-");
        EXPECT_EQ(d[1].IfRange, c.ifRange);
        EXPECT_EQ(d[1].Status, 206);
        EXPECT_EQ(d[1].Bytes, 40000u) << "only the rest";
        DeleteFileA(target.c_str());
    }
}

TEST_F(HttpClient, ACutBodyIsContinuedInMemoryToo)
{
    const std::string name = Unique("resume.ini");
    const std::string data = Bytes(5000, 8);
    Serve(name, data);
    const TResult r = Get(Url(kStampOption + ",drop=60,drops=2", name), "");
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(r.Content, data);
    EXPECT_EQ(Downloads(name).back().Range, "bytes=3000-");
}

TEST_F(HttpClient, AServerThatIgnoresRangesStillYieldsTheRightFile)
{
    const std::string name = Unique("norange.exe");
    const std::string data = Bytes(100000, 9);
    Serve(name, data);
    const std::string target = dir_ / "norange.exe";
    const TResult r = Get(Url(kStampOption + ",drop=60,drops=2,norange", name), target);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(TTempFolder::Read(target), data);
    const std::vector<TRequest> d = Downloads(name);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[1].Range, "bytes=60000-");
    EXPECT_EQ(d[1].Status, 200);
    EXPECT_EQ(d[1].Bytes, 100000u);
}

TEST_F(HttpClient, AChangedFileStartsOverWithinOneDownload)
{
    const std::string name = Unique("changed.exe");
    const std::string before = Bytes(100000, 10), after = Bytes(100000, 11);
    Serve(name, before, after);
    const std::string target = dir_ / "changed.exe";
    // The file changes after the download's first, cut answer.
    const TResult r = Get(Url(kStampOption + ",drop=60,drops=2,bump=2", name), target);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(TTempFolder::Read(target), after);
    EXPECT_EQ(Files(), std::vector<std::string>{"changed.exe"}) << "the first version's working file is gone";
    const std::vector<TRequest> d = Downloads(name);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[1].IfRange, "Tue, 14 Nov 2023 22:13:20 GMT");
    EXPECT_EQ(d[1].Status, 200) << "If-Range named the old version";
}

// ---- abort and the working file it leaves ---------------------------------------------

TEST_F(HttpClient, AbortFromAProgressStepLeavesTheWorkingFileAndALaterDownloadContinuesIt)
{
    const std::string name = Unique("agent.exe");
    const std::string data = Bytes(100000, 12);
    Serve(name, data);
    const std::string target = dir_ / "agent.exe";
    TTempFolder::Write(target, "old");
    const std::string url = Url(kStampOption + ",etag=a1", name);

    g_onStep = [](int steps) {
        if (steps == 3) SetDownloadAbort(true);
    };
    TResult r = Get(url, target);
    EXPECT_EQ(r.Error, "Download Aborted");
    EXPECT_EQ(StepAmounts().size(), 3u) << "stopped after the chunk";
    const std::string working = WorkingFilePath(target, 100000, kStampDos);
    EXPECT_EQ(working, target + "." + std::to_string(100000u + kStampDos));
    EXPECT_EQ(TTempFolder::Read(working), data.substr(0, 3 * 8192));
    EXPECT_EQ(TTempFolder::Read(ValidatorFilePath(working)), "\"a1\"");
    EXPECT_EQ(TTempFolder::Read(target), "old");

    g_onStep = nullptr;
    SetDownloadAbort(false);
    g_events.clear();
    r = Get(url, target);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(TTempFolder::Read(target), data);
    EXPECT_EQ(Files(), std::vector<std::string>{"agent.exe"});
    EXPECT_EQ(Downloads(name).back().Range, "bytes=24576-");
    EXPECT_EQ(Downloads(name).back().Status, 206);
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events[0].Position, 1 + 3) << "the bar starts where the file stands";
}

TEST_F(HttpClient, AWorkingFileOfAnotherVersionIsNotContinued)
{
    const std::string name = Unique("agent2.exe");
    const std::string before = Bytes(100000, 13), after = Bytes(100000, 14);
    Serve(name, before, after);
    const std::string target = dir_ / "agent2.exe";
    // Requests 1 and 2 (probe, download) see the first version.
    const std::string url = Url(kStampOption + ",bump=2", name);
    g_onStep = [](int steps) {
        if (steps == 2) SetDownloadAbort(true);
    };
    EXPECT_EQ(Get(url, target).Error, "Download Aborted");
    g_onStep = nullptr;
    SetDownloadAbort(false);
    const TResult r = Get(url, target);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(TTempFolder::Read(target), after);
    EXPECT_EQ(Files(), std::vector<std::string>{"agent2.exe"});
    EXPECT_EQ(Downloads(name).back().Range, "");
}

TEST_F(HttpClient, ACompleteWorkingFileOfTheSameVersionIsPutInPlace)
{
    const std::string name = Unique("done.exe");
    const std::string data = Bytes(50000, 15);
    Serve(name, data);
    const std::string target = dir_ / "done.exe";
    const std::string url = Url(kStampOption, name);
    // Aborted in the step of the last of ten chunks: all there, not placed.
    g_onStep = [](int steps) {
        if (steps == 10) SetDownloadAbort(true);
    };
    EXPECT_EQ(Get(url, target).Error, "Download Aborted");
    EXPECT_FALSE(FileExists(target));
    g_onStep = nullptr;
    SetDownloadAbort(false);
    const TResult r = Get(url, target);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(TTempFolder::Read(target), data);
    EXPECT_EQ(Files(), std::vector<std::string>{"done.exe"});
}

bool g_handled = false;

LRESULT CALLBACK AbortingWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_APP) {
        g_handled = true;
        SetDownloadAbort(true);  // as the main window does on a close request
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

TEST_F(HttpClient, APostedMessageIsAnsweredDuringTheDownloadAndCanAbortIt)
{
    g_handled = false;
    WNDCLASSA wc{};
    wc.lpfnWndProc = AbortingWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "HttpClientTestWindow";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "download", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(window);
    const std::string name = Unique("posted.exe");
    Serve(name, Bytes(200000, 16));
    const std::string target = dir_ / "posted.exe";
    PostMessageA(window, WM_APP, 0, 0);
    const TResult r = Get(Url("slow=1", name), target, window);
    EXPECT_TRUE(g_handled);
    EXPECT_EQ(r.Error, "Download Aborted");
    EXPECT_FALSE(FileExists(target));
    EXPECT_TRUE(IsWindowVisible(window)) << "the owner window is shown";
    DestroyWindow(window);
}

// ---- what the clean-up deletes, and failures of putting the file in place -------------

TEST_F(HttpClient, CleanUpDeletesOnlyWorkingFilesAndTheirValidators)
{
    const std::string name = Unique("setup.exe");
    Serve(name, Bytes(2000, 17));
    const std::string target = dir_ / "setup.exe";
    for (const char* other : {"setup.exe.bak", "setup.exe.config", "setup.exe.1234", "setup.exe.1234.ifrange",
                              "SETUP.EXE.99", "setup.exe.12x", "setup.exe2.1234"})
        TTempFolder::Write(dir_ / other, "x");
    const TResult r = Get(Url("-", name), target);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(Files(), (std::vector<std::string>{"setup.exe", "setup.exe.12x", "setup.exe.bak",
                                                 "setup.exe.config", "setup.exe2.1234"}));
}

TEST_F(HttpClient, ATargetThatCannotBeReplacedIsAFailure)
{
    const std::string name = Unique("locked.exe");
    Serve(name, Bytes(3000, 18));
    const std::string target = dir_ / "locked.exe";
    TTempFolder::Write(target, "old");
    HANDLE busy =
        CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    const TResult r = Get(Url("-", name), target);
    CloseHandle(busy);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Error.rfind("Unable to replace \"" + target + "\"", 0), 0u) << r.Error;
    EXPECT_EQ(TTempFolder::Read(target), "old");
}

TEST_F(HttpClient, AWorkingFileThatCannotBeWrittenIsAFailure)
{
    const std::string name = Unique("nowhere.exe");
    Serve(name, Bytes(3000, 19));
    const std::string target = dir_ / "no such folder\\nowhere.exe";
    const TResult r = Get(Url("-", name), target);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Error.rfind(WorkingFilePath(target, 3000, 0) + " --- Error writing file", 0), 0u) << r.Error;
}

TEST_F(HttpClient, TheWorkingFileCannotBeDeletedOrReplacedDuringTheDownload)
{
    const std::string name = Unique("held.exe");
    const std::string data = Bytes(50000, 21);
    Serve(name, data);
    const std::string target = dir_ / "held.exe";
    static std::string working;
    static bool deleted = true;
    working = WorkingFilePath(target, 50000, 0);
    g_onStep = [](int steps) {
        if (steps == 3)
            deleted =
                DeleteFileA(working.c_str()) || MoveFileExA(working.c_str(), (working + ".x").c_str(), 0);
    };
    const TResult r = Get(Url("-", name), target);
    EXPECT_FALSE(deleted);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(TTempFolder::Read(target), data);
}

// ---- https ---------------------------------------------------------------------------

TEST_F(HttpClient, HttpsWithACertificateTheSystemTrusts)
{
    if (Port("https") == 0) GTEST_SKIP() << "the server has no TLS (openssl missing)";
    ASSERT_TRUE(TrustTestAuthority());
    const std::string name = Unique("secure.exe");
    const std::string data = Bytes(300000, 20);
    Serve(name, data);
    const std::string target = dir_ / "secure.exe";
    const std::string url = Url(kStampOption, name, "https");
    EXPECT_EQ(HTTP_GetFileSize(url), 300000);
    const TResult r = Get(url, target);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(TTempFolder::Read(target), data);
    const TResult cut = Get(Url(kStampOption + ",drop=60,drops=2", name, "https"), "");
    ASSERT_TRUE(cut.Ok) << cut.Error;
    EXPECT_EQ(cut.Content, data);

    // A certificate that does not name the host is refused, not overlooked.
    const std::string wrongName = "https://127.0.0.1:" + std::to_string(Port("https")) + "/-/" + name;
    EXPECT_EQ(Get(wrongName, dir_ / "wrong.exe").Error, "Unable to open Internet Connection: " + wrongName);
    EXPECT_EQ(HTTP_GetFileSize(wrongName), -1);
}

// ---- connection check, library lifetime, hashes -----------------------------------------

BOOL WINAPI NotConnected(LPDWORD flags, DWORD)
{
    *flags = 0;
    SetLastError(ERROR_NOT_CONNECTED);
    return FALSE;
}

TEST(InternetConnection, TheSystemsAnswerOrTheSimulatedOne)
{
    std::string error = "stale";
    EXPECT_TRUE(IsInternetConnected(error)) << error;
    EXPECT_EQ(error, "");
    SetConnectedStateQuery(NotConnected);
    EXPECT_FALSE(IsInternetConnected(error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(IsInternetConnected());
    SetConnectedStateQuery(nullptr);
    EXPECT_TRUE(IsInternetConnected());
}

TEST_F(HttpClient, WinInetIsLoadedAgainAfterFreeWinInet)
{
    const std::string name = Unique("again.bin");
    Serve(name, "abc");
    FreeWinInet();
    FreeWinInet();  // twice is harmless
    EXPECT_EQ(Get(Url("-", name), "").Content, "abc");
}

TEST(Sha256, KnownAnswers)
{
    const struct {
        std::string data;
        const char* hex;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    TTempFolder dir;
    for (const auto& c : cases) {
        std::string hex;
        ASSERT_EQ(Sha256OfData(c.data, hex), THashResult::Ok);
        EXPECT_EQ(hex, c.hex) << c.data.size();
        TTempFolder::Write(dir / "data.bin", c.data);
        ASSERT_EQ(Sha256OfFile(dir / "data.bin", hex), THashResult::Ok);
        EXPECT_EQ(hex, c.hex) << c.data.size();
    }
    std::string hex = "stale";
    EXPECT_EQ(Sha256OfFile(dir / "missing.bin", hex), THashResult::Unreadable);
    EXPECT_EQ(hex, "");
}

}  // namespace
