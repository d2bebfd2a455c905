#include "pkgtool/package_inspect.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>

#include "base/lists.h"
#include "package/pack_file.h"
#include "pkgtool/package_writer.h"
#include "package/token.h"
#include "base/text_utils.h"

namespace {

constexpr size_t kChunk = 64 * 1024;
// Headers are a name and a number; more without a NUL is not a header.
constexpr size_t kMaxHeader = 64 * 1024;
constexpr int kMaxVolumes = 999;

// Collects the header (bytes before the first NUL) and counts the rest.
struct TEntrySink {
    std::string Header;
    bool HeaderDone = false;
    uint64_t Total = 0;

    void Add(const unsigned char* p, size_t n)
    {
        Total += n;
        if (HeaderDone) return;
        const unsigned char* nul = std::find(p, p + n, '\0');
        const size_t take = std::min<size_t>(static_cast<size_t>(nul - p), kMaxHeader + 1 - Header.size());
        Header.append(reinterpret_cast<const char*>(p), take);
        if (nul != p + n) HeaderDone = true;
    }
};

void ReadRecord(TPackFile& file, int64_t packageEnd, TInspectRecord& r)
{
    const int64_t left = std::max<int64_t>(packageEnd - file.Position(), 0);
    const uint64_t wanted = r.Length < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(r.Length))
                                         : static_cast<uint64_t>(r.Length);
    const uint64_t present = std::min<uint64_t>(wanted, static_cast<uint64_t>(left));
    r.BodySize = present;
    if (present < wanted) r.Problem = "record runs past the package end";
    if (r.Length == 0) return;

    TEntrySink sink;
    std::vector<unsigned char> in(kChunk), out(kChunk);
    uint64_t remaining = present;
    if (r.Length < 0) {
        while (remaining > 0) {
            const size_t got = file.Read(in.data(), static_cast<size_t>(std::min<uint64_t>(remaining, kChunk)));
            if (got == 0) break;
            sink.Add(in.data(), got);
            remaining -= got;
        }
    } else {
        z_stream z{};
        if (inflateInit(&z) != Z_OK) {
            r.Problem = "zlib cannot start";
            return;
        }
        int rc = Z_OK;
        while (rc != Z_STREAM_END && remaining > 0 && sink.Total <= kInspectInflateLimit) {
            const size_t got = file.Read(in.data(), static_cast<size_t>(std::min<uint64_t>(remaining, kChunk)));
            if (got == 0) break;
            remaining -= got;
            z.next_in = in.data();
            z.avail_in = static_cast<uInt>(got);
            do {
                z.next_out = out.data();
                z.avail_out = static_cast<uInt>(out.size());
                rc = inflate(&z, Z_NO_FLUSH);
                if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) break;
                sink.Add(out.data(), out.size() - z.avail_out);
            } while (rc == Z_OK && z.avail_out == 0 && sink.Total <= kInspectInflateLimit);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
                r.Problem = std::string("zlib: ") + (z.msg ? z.msg : "bad stream");
                break;
            }
        }
        inflateEnd(&z);
        if (r.Problem.empty() && sink.Total > kInspectInflateLimit) r.Problem = "inflates to more than 1 GiB";
        else if (r.Problem.empty() && rc != Z_STREAM_END) r.Problem = "zlib stream ends early";
        // Skip what was not inflated so that the walk goes on at the next record.
        file.Seek(file.Position() + static_cast<int64_t>(remaining));
    }
    if (!sink.HeaderDone) {
        if (r.Problem.empty()) r.Problem = "entry has no header";
        return;
    }
    r.Name = ListItem(sink.Header, 0);
    r.TimeStamp = ListItem(sink.Header, 1);
    r.DataSize = sink.Total - sink.Header.size() - 1;
}

void WalkRecords(TPackFile& file, int volume, int64_t start, int64_t packageEnd, TInspectReport& report)
{
    file.Seek(start);
    while (packageEnd - file.Position() > static_cast<int64_t>(kPackTrailerSize)) {
        TInspectRecord r;
        r.Volume = volume;
        r.Offset = file.Position();
        uint32_t length = 0;
        if (!file.ReadU32(length)) {
            r.Problem = "record length cut short";
            report.Records.push_back(r);
            return;
        }
        r.Length = static_cast<int32_t>(length);
        ReadRecord(file, packageEnd, r);
        report.Records.push_back(r);
        ++report.Volumes.back().Records;
        if (r.BodySize < static_cast<uint64_t>(r.Length < 0 ? -static_cast<int64_t>(r.Length) : r.Length)) return;
    }
    if (file.Position() != packageEnd - static_cast<int64_t>(report.Volumes.back().Trailer.TrailerSize))
        report.Problems.push_back("volume " + std::to_string(volume) + ": records do not end at the trailer");
}

