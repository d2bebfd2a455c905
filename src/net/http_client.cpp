#include "net/http_client.h"

#include <algorithm>
#include <cstdio>

#include "base/paths.h"
#include "base/text_utils.h"
#include "net/error_page.h"

namespace {

constexpr const char* kValidatorExtension = ".ifrange";

bool AllDigits(const std::string& text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string HttpUrlForm(const std::string& url)
{
    if (StartsWith("http://", url, true) || StartsWith("https://", url, true)) return url;
    return "http://" + url;
}

std::string RemoteFileName(const std::string& url)
{
    return FileNamePartAnySlash(url);
}

uint32_t DownloadChunkSize(uint32_t length)
{
    return std::clamp<uint32_t>(length / 10, 1, kMaxDownloadChunk);
}

uint32_t AnnouncedLength(const std::string& header)
{
    const std::string text = TrimBlanks(header);
    int64_t value = 0;
    if (!AllDigits(text) || !ParseDecimal(text, value) || value >= kNoAnnouncedLength)
        return kNoAnnouncedLength;
    return static_cast<uint32_t>(value);
}

TReadSizer::TReadSizer(uint32_t chunk) : chunk_(std::max<uint32_t>(chunk, 1)), size_(Whole(kFirstNetworkRead))
{}

uint32_t TReadSizer::Whole(uint32_t bytes) const
{
    return chunk_ * std::max<uint32_t>(1, bytes / chunk_);
}

void TReadSizer::Took(uint32_t asked, uint32_t got, uint32_t ms)
{
    if (ms > kSlowReadMs)
        size_ = Whole(asked / 2);
    else if (got == asked && ms < kQuickReadMs)
        size_ = std::min(Whole(std::max(asked, size_) * 2), Capacity());
}

int DownloadProgressMaximum(uint32_t length, uint32_t chunk)
{
    if (chunk == 0) chunk = 1;
    const uint64_t steps = (uint64_t{length} + chunk - 1) / chunk + 1;
    return static_cast<int>(std::min<uint64_t>(steps, 0x7FFFFFFF));
}

std::string WorkingFilePath(const std::string& target, uint32_t length, uint32_t dosTime)
{
    return target + "." + std::to_string(static_cast<uint32_t>(length + dosTime));
}

std::string ValidatorFilePath(const std::string& working)
{
    return working + kValidatorExtension;
}

bool IsDownloadLeftover(const std::string& targetName, const std::string& name)
{
    const std::string prefix = AnsiUpperCase(targetName) + ".";
    std::string rest = AnsiUpperCase(name);
    if (rest.size() <= prefix.size() || rest.compare(0, prefix.size(), prefix) != 0) return false;
    rest.erase(0, prefix.size());
    const std::string validator = AnsiUpperCase(kValidatorExtension);
    if (rest.size() > validator.size() &&
        rest.compare(rest.size() - validator.size(), validator.size(), validator) == 0)
        rest.resize(rest.size() - validator.size());
    return AllDigits(rest);
}

uint32_t DosDateTimeOf(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return 0;
    const uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day);
    const uint32_t time = static_cast<uint32_t>(hour << 11 | minute << 5 | second / 2);
    return date << 16 | time;
}

std::string IfRangeValidator(const std::string& etag, const std::string& lastModified)
{
    const std::string tag = TrimBlanks(etag);
    // A weak tag may not guard a range.
    if (!tag.empty() && !StartsWith("W/", tag, true)) return tag;
    return TrimBlanks(lastModified);
}

std::string ResumeHeaders(uint64_t from, const std::string& validator)
{
    return "Range: bytes=" + std::to_string(from) + "-\r\nIf-Range: " + validator + "\r\n";
}

bool ParseContentRange(const std::string& text, TContentRange& range)
{
    std::string t = TrimBlanks(text);
    if (!StartsWith("bytes ", t, true)) return false;
    t = TrimBlanks(t.substr(6));
    const std::size_t dash = t.find('-'), slash = t.find('/');
    if (dash == std::string::npos || slash == std::string::npos || dash > slash) return false;
    const std::string first = t.substr(0, dash), last = t.substr(dash + 1, slash - dash - 1),
                      total = t.substr(slash + 1);
    int64_t f = 0, l = 0, n = 0;
    if (!AllDigits(first) || !AllDigits(last) || !ParseDecimal(first, f) || !ParseDecimal(last, l) || l < f)
        return false;
    if (total != "*" && (!AllDigits(total) || !ParseDecimal(total, n) || n <= l)) return false;
    range.First = static_cast<uint64_t>(f);
    range.Last = static_cast<uint64_t>(l);
    range.Total = static_cast<uint64_t>(n);
    return true;
}

bool IsSuccessStatus(unsigned status)
{
    return status >= 200 && status <= 299;
}

std::string HttpStatusError(unsigned status, const std::string& statusText, const std::string& bodyStart,
                            const std::string& url)
{
    if (IsErrorPage("", bodyStart)) return NotFoundPageMessage(url);
    const std::string text = TrimBlanks(statusText);
    return "HTTP " + std::to_string(status) + (text.empty() ? "" : " " + text) + " --- " + url;
}
