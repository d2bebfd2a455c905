#include "pkgtool/package_inspect.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iterator>

#include "base/lists.h"
#include "package/files.h"
#include "package/package_walker.h"
#include "package/token.h"
#include "base/text_utils.h"

namespace {

constexpr int kMaxVolumes = 999;

std::string VolumeText(int volume)
{
    return "volume " + std::to_string(volume);
}

// Reads one sound record's entry: name, time stamp and data size.
void ReadRecord(TPackVolume& volume, const TPackRecord& record, TInspectRecord& r)
{
    r.BodySize = record.BodySize();
    if (record.Length == 0) return;
    TPackEntryReader entry(nullptr, nullptr);
    const TEntryReadResult result = ReadRecordEntry(
        volume, record, [&](const char* d, size_t n) { entry.Feed(d, n); }, {}, kInspectInflateLimit);
    switch (result.Status) {
    case TEntryReadResult::kComplete:
        break;
    case TEntryReadResult::kShortBody:
        r.Problem = "record body cut short";
        break;
    case TEntryReadResult::kBadStream:
        r.Problem = "zlib: " + result.Message;
        break;
    case TEntryReadResult::kStreamCut:
        r.Problem = "zlib stream ends early";
        break;
    case TEntryReadResult::kOverLimit:
        r.Problem = "inflates to more than 1 GiB";
        break;
    }
    if (!entry.HasHeader()) {
        if (r.Problem.empty()) r.Problem = "entry has no header";
        return;
    }
    const TPackEntryHeader h = ParseEntryHeader(entry.Header());
    r.Name = h.NameItem;
    r.TimeStamp = h.StampText;
    r.DataSize = entry.DataSize();
}

// Walks the records of a volume from `start` the way the extraction does.
void WalkRecords(TPackVolume& volume, int number, int64_t start, TInspectReport& report)
{
    if (!volume.StartRecords(start)) {
        report.Problems.push_back(VolumeText(number) + ": " + volume.Problem());
        return;
    }
    TPackRecord record;
    for (;;) {
        const TPackVolume::TStep step = volume.NextRecord(record);
        if (step == TPackVolume::kEnd) break;
        TInspectRecord r;
        r.Volume = number;
        r.Offset = record.Offset;
        r.Length = record.Length;
        if (step == TPackVolume::kDamaged) {
            const int64_t left = std::max<int64_t>(volume.TrailerStart() - record.BodyStart(), 0);
            r.BodySize = std::min<uint64_t>(record.BodySize(), static_cast<uint64_t>(left));
            r.Problem = volume.Problem();
            report.Records.push_back(r);
            ++report.Volumes.back().Records;
            return;
        }
        ReadRecord(volume, record, r);
        report.Records.push_back(r);
        ++report.Volumes.back().Records;
    }
    if (volume.Position() != volume.TrailerStart())
        report.Problems.push_back(VolumeText(number) + ": records do not end at the trailer");
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
    static const char* const names[] = {"ShowExtractNotice", "HasMoreVolumes", "SpanCdRelaunch",
                                        "ShowActivityBar", "TraceLogEnabled"};
    std::string r;
    for (int bit = 0; bit < 5; ++bit)
        if (flags & (1 << bit)) r += std::string(r.empty() ? "" : " ") + names[bit];
    return r;
}

const char* const kAgentNames[] = {"url", "infofile", "exe", "token", "silent", "signers"};
const char* const kWebNames[] = {"url", "file", "always", "token", "size", "sha256"};

}  // namespace

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
            l.Strings.emplace_back(items[i].substr(0, eq),
                                   eq == std::string::npos ? "" : items[i].substr(eq + 1));
        }
        report.Languages.push_back(l);
    }
    report.AgentItems = ListSplit(info.AgentBlock());
    report.AgentTokenValid = TryUnscrambleToken(info.GetAgentToken(false), report.AgentToken);
    report.HasWebBlock = info.Trailer().BlockCount >= 3;
    report.WebItems = ListSplit(info.WebBlock());
    if (report.HasWebBlock)
        report.WebTokenValid = TryUnscrambleToken(info.GetWebToken(false), report.WebToken);

    for (int number = 1; number <= kMaxVolumes; ++number) {
        const std::string name = VolumeFileName(fileName, number);
        TPackVolume volume;
        if (!volume.Open(name)) {
            report.Problems.push_back(VolumeText(number) + " is missing: " + name);
            break;
        }
        TInspectVolume v;
        v.FileName = name;
        v.FileSize = volume.FileSize();
        v.Trailer = volume.Trailer();
        v.PackageEnd = volume.PackageEnd();
        v.ComputedChecksum = PackChecksumOf(name, v.Trailer.TrailerSize);
        if (number == 1) {
            v.Signature = PeCertificateTable(ReadFileToString(name, kPeHeadBytes));
            if (v.Signature && v.Signature->Offset + v.Signature->Size > static_cast<uint64_t>(v.FileSize))
                report.Problems.push_back(VolumeText(number) +
                                          ": the certificate table runs past the file end");
        }
        report.Volumes.push_back(v);
        if (!volume.HasPackage()) {
            report.Problems.push_back(VolumeText(number) + " holds no package");
            break;
        }
        if (v.ComputedChecksum != v.Trailer.PackChecksum && v.ComputedChecksum != kNoPackChecksum &&
            v.Trailer.PackChecksum != kNoPackChecksum)
            report.Problems.push_back(VolumeText(number) + ": checksum mismatch");
        int64_t start = v.Trailer.DataStart;
        if (number == 1 && start <= volume.TrailerStart()) {
            const TPackTextBlocks blocks = volume.ReadTextBlocks();
            if (!blocks.Intact)
                report.Problems.push_back(VolumeText(number) + ": text blocks run into the trailer");
            start = blocks.End;
        }
        WalkRecords(volume, number, start, report);
        if (!(v.Trailer.PackFlags & kFlagHasMoreVolumes)) break;
    }
    if (report.Records.size() != info.Trailer().FileCount)
        report.Problems.push_back("FileCount is " + std::to_string(info.Trailer().FileCount) + " but " +
                                  std::to_string(report.Records.size()) + " records were found");
    return true;
}