std::string JsonString(const std::string& s)
{
    std::string r = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            r += '\\';
            r += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            r += buf;
        } else {
            r += static_cast<char>(c);
        }
    }
    return r + "\"";
}

// Control bytes and 8-bit text shown as \xNN in the text output.
std::string Printable(const std::string& s)
{
    std::string r;
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            r += buf;
        } else {
            r += static_cast<char>(c);
        }
    }
    return r;
}

std::string FlagNames(uint8_t flags)
{
    static const char* const names[] = {"ShowExtractNotice", "HasMoreVolumes", "SpanCdRelaunch", "ShowActivityBar",
                                        "TraceLogEnabled"};
    std::string r;
    for (int bit = 0; bit < 5; ++bit)
        if (flags & (1 << bit)) r += std::string(r.empty() ? "" : " ") + names[bit];
    return r;
}

const char* const kAgentNames[] = {"url", "infofile", "exe", "token", "silent"};
const char* const kWebNames[] = {"url", "file", "always", "token", "size"};

} // namespace

std::string DosDateTimeText(uint32_t v)
{
    const unsigned date = v >> 16, time = v & 0xFFFF;
    const unsigned year = 1980 + (date >> 9), month = (date >> 5) & 15, day = date & 31;
    const unsigned hour = time >> 11, minute = (time >> 5) & 63, second = (time & 31) * 2;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return "";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", year, month, day, hour, minute, second);
    return buf;
}

bool InspectPackage(const std::string& fileName, TInspectReport& report, std::string& error)
{
    report = TInspectReport();
    TGFileInfo info(fileName);
    if (!std::filesystem::exists(fileName)) {
        error = "no such file: " + fileName;
        return false;
    }
    if (!info.HasPackage()) {
        error = fileName + " holds no package (wrong trailer magic)";
        return false;
    }
    for (const std::string& entry : ListSplit(info.LanguageBlock())) {
        TInspectLanguage l;
        const std::vector<std::string> items = ListSplit(entry);
        if (!items.empty()) l.Name = items[0];
        for (size_t i = 1; i < items.size(); ++i) {
            const size_t eq = items[i].find('=');
            l.Strings.emplace_back(items[i].substr(0, eq), eq == std::string::npos ? "" : items[i].substr(eq + 1));
        }
        report.Languages.push_back(l);
    }
    report.AgentItems = ListSplit(info.AgentBlock());
    report.AgentTokenValid = TryUnscrambleToken(info.GetAgentToken(false), report.AgentToken);
    report.HasWebBlock = info.Trailer().BlockCount >= 3;
    report.WebItems = ListSplit(info.WebBlock());
    if (report.HasWebBlock) report.WebTokenValid = TryUnscrambleToken(info.GetWebToken(false), report.WebToken);

    for (int volume = 1; volume <= kMaxVolumes; ++volume) {
        const std::string name = VolumeFileName(fileName, volume);
        TPackFile file;
        if (!file.Open(name)) {
            report.Problems.push_back("volume " + std::to_string(volume) + " is missing: " + name);
            break;
        }
        TInspectVolume v;
        v.FileName = name;
        v.FileSize = file.Size();
        ReadTrailer(file, v.Trailer);
        v.PackageEnd = file.Size();
        if (IsPeImage(file) && ReadStoredPackEnd(file) > 0)
            v.PackageEnd = static_cast<int64_t>(std::min<uint64_t>(ReadStoredPackEnd(file), INT64_MAX));
        v.ComputedChecksum = PackChecksumOf(name, v.Trailer.TrailerSize);
        report.Volumes.push_back(v);
        if (v.Trailer.PackMagic != kPackMagic) {
            report.Problems.push_back("volume " + std::to_string(volume) + " holds no package");
            break;
        }
        if (v.ComputedChecksum != v.Trailer.PackChecksum && v.ComputedChecksum != kNoPackChecksum &&
            v.Trailer.PackChecksum != kNoPackChecksum)
            report.Problems.push_back("volume " + std::to_string(volume) + ": checksum mismatch");
        WalkRecords(file, volume, volume == 1 ? info.Trailer().DataStart : v.Trailer.DataStart, v.PackageEnd, report);
        if (!(v.Trailer.PackFlags & kFlagHasMoreVolumes)) break;
    }
    if (report.Records.size() != info.Trailer().FileCount)
        report.Problems.push_back("FileCount is " + std::to_string(info.Trailer().FileCount) + " but " +
                                  std::to_string(report.Records.size()) + " records were found");
    return true;
}

