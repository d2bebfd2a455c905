#include "base/system_error.h"
#include "package/unpack.h"

#include "package/files.h"
#include "base/lists.h"
#include "package/package_reader.h"
#include "package/zlib_open.h"
#include "base/text_utils.h"
#include "base/paths.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

namespace {

constexpr std::size_t kReadChunk = 65536;
// A header is "|name|stamp|"; an entry without a NUL this early has none.
constexpr std::size_t kMaxHeader = 65536;
// Records are read while more than this remains before the package end.
constexpr int64_t kRecordsEndMargin = 74;

int g_failedWrites = 0;

bool EndsWithNoCase(const std::string& text, const std::string& suffix)
{
    return EndsWith(suffix, text, true);
}

std::string FormatBytes(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return buffer;
}

bool IsDeviceName(const std::string& component)
{
    std::string stem = AnsiUpperCase(component.substr(0, component.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : kDevices)
        if (stem == d)
            return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '0' && stem[3] <= '9';
}

// Position just after the package in a volume: StoredPackEnd of a PE image
// when set, else the file's end; never past the file's end.
int64_t PackageEndOf(TFile& file)
{
    int64_t size = file.Size();
    std::string head(512, '\0');
    file.Seek(0, soBegin);
    head.resize(file.Read(head.data(), head.size()));
    if (IsPeImageData(head)) {
        uint64_t stored = ReadStoredPackEnd(head);
        if (stored > 0 && static_cast<int64_t>(stored) < size)
            return static_cast<int64_t>(stored);
    }
    return size;
}

// One extraction in progress.
class TUnPacker {
public:
    TUnPacker(const TUnPackParams& params, const TUnPackHost& host, std::string& mainEntry)
        : p_(params), host_(host), mainEntry_(mainEntry)
    {
    }

    void Run(bool& success);

private:
    // Extracts the records of the open volume; false when the volume turned
    // out damaged.
    bool ExtractRecords(TFile& file, const TPackTrailer& trailer, int volumeNo);
    void WriteAgentFile(const std::string& volume);
    void Progress(int kind, int maximum)
    {
        if (p_.Progress)
            p_.Progress(kind, 0, maximum, 0, 1, "");
    }
    void Pump()
    {
        if (host_.PumpMessages)
            host_.PumpMessages();
    }

    const TUnPackParams& p_;
    const TUnPackHost& host_;
    std::string& mainEntry_;
    uint64_t records_ = 0;
    int64_t textEnd_ = -1;

    friend class TEntryWriter;
};

void ReportWriteFailure(const TUnPackHost& host, const std::string& path,
                        const std::string& reason, uint64_t dataSize)
{
    if (++g_failedWrites != 1 || !host.ShowError)
        return;
    host.ShowError(path + "<P><P>Unable to save Extracted File!<P><P>" + reason + "<P>" +
                   "  Data Size: <T>" + std::to_string(dataSize) + " Bytes<P>" +
                   "  File Size:  <T>" + std::to_string(FileSizeByName(path)) + " Bytes<P>" +
                   "  Bytes Free: <T>" + FormatBytes(DiskFree(path)) + " Bytes");
}

// Takes the bytes of one entry as they come: the header up to the first
// NUL, then the data, appended to the named file. Holds at most a header.
class TEntryWriter {
public:
    TEntryWriter(const std::string& targetDir, std::string& mainEntry,
                 const TUnPackProgress& progress, const TUnPackHost& host)
        : targetDir_(targetDir), mainEntry_(mainEntry), progress_(progress), host_(host)
    {
    }

    void Feed(const char* data, std::size_t count)
    {
        if (state_ == sHeader) {
            const char* nul = static_cast<const char*>(std::memchr(data, '\0', count));
            std::size_t take = nul ? static_cast<std::size_t>(nul - data) : count;
            header_.append(data, take);
            if (!nul) {
                if (header_.size() > kMaxHeader)
                    state_ = sSkip;
                return;
            }
            StartData();
            data += take + 1;
            count -= take + 1;
        }
        if (state_ != sData)
            return;
        dataSize_ += count;
        if (file_.IsOpen() && count > 0 && file_.Write(data, count) != count) {
            reason_ = LastErrorText();
            file_.Close();
        }
    }

    // The whole entry was fed.
    void Finish()
    {
        if (state_ != sData)
            return;
        if (file_.IsOpen()) {
            if (stamp_ != 0)
                file_.SetDosTime(stamp_);
            file_.Close();
            return;
        }
        ReportWriteFailure(host_, path_, reason_, dataSize_);
    }

private:
    void StartData()
    {
        if (header_.empty()) {
            state_ = sSkip;
            return;
        }
        if (header_.find('*') != std::string::npos)
            mainEntry_ = header_;
        std::string name = ListItem(header_, 0);
        int64_t stamp = ListItemInt64(header_, 1, 0);
        stamp_ = stamp > 0 && stamp <= 0xFFFFFFFFll ? static_cast<uint32_t>(stamp) : 0;
        std::size_t star = name.find('*');
        if (star != std::string::npos) {
            mainEntry_ = name;
            name.erase(star);
        }
        state_ = sData;
        path_ = targetDir_ + "\\" + name;
        if (!IsSafeEntryName(name)) {
            // Never written: it would land outside the target folder.
            reason_ = "The file name leads outside the target folder.";
            std::cout << "Refused entry name: " << name << std::endl;
            return;
        }
        if (!FileExists(path_) && progress_)
            progress_(1, 0, 0, 0, 1, "");
        // A name with folders gets them below the target folder.
        std::size_t slash = name.find_last_of("\\/");
        if (slash != std::string::npos)
            ForceDirectories(targetDir_ + "\\" + name.substr(0, slash));
        if (file_.Open(path_, TFile::fmWriteShared))
            file_.Seek(0, soEnd);
        else
            reason_ = LastErrorText();
    }

    enum { sHeader, sData, sSkip } state_ = sHeader;
    const std::string& targetDir_;
    std::string& mainEntry_;
    const TUnPackProgress& progress_;
    const TUnPackHost& host_;
    std::string header_;
    std::string path_;
    std::string reason_;
    uint32_t stamp_ = 0;
    uint64_t dataSize_ = 0;
    TFile file_;
};

bool TUnPacker::ExtractRecords(TFile& file, const TPackTrailer& trailer, int volumeNo)
{
    int64_t packEnd = PackageEndOf(file);
    std::cout << "FileLen=" << packEnd << std::endl;
    if (trailer.PackMagic != kPackMagic)
        return true; // foreign data: nothing to extract

    int64_t trailerBytes = trailer.TrailerSize ? trailer.TrailerSize : kPackTrailerSize;
    // Records end where the trailer starts; no length may point beyond.
    int64_t limit = packEnd - trailerBytes;
    int64_t pos = trailer.DataStart;
    if (pos > limit || file.Seek(pos, soBegin) != pos) {
        std::cout << "Bad data start: " << pos << std::endl;
        return false;
    }
    if (volumeNo == 1) {
        Progress(0, static_cast<int>(trailer.FileCount));
        if (!ForceDirectories(p_.TargetDir) && host_.ShowError)
            host_.ShowError(p_.TargetDir + "<P><P>Unable to create Directory!<P><P>" +
                            LastErrorText());
    }

    while (packEnd - pos > kRecordsEndMargin) {
        Pump();
        unsigned char lengthBytes[4];
        if (file.Read(lengthBytes, 4) != 4)
            return false;
        int32_t length = static_cast<int32_t>(uint32_t{lengthBytes[0]} | uint32_t{lengthBytes[1]} << 8 |
                                              uint32_t{lengthBytes[2]} << 16 |
                                              uint32_t{lengthBytes[3]} << 24);
        bool compressed = length > 0;
        int64_t n = length < 0 ? -static_cast<int64_t>(length) : length;
        if (n > limit - pos - 4) {
            std::cout << "Bad record length " << length << " at " << pos << std::endl;
            return false;
        }
        ++records_;
        bool isFile = records_ > trailer.BlockCount;
        uint64_t got = 0;
        if (!isFile) {
            // A text block; the reader has them already.
            if (file.Seek(n, soCurrent) != pos + 4 + n)
                return false;
            got = static_cast<uint64_t>(n);
        } else {
            TEntryWriter writer(p_.TargetDir, mainEntry_, p_.Progress, host_);
            auto toWriter = [&](const char* d, std::size_t k) { writer.Feed(d, k); };
            if (compressed) {
                TInflater inflater;
                got = ReadRecordBody(
                    file, static_cast<uint64_t>(n),
                    [&](const char* d, std::size_t k) { inflater.Feed(d, k, toWriter); },
                    host_.PumpMessages);
                if (got == static_cast<uint64_t>(n) && !inflater.Finished())
                    throw EZLibError("unexpected end of stream");
            } else {
                got = ReadRecordBody(file, static_cast<uint64_t>(n), toWriter, host_.PumpMessages);
            }
            if (got == static_cast<uint64_t>(n))
                writer.Finish();
        }
        if (got != static_cast<uint64_t>(n))
            return false;
        pos += n + 4;
        if (records_ == trailer.BlockCount)
            textEnd_ = pos;
    }
    return true;
}

void TUnPacker::WriteAgentFile(const std::string& volume)
{
    std::string name = FileNamePart(ReplaceChar(p_.AgentName, '/', '\\'));
    TPackTrailer trailer;
    if (textEnd_ <= 0 || !IsSafeEntryName(name) || !ReadTrailer(volume, trailer))
        return;
    std::string image = ReadFileToString(volume, textEnd_, 0);
    if (static_cast<int64_t>(image.size()) != textEnd_)
        return;
    // The derived file ends where its own trailer ends.
    if (image.size() >= kStoredPackEndLowOffset + 4)
        std::fill_n(image.begin() + kStoredPackEndLowOffset, 4, '\0');
    trailer.IsAutoUpdateProg = 1;
    trailer.TrailerSize = kPackTrailerSize;
    auto bytes = EncodeTrailer(trailer);
    image.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::string path = p_.TargetDir + "\\" + name;
    SaveFile(path, image, FileDosTime(p_.PackageFile), false);
    std::cout << (host_.ProcessId ? host_.ProcessId() : 0) << " New AU-Agent: " << path
              << std::endl;
}

void TUnPacker::Run(bool& success)
{
    auto started = std::chrono::steady_clock::now();
    std::string volume = p_.PackageFile;
    std::string base = EndsWithNoCase(volume, ".001") ? volume.substr(0, volume.size() - 4) : volume;
    int volumeNo = 1;
    TPackTrailer trailer{};
    mainEntry_.clear();
    success = false;
    Progress(0, 0);
    bool carryOn = true;

    auto moreVolumes = [&] { return (trailer.PackFlags & kFlagHasMoreVolumes) != 0; };
    do {
        if (FileExists(volume)) {
            trailer = TPackTrailer{};
            ReadTrailer(volume, trailer);
            if (volumeNo == 1)
                std::cout << "FileInfo.FilesCount=" << trailer.FileCount << std::endl;
            uint32_t sum = PackChecksumOf(volume, trailer.TrailerSize);
            success = sum == trailer.PackChecksum || sum == kNoPackChecksum ||
                      trailer.PackChecksum == kNoPackChecksum;
            if (!success)
                break;
            TFile file(volume, TFile::fmReadShared);
            bool intact = false;
            try {
                intact = ExtractRecords(file, trailer, volumeNo);
            } catch (const EZLibError& e) {
                std::cout << "ZLib error: " << e.what() << std::endl;
            } catch (const std::exception& e) {
                std::cout << "UnPack error: " << e.what() << std::endl;
            }
            if (!intact) {
                success = false;
                break;
            }
            if (volumeNo == 1 && trailer.PackMagic == kPackMagic && !p_.AgentName.empty() &&
                (EndsWithNoCase(p_.PackageFile, ".exe") || EndsWithNoCase(p_.PackageFile, ".exe.001")))
                WriteAgentFile(volume);
        }
        if (moreVolumes()) {
            if (host_.SetAutoPlayCancel)
                host_.SetAutoPlayCancel();
            ++volumeNo;
            volume = base + "." + ZeroPad(volumeNo, 3);
            if (p_.ForcePrompt || !FileExists(volume)) {
                if (host_.EjectCD)
                    host_.EjectCD(volume);
                do {
                    std::string text = ReplaceAll(p_.DiskPrompt, "<DISK_NUM>",
                                                  std::to_string(volumeNo), true);
                    carryOn = host_.ConfirmOkCancel &&
                              host_.ConfirmOkCancel(text, p_.PromptCaption, p_.Charset, p_.ButtonTexts);
                    if (host_.WaitPumping)
                        host_.WaitPumping(500);
                } while (!FileExists(volume) && carryOn);
            }
            Progress(1, 0);
        }
    } while (moreVolumes() && carryOn);

    if (!carryOn)
        mainEntry_.clear();
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    std::cout << "UnCompressTime: " << elapsed.count() << " MS" << std::endl << std::endl;
    if (host_.WaitPumping)
        host_.WaitPumping(500);
}

} // namespace

bool IsSafeEntryName(const std::string& name)
{
    if (name.empty() || name.find(':') != std::string::npos || name[0] == '\\' || name[0] == '/')
        return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = name.size();
        std::string component = name.substr(start, end - start);
        // Windows drops trailing dots and blanks, so ". ." and ".. " are
        // parents too.
        std::string core = component;
        while (!core.empty() && (core.back() == '.' || core.back() == ' '))
            core.pop_back();
        bool lastComponent = end == name.size();
        if ((!component.empty() || lastComponent) && core.empty())
            return false;
        if (!component.empty() && IsDeviceName(component))
            return false;
        start = end + 1;
    }
    return true;
}

