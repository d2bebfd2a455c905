#include "base/system_error.h"
#include "package/unpack.h"

#include "base/paths.h"
#include "base/text_utils.h"
#include "package/files.h"
#include "package/package_reader.h"
#include "package/package_walker.h"

#include <algorithm>
#include <chrono>
#include "base/debug_stream.h"
#include <set>

namespace {

// Failed writes of the latest extraction, and the system code of the first.
int g_failedWrites = 0;
// The latest extraction stopped at its output limit.
bool g_stoppedAtLimit = false;
uint32_t g_writeError = 0;

bool EndsWithNoCase(const std::string& text, const std::string& suffix)
{
    return EndsWith(suffix, text, true);
}

std::string FormatBytes(double value)
{
    return FormatDecimal(value, 0);
}

bool IsDeviceName(const std::string& component)
{
    std::string stem = AnsiUpperCase(component.substr(0, component.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : kDevices)
        if (stem == d) return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '0' && stem[3] <= '9';
}

// One spelling of a record's file name for both separators and, where the
// file system ignores letter case, for every case: two records whose names
// differ only in case write one file there.
std::string FileKey(const std::string& name)
{
    const std::string key = ReplaceChar(name, '/', '\\');
#ifdef _WIN32
    return AnsiUpperCase(key);
#else
    return key;
#endif
}

// Whether the program the setup flow starts for `mainEntry` is the file
// written under `name`: the same name, or the name with trailing spaces,
// which Windows drops from a file name.
bool ProgramIsFile(const std::string& mainEntry, const std::string& name)
{
    const std::string program = MainEntryProgram(mainEntry);
    if (program.empty() || name.compare(0, program.size(), program) != 0) return false;
    return name.find_first_not_of(' ', program.size()) == std::string::npos;
}

// One extraction in progress.
class TUnPacker {
public:
    TUnPacker(const TUnPackParams& params, const TUnPackHost& host, std::string& mainEntry)
        : p_(params), host_(host), mainEntry_(mainEntry)
    {}

    void Run(bool& success);
    int FailedWrites() const { return failedWrites_; }
    bool StoppedAtLimit() const { return overLimit_; }
    uint32_t WriteError() const { return writeError_; }

private:
    friend class TEntryWriter;

    // Extracts the records of an open volume; false when it turned out
    // damaged.
    bool ExtractVolume(TPackVolume& volume, int volumeNo);
    bool ExtractRecord(TPackVolume& volume, const TPackRecord& record);
    void WriteAgentFile(const std::string& volume);
    // The marked entry names a file that this extraction created inside the
    // target folder and wrote completely, that is still there, and that the
    // setup flow starts.
    bool MainProgramIntact() const
    {
        return mainIsFile_ && intact_.count(mainKey_) != 0 && FileExists(p_.TargetDir + "\\" + mainKey_);
    }
    void ReportWriteFailure(const std::string& path, const std::string& reason, uint32_t code,
                            uint64_t dataSize);
    void Progress(int kind, int maximum)
    {
        if (p_.Progress) p_.Progress(kind, 0, maximum, 0, 1, "");
    }
    void Pump()
    {
        if (host_.PumpMessages) host_.PumpMessages();
    }

    const TUnPackParams& p_;
    const TUnPackHost& host_;
    std::string& mainEntry_;
    int64_t textEnd_ = -1;
    int failedWrites_ = 0;
    // File bytes written so far, against p_.OutputLimit.
    uint64_t written_ = 0;
    bool overLimit_ = false;
    uint32_t writeError_ = 0;
    // Files created by this extraction and written completely so far.
    std::set<std::string> intact_;
    std::string mainKey_;
    bool mainIsFile_ = false;
};

void TUnPacker::ReportWriteFailure(const std::string& path, const std::string& reason, uint32_t code,
                                   uint64_t dataSize)
{
    g_failedWrites = ++failedWrites_;
    if (failedWrites_ != 1) return;
    g_writeError = writeError_ = code;
    if (!host_.ShowError) return;
    host_.ShowError(path + "<P><P>Unable to save Extracted File!<P><P>" + reason + "<P>" +
                    "  Data Size: <T>" + std::to_string(dataSize) + " Bytes<P>" + "  File Size:  <T>" +
                    std::to_string(FileSizeByName(path)) + " Bytes<P>" + "  Bytes Free: <T>" +
                    FormatBytes(DiskFree(path)) + " Bytes");
}

// Writes the entry of one record: at its header opens the named file below
// the target folder (appending), then takes the data as it comes.
class TEntryWriter {
public:
    explicit TEntryWriter(TUnPacker& unpacker) : u_(unpacker) {}

    void Start(const std::string& header)
    {
        if (header.empty()) return;
        const TPackEntryHeader h = ParseEntryHeader(header);
        if (!h.MainEntry.empty()) {
            u_.mainEntry_ = h.MainEntry;
            u_.mainKey_ = FileKey(h.FileName);
            u_.mainIsFile_ = ProgramIsFile(h.MainEntry, h.FileName);
        }
        const std::string& name = h.FileName;
        stamp_ = h.Stamp;
        key_ = FileKey(name);
        path_ = u_.p_.TargetDir + "\\" + name;
        writing_ = true;
        if (!IsSafeEntryName(name)) {
            // Never written: it would land outside the target folder.
            reason_ = "The file name leads outside the target folder.";
            DebugOut() << "Refused entry name: " << name << DebugEndl;
            return;
        }
        // A name with folders gets them below the target folder.
        const std::size_t slash = name.find_last_of("\\/");
        if (slash != std::string::npos) ForceDirectories(u_.p_.TargetDir + "\\" + name.substr(0, slash));
        // Most entries are new files: made in one call, without asking first.
        const bool made = file_.Open(path_, TFile::fmCreateNew);
        const uint32_t makeCode = made ? 0 : LastErrorCode();
        const std::string makeError = made ? "" : LastErrorText();
        existed_ = !made && FileExists(path_);
        if (!existed_) u_.Progress(1, 0);
        if (made) return;
        if (!existed_) {
            Failed(makeError, makeCode);
        } else if (file_.Open(path_, TFile::fmWriteShared)) {
            // A part of a file split over several records goes behind the
            // earlier parts.
            file_.Seek(0, soEnd);
        } else {
            Failed(LastErrorText(), LastErrorCode());
        }
    }

    void Write(const char* data, std::size_t count)
    {
        if (!writing_) return;
        dataSize_ += count;
        if (!file_.IsOpen()) return;
        if (count > u_.p_.OutputLimit - u_.written_) {
            u_.overLimit_ = true;
            file_.Close();
            // Its start alone is of no use and may be large.
            if (!existed_) DeleteFileByName(path_);
            return;
        }
        u_.written_ += count;
        if (file_.Write(data, count) != count) {
            Failed(LastErrorText(), LastErrorCode());
            file_.Close();
        }
    }

    // `complete`: every byte of the entry arrived.
    void Finish(bool complete)
    {
        if (!writing_) return;
        if (!complete || !file_.IsOpen()) {
            u_.intact_.erase(key_);
            file_.Close();
            // A damaged record, or one past the output limit, fails the
            // extraction by itself.
            if (complete && !u_.overLimit_) u_.ReportWriteFailure(path_, reason_, code_, dataSize_);
            return;
        }
        if (stamp_ != 0) file_.SetDosTime(stamp_);
        file_.Close();
        if (!existed_) u_.intact_.insert(key_);
    }

private:
    void Failed(const std::string& reason, uint32_t code)
    {
        reason_ = reason;
        code_ = code;
    }

    TUnPacker& u_;
    bool writing_ = false;
    bool existed_ = false;
    std::string key_;
    std::string path_;
    std::string reason_;
    uint32_t code_ = 0;  // the system's code of the failure, 0 for a refused name
    uint32_t stamp_ = 0;
    uint64_t dataSize_ = 0;
    TFile file_;
};

bool TUnPacker::ExtractRecord(TPackVolume& volume, const TPackRecord& record)
{
    TEntryWriter writer(*this);
    TPackEntryReader entry([&](const std::string& header) { writer.Start(header); },
                           [&](const char* d, std::size_t n) { writer.Write(d, n); });
    // Inflating stops a little past the limit (the header comes on top of
    // the file bytes): a bomb is not inflated to its end.
    const uint64_t left = p_.OutputLimit - written_;
    const uint64_t entryLimit =
        left > UINT64_MAX - kMaxEntryHeader - 1 ? UINT64_MAX : left + kMaxEntryHeader + 1;
    const TEntryReadResult r = ReadRecordEntry(
        volume, record, [&](const char* d, std::size_t n) { entry.Feed(d, n); }, host_.PumpMessages,
        entryLimit);
    writer.Finish(r.Status == TEntryReadResult::kComplete && !overLimit_);
    if (overLimit_) {
        DebugOut() << "Output limit of " << p_.OutputLimit << " bytes reached at " << record.Offset
                   << DebugEndl;
        return false;
    }
    switch (r.Status) {
    case TEntryReadResult::kComplete:
        return true;
    case TEntryReadResult::kBadStream:
    case TEntryReadResult::kStreamCut:
        DebugOut() << "ZLib error: " << r.Message << DebugEndl;
        return false;
    default:
        DebugOut() << "Short record at " << record.Offset << DebugEndl;
        return false;
    }
}

bool TUnPacker::ExtractVolume(TPackVolume& volume, int volumeNo)
{
    DebugOut() << "FileLen=" << volume.PackageEnd() << DebugEndl;
    if (!volume.HasPackage()) return true;  // foreign data: nothing to extract

    if (!volume.StartRecords(volume.Trailer().DataStart)) {
        DebugOut() << volume.Problem() << DebugEndl;
        return false;
    }
    if (volumeNo == 1) {
        // Only the first volume carries text blocks; the reader has them.
        TPackTextBlocks blocks = volume.ReadTextBlocks();
        if (!blocks.Intact) {
            DebugOut() << "Bad text blocks at " << volume.Trailer().DataStart << DebugEndl;
            return false;
        }
        textEnd_ = blocks.End;
        volume.StartRecords(blocks.End);
        Progress(0, static_cast<int>(volume.Trailer().FileCount));
    }
    // On every volume: the folder may have gone while a disk was asked for.
    if (!ForceDirectories(p_.TargetDir) && host_.ShowError)
        host_.ShowError(p_.TargetDir + "<P><P>Unable to create Directory!<P><P>" + LastErrorText());

    TPackRecord record;
    for (;;) {
        Pump();
        switch (volume.NextRecord(record)) {
        case TPackVolume::kEnd:
            return true;
        case TPackVolume::kDamaged:
            DebugOut() << volume.Problem() << DebugEndl;
            return false;
        case TPackVolume::kRecord:
            if (!ExtractRecord(volume, record)) return false;
            break;
        }
    }
}

void TUnPacker::WriteAgentFile(const std::string& volume)
{
    std::string name = FileNamePartAnySlash(p_.AgentName);
    if (!IsSafeEntryName(name)) {
        DebugOut() << "Refused agent name: " << p_.AgentName << DebugEndl;
        return;
    }
    TPackTrailer trailer;
    if (textEnd_ <= 0 || !ReadTrailer(volume, trailer)) return;
    std::string image = ReadFileToString(volume, textEnd_, 0);
    if (static_cast<int64_t>(image.size()) != textEnd_) return;
    // The derived file ends where its own trailer ends.
    if (image.size() >= kStoredPackEndLowOffset + 4)
        std::fill_n(image.begin() + kStoredPackEndLowOffset, 4, '\0');
    trailer.IsAutoUpdateProg = 1;
    trailer.TrailerSize = kPackTrailerSize;
    auto bytes = EncodeTrailer(trailer);
    image.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::string path = p_.TargetDir + "\\" + name;
    SaveFile(path, image, FileDosTime(p_.PackageFile), false);
    DebugOut() << (host_.ProcessId ? host_.ProcessId() : 0) << " New AU-Agent: " << path << DebugEndl;
}

void TUnPacker::Run(bool& success)
{
    auto started = std::chrono::steady_clock::now();
    std::string volumeName = p_.PackageFile;
    int volumeNo = 1;
    TPackTrailer trailer{};
    mainEntry_.clear();
    success = false;
    Progress(0, 0);
    bool carryOn = true;

    auto moreVolumes = [&] { return (trailer.PackFlags & kFlagHasMoreVolumes) != 0; };
    do {
        if (FileExists(volumeName)) {
            TPackVolume volume;
            volume.Open(volumeName);
            trailer = volume.Trailer();
            if (volumeNo == 1) DebugOut() << "FileInfo.FilesCount=" << trailer.FileCount << DebugEndl;
            uint32_t sum = PackChecksumOf(volumeName, trailer.TrailerSize);
            success = sum == trailer.PackChecksum || sum == kNoPackChecksum ||
                      trailer.PackChecksum == kNoPackChecksum;
            if (!success) break;
            // Every later volume is a package of its own; one without is cut
            // or foreign (a large one is not summed, so only this shows it).
            if (volumeNo > 1 && !volume.HasPackage()) {
                DebugOut() << "No package in " << volumeName << DebugEndl;
                success = false;
                break;
            }
            if (!ExtractVolume(volume, volumeNo)) {
                success = false;
                break;
            }
            if (volumeNo == 1 && volume.HasPackage() && !p_.AgentName.empty() &&
                (EndsWithNoCase(p_.PackageFile, ".exe") || EndsWithNoCase(p_.PackageFile, ".exe.001")))
                WriteAgentFile(volumeName);
        }
        if (moreVolumes()) {
            if (host_.SetAutoPlayCancel) host_.SetAutoPlayCancel();
            ++volumeNo;
            volumeName = VolumeFileName(p_.PackageFile, volumeNo);
            if (p_.ForcePrompt || !FileExists(volumeName)) {
                if (host_.EjectCD) host_.EjectCD(volumeName);
                do {
                    std::string text =
                        ReplaceAll(p_.DiskPrompt, "<DISK_NUM>", std::to_string(volumeNo), true);
                    carryOn = host_.ConfirmOkCancel &&
                              host_.ConfirmOkCancel(text, p_.PromptCaption, p_.Charset, p_.ButtonTexts);
                    if (host_.WaitPumping) host_.WaitPumping(500);
                } while (!FileExists(volumeName) && carryOn);
            }
            Progress(1, 0);
        }
    } while (moreVolumes() && carryOn);

    // Only a program this extraction put into the target folder may run, and
    // only when every file arrived: what it would install or start could be
    // missing or cut short otherwise (a full disk).
    const bool allWritten = failedWrites_ == 0;
    if (!mainEntry_.empty() && (!allWritten || !MainProgramIntact())) {
        DebugOut() << "Refused program: " << mainEntry_ << DebugEndl;
        mainEntry_.clear();
        success = false;
    }
    if (!allWritten) success = false;
    if (!carryOn) mainEntry_.clear();
    auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    DebugOut() << "UnCompressTime: " << elapsed.count() << " MS" << DebugEndl << DebugEndl;
    if (host_.WaitPumping) host_.WaitPumping(500);
}

}  // namespace

std::string MainEntryProgram(const std::string& mainEntry)
{
    return TrimBlanks(mainEntry.substr(0, mainEntry.find('*')));
}

bool IsSafeEntryName(const std::string& name)
{
    if (name.empty() || name.find(':') != std::string::npos || name[0] == '\\' || name[0] == '/')
        return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos) end = name.size();
        std::string component = name.substr(start, end - start);
        // Windows drops trailing dots and blanks, so ". ." and ".. " are
        // parents too.
        std::string core = component;
        while (!core.empty() && (core.back() == '.' || core.back() == ' ')) core.pop_back();
        bool lastComponent = end == name.size();
        if ((!component.empty() || lastComponent) && core.empty()) return false;
        if (!component.empty() && IsDeviceName(component)) return false;
        start = end + 1;
    }
    return true;
}