std::string FormatInspectText(const TInspectReport& rep)
{
    std::string o;
    auto line = [&o](const std::string& s) { o += s + "\n"; };
    for (size_t i = 0; i < rep.Volumes.size(); ++i) {
        const TInspectVolume& v = rep.Volumes[i];
        const TPackTrailer& t = v.Trailer;
        line("Volume " + std::to_string(i + 1) + ": " + v.FileName + " (" + std::to_string(v.FileSize) +
             " bytes, package end " + std::to_string(v.PackageEnd) + ", " + std::to_string(v.Records) + " records)");
        line("  BlockCount: " + std::to_string(t.BlockCount) + "  DataStart: " + std::to_string(t.DataStart) +
             "  FileCount: " + std::to_string(t.FileCount) + "  TrailerSize: " + std::to_string(t.TrailerSize));
        char magic[16];
        std::snprintf(magic, sizeof magic, "0x%08X", t.PackMagic);
        line(std::string("  PackMagic: ") + magic + "  PackChecksum: " + std::to_string(t.PackChecksum) +
             " (computed " + std::to_string(v.ComputedChecksum) + ")");
        std::string space = "  SpaceTable:";
        for (uint32_t s : t.SpaceTable) {
            space += ' ';
            space += std::to_string(s);
        }
        line(space);
        line("  PackFlags: " + std::to_string(t.PackFlags) + (t.PackFlags ? " (" + FlagNames(t.PackFlags) + ")" : "") +
             "  WebInstall: " + std::to_string(t.WebInstall) + "  ConfirmDownload: " +
             std::to_string(t.ConfirmDownload) + "  CreateAgent: " + std::to_string(t.CreateAgent) +
             "  IsAutoUpdateProg: " + std::to_string(t.IsAutoUpdateProg));
    }
    line("Languages: " + std::to_string(rep.Languages.size()));
    for (const TInspectLanguage& l : rep.Languages) {
        line("  [" + Printable(l.Name) + "]");
        for (const auto& [k, v] : l.Strings) line("    " + Printable(k) + "=" + Printable(v));
    }
    line("Agent:");
    for (size_t i = 0; i < rep.AgentItems.size(); ++i) {
        std::string item = "  " + std::string(i < 5 ? kAgentNames[i] : "extra") + ": " + Printable(rep.AgentItems[i]);
        if (i == kAgentToken) item += rep.AgentTokenValid ? " -> \"" + Printable(rep.AgentToken) + "\"" : " (invalid)";
        line(item);
    }
    if (rep.HasWebBlock) {
        line("Web:");
        for (size_t i = 0; i < rep.WebItems.size(); ++i) {
            std::string item = "  " + std::string(i < 5 ? kWebNames[i] : "extra") + ": " + Printable(rep.WebItems[i]);
            if (i == kWebToken) item += rep.WebTokenValid ? " -> \"" + Printable(rep.WebToken) + "\"" : " (invalid)";
            line(item);
        }
    }
    line("Records: " + std::to_string(rep.Records.size()));
    for (const TInspectRecord& r : rep.Records) {
        std::string s = "  [" + std::to_string(r.Volume) + "@" + std::to_string(r.Offset) + "] ";
        if (r.Length == 0) {
            s += "empty record";
        } else {
            const int64_t value = DecimalOr(r.TimeStamp, 0);
            const uint32_t stamp = value < 0 || value > 0xFFFFFFFFll ? 0 : static_cast<uint32_t>(value);
            const std::string when = DosDateTimeText(stamp);
            s += Printable(r.Name) + "  time " + r.TimeStamp + (when.empty() ? "" : " (" + when + ")") + "  " +
                 (r.Length > 0 ? "compressed " : "stored ") + std::to_string(r.BodySize) + " bytes, data " +
                 std::to_string(r.DataSize) + " bytes";
        }
        if (!r.Problem.empty()) s += "  PROBLEM: " + r.Problem;
        line(s);
    }
    for (const std::string& p : rep.Problems) line("Problem: " + p);
    return o;
}