std::string SignatureText(const TInspectVolume& v)
{
    if (!v.Signature) return "no";
    if (v.Signature->Offset < static_cast<uint64_t>(v.PackageEnd))
        return "the launcher image only; appending the package broke that signature (sign the finished "
               "package)";
    return "yes, " + std::to_string(v.FileSize - v.PackageEnd) + " bytes after the package end";
}

std::string FormatInspectText(const TInspectReport& rep)
{
    std::string o;
    auto line = [&o](const std::string& s) { o += s + "\n"; };
    for (size_t i = 0; i < rep.Volumes.size(); ++i) {
        const TInspectVolume& v = rep.Volumes[i];
        const TPackTrailer& t = v.Trailer;
        line("Volume " + std::to_string(i + 1) + ": " + v.FileName + " (" + std::to_string(v.FileSize) +
             " bytes, package end " + std::to_string(v.PackageEnd) + ", " + std::to_string(v.Records) +
             " records)");
        if (i == 0) line("  signed: " + SignatureText(v));
        line("  BlockCount: " + std::to_string(t.BlockCount) + "  DataStart: " + std::to_string(t.DataStart) +
             "  FileCount: " + std::to_string(t.FileCount) +
             "  TrailerSize: " + std::to_string(t.TrailerSize));
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
        line("  PackFlags: " + std::to_string(t.PackFlags) +
             (t.PackFlags ? " (" + FlagNames(t.PackFlags) + ")" : "") + "  WebInstall: " +
             std::to_string(t.WebInstall) + "  ConfirmDownload: " + std::to_string(t.ConfirmDownload) +
             "  CreateAgent: " + std::to_string(t.CreateAgent) +
             "  IsAutoUpdateProg: " + std::to_string(t.IsAutoUpdateProg));
    }
    line("Languages: " + std::to_string(rep.Languages.size()));
    for (const TInspectLanguage& l : rep.Languages) {
        line("  [" + Printable(l.Name) + "]");
        for (const auto& [k, v] : l.Strings) line("    " + Printable(k) + "=" + Printable(v));
    }
    line("Agent:");
    for (size_t i = 0; i < rep.AgentItems.size(); ++i) {
        std::string item = "  " + std::string(i < std::size(kAgentNames) ? kAgentNames[i] : "extra") + ": " +
                           Printable(rep.AgentItems[i]);
        if (i == kAgentToken)
            item += rep.AgentTokenValid ? " -> \"" + Printable(rep.AgentToken) + "\"" : " (invalid)";
        line(item);
    }
    if (rep.HasWebBlock) {
        line("Web:");
        for (size_t i = 0; i < rep.WebItems.size(); ++i) {
            std::string item = "  " + std::string(i < std::size(kWebNames) ? kWebNames[i] : "extra") + ": " +
                               Printable(rep.WebItems[i]);
            if (i == kWebToken)
                item += rep.WebTokenValid ? " -> \"" + Printable(rep.WebToken) + "\"" : " (invalid)";
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
            s += Printable(r.Name) + "  time " + r.TimeStamp + (when.empty() ? "" : " (" + when + ")") +
                 "  " + (r.Length > 0 ? "compressed " : "stored ") + std::to_string(r.BodySize) +
                 " bytes, data " + std::to_string(r.DataSize) + " bytes";
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
             ", \"packageEnd\": " + std::to_string(v.PackageEnd) +
             ", \"records\": " + std::to_string(v.Records) +
             ", \"formatByte\": " + std::to_string(t.FormatByte) +
             ", \"blockCount\": " + std::to_string(t.BlockCount) +
             ", \"dataStart\": " + std::to_string(t.DataStart) +
             ", \"fileCount\": " + std::to_string(t.FileCount) +
             ", \"packMagic\": " + std::to_string(t.PackMagic) +
             ", \"packChecksum\": " + std::to_string(t.PackChecksum) +
             ", \"computedChecksum\": " + std::to_string(v.ComputedChecksum) + ", \"spaceTable\": [";
        for (int k = 0; k < kSpaceTableSize; ++k) o += (k ? ", " : "") + std::to_string(t.SpaceTable[k]);
        o += "], \"packFlags\": " + std::to_string(t.PackFlags) +
             ", \"webInstall\": " + std::to_string(t.WebInstall) +
             ", \"confirmDownload\": " + std::to_string(t.ConfirmDownload) +
             ", \"createAgent\": " + std::to_string(t.CreateAgent) +
             ", \"isAutoUpdateProg\": " + std::to_string(t.IsAutoUpdateProg) +
             ", \"trailerSize\": " + std::to_string(t.TrailerSize) +
             (i == 0 ? ", \"signed\": " + JsonString(SignatureText(v)) : "") + "}";
    }
    o += "\n  ],\n  \"languages\": [";
    for (size_t i = 0; i < rep.Languages.size(); ++i) {
        o += std::string(i ? "," : "") + "\n    {\"name\": " + JsonString(rep.Languages[i].Name) +
             ", \"strings\": [";
        const auto& strings = rep.Languages[i].Strings;
        for (size_t j = 0; j < strings.size(); ++j)
            o += std::string(j ? ", " : "") + "[" + JsonString(strings[j].first) + ", " +
                 JsonString(strings[j].second) + "]";
        o += "]}";
    }
    o += "\n  ],\n  \"agent\": {";
    for (size_t i = 0; i < rep.AgentItems.size() && i < std::size(kAgentNames); ++i)
        o += std::string(i ? ", " : "") + JsonString(kAgentNames[i]) + ": " + JsonString(rep.AgentItems[i]);
    o += std::string(rep.AgentItems.empty() ? "" : ", ") +
         "\"tokenPlain\": " + (rep.AgentTokenValid ? JsonString(rep.AgentToken) : "null") + "},\n  \"web\": ";
    if (!rep.HasWebBlock) {
        o += "null";
    } else {
        o += "{";
        for (size_t i = 0; i < rep.WebItems.size() && i < std::size(kWebNames); ++i)
            o += std::string(i ? ", " : "") + JsonString(kWebNames[i]) + ": " + JsonString(rep.WebItems[i]);
        o += std::string(rep.WebItems.empty() ? "" : ", ") +
             "\"tokenPlain\": " + (rep.WebTokenValid ? JsonString(rep.WebToken) : "null") + "}";
    }
    o += ",\n  \"records\": [";
    for (size_t i = 0; i < rep.Records.size(); ++i) {
        const TInspectRecord& r = rep.Records[i];
        o += std::string(i ? "," : "") + "\n    {\"volume\": " + std::to_string(r.Volume) +
             ", \"offset\": " + std::to_string(r.Offset) + ", \"length\": " + std::to_string(r.Length) +
             ", \"stored\": " + (r.Length < 0 ? "true" : "false") +
             ", \"bodySize\": " + std::to_string(r.BodySize) + ", \"name\": " + JsonString(r.Name) +
             ", \"timeStamp\": " + JsonString(r.TimeStamp) + ", \"dataSize\": " + std::to_string(r.DataSize) +
             ", \"problem\": " + (r.Problem.empty() ? "null" : JsonString(r.Problem)) + "}";
    }
    o += "\n  ],\n  \"problems\": [";
    for (size_t i = 0; i < rep.Problems.size(); ++i)
        o += std::string(i ? ", " : "") + JsonString(rep.Problems[i]);
    o += "]\n}\n";
    return o;
}