void UnPack(const TUnPackParams& params, bool& Success, std::string& MainEntry, const TUnPackHost& host)
{
    Success = false;
    g_failedWrites = 0;
    g_stoppedAtLimit = false;
    g_writeError = 0;
    TUnPacker unpacker(params, host, MainEntry);
    try {
        unpacker.Run(Success);
    } catch (const std::exception& e) {
        // Out of memory or a failing host: a failed extraction, not a crash.
        DebugOut() << "UnPack error: " << e.what() << DebugEndl;
        Success = false;
        MainEntry.clear();
    }
    g_failedWrites = unpacker.FailedWrites();
    g_stoppedAtLimit = unpacker.StoppedAtLimit();
    g_writeError = unpacker.WriteError();
}

void UnPack(const std::string& PackageFile, const std::string& TargetDir, const std::string& AgentName,
            bool& Success, const TUnPackProgress& Progress, const std::string& DiskPrompt,
            const std::string& PromptCaption, const std::string& ButtonTexts, int Charset, bool ForcePrompt,
            std::string& MainEntry)
{
    TUnPackParams params;
    params.PackageFile = PackageFile;
    params.TargetDir = TargetDir;
    params.AgentName = AgentName;
    params.Progress = Progress;
    params.DiskPrompt = DiskPrompt;
    params.PromptCaption = PromptCaption;
    params.ButtonTexts = ButtonTexts;
    params.Charset = Charset;
    params.ForcePrompt = ForcePrompt;
    UnPack(params, Success, MainEntry, DefaultUnPackHost());
}

int UnPackFailedWrites()
{
    return g_failedWrites;
}

bool UnPackStoppedAtLimit()
{
    return g_stoppedAtLimit;
}

uint32_t UnPackWriteError()
{
    return g_writeError;
}