uint64_t ReadRecordBody(TFile& file, uint64_t count,
                        const std::function<void(const char* data, std::size_t n)>& consume,
                        const std::function<void()>& pump)
{
    std::vector<char> buffer(static_cast<std::size_t>(std::min<uint64_t>(count, kReadChunk)));
    uint64_t total = 0;
    while (total < count) {
        std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(count - total, kReadChunk));
        std::size_t got = file.Read(buffer.data(), want);
        if (got > 0)
            consume(buffer.data(), got);
        total += got;
        if (pump)
            pump();
        if (got != want)
            break;
    }
    return total;
}

void UnPack(const TUnPackParams& params, bool& Success, std::string& MainEntry,
            const TUnPackHost& host)
{
    Success = false;
    try {
        TUnPacker(params, host, MainEntry).Run(Success);
    } catch (const std::exception& e) {
        // Out of memory or a failing host: a failed extraction, not a crash.
        std::cout << "UnPack error: " << e.what() << std::endl;
        Success = false;
    }
}

void UnPack(const std::string& PackageFile, const std::string& TargetDir,
            const std::string& AgentName, bool& Success, const TUnPackProgress& Progress,
            const std::string& DiskPrompt, const std::string& PromptCaption,
            const std::string& ButtonTexts, int Charset, bool ForcePrompt,
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