std::string FormatInspectJson(const TInspectReport& rep)
{
    std::string o = "{\n  \"volumes\": [";
    for (size_t i = 0; i < rep.Volumes.size(); ++i) {
        const TInspectVolume& v = rep.Volumes[i];
        const TPackTrailer& t = v.Trailer;
        o += i ? ",\n    {" : "\n    {";
        o += "\"file\": " + JsonString(v.FileName) + ", \"size\": " + std::to_string(v.FileSize) +
             ", \"packageEnd\": " + std::to_string(v.PackageEnd) + ", \"records\": " + std::to_string(v.Records) +
             ", \"formatByte\": " + std::to_string(t.FormatByte) + ", \"blockCount\": " + std::to_string(t.BlockCount) +
             ", \"dataStart\": " + std::to_string(t.DataStart) + ", \"fileCount\": " + std::to_string(t.FileCount) +
             ", \"packMagic\": " + std::to_string(t.PackMagic) + ", \"packChecksum\": " +
             std::to_string(t.PackChecksum) + ", \"computedChecksum\": " + std::to_string(v.ComputedChecksum) +
             ", \"spaceTable\": [";
        for (int k = 0; k < kSpaceTableSize; ++k) o += (k ? ", " : "") + std::to_string(t.SpaceTable[k]);
        o += "], \"packFlags\": " + std::to_string(t.PackFlags) + ", \"webInstall\": " + std::to_string(t.WebInstall) +
             ", \"confirmDownload\": " + std::to_string(t.ConfirmDownload) + ", \"createAgent\": " +
             std::to_string(t.CreateAgent) + ", \"isAutoUpdateProg\": " + std::to_string(t.IsAutoUpdateProg) +
             ", \"trailerSize\": " + std::to_string(t.TrailerSize) + "}";
    }
    o += "\n  ],\n  \"languages\": [";
    for (size_t i = 0; i < rep.Languages.size(); ++i) {
        o += std::string(i ? "," : "") + "\n    {\"name\": " + JsonString(rep.Languages[i].Name) + ", \"strings\": [";
        const auto& strings = rep.Languages[i].Strings;
        for (size_t j = 0; j < strings.size(); ++j)
            o += std::string(j ? ", " : "") + "[" + JsonString(strings[j].first) + ", " +
                 JsonString(strings[j].second) + "]";
        o += "]}";
    }
    o += "\n  ],\n  \"agent\": {";
    for (size_t i = 0; i < rep.AgentItems.size() && i < 5; ++i)
        o += std::string(i ? ", " : "") + JsonString(kAgentNames[i]) + ": " + JsonString(rep.AgentItems[i]);
    o += std::string(rep.AgentItems.empty() ? "" : ", ") + "\"tokenPlain\": " +
         (rep.AgentTokenValid ? JsonString(rep.AgentToken) : "null") + "},\n  \"web\": ";
    if (!rep.HasWebBlock) {
        o += "null";
    } else {
        o += "{";
        for (size_t i = 0; i < rep.WebItems.size() && i < 5; ++i)
            o += std::string(i ? ", " : "") + JsonString(kWebNames[i]) + ": " + JsonString(rep.WebItems[i]);
        o += std::string(rep.WebItems.empty() ? "" : ", ") + "\"tokenPlain\": " +
             (rep.WebTokenValid ? JsonString(rep.WebToken) : "null") + "}";
    }
    o += ",\n  \"records\": [";
    for (size_t i = 0; i < rep.Records.size(); ++i) {
        const TInspectRecord& r = rep.Records[i];
        o += std::string(i ? "," : "") + "\n    {\"volume\": " + std::to_string(r.Volume) +
             ", \"offset\": " + std::to_string(r.Offset) + ", \"length\": " + std::to_string(r.Length) +
             ", \"stored\": " + (r.Length < 0 ? "true" : "false") + ", \"bodySize\": " + std::to_string(r.BodySize) +
             ", \"name\": " + JsonString(r.Name) + ", \"timeStamp\": " + JsonString(r.TimeStamp) +
             ", \"dataSize\": " + std::to_string(r.DataSize) + ", \"problem\": " +
             (r.Problem.empty() ? "null" : JsonString(r.Problem)) + "}";
    }
    o += "\n  ],\n  \"problems\": [";
    for (size_t i = 0; i < rep.Problems.size(); ++i) o += std::string(i ? ", " : "") + JsonString(rep.Problems[i]);
    o += "]\n}\n";
    return o;
}
