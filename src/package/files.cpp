// The platform-neutral half of the file utilities: whole-file reads and
// writes on top of TFile, and path arithmetic.
#include "package/files.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::size_t kMiB = 1048576;

}  // namespace

int64_t SeekFile64(TFile& file, TSeekOrigin origin, int64_t offset)
{
    return file.Seek(offset, origin);
}

int64_t FileSize64(TFile& file)
{
    return file.Size();
}

std::string ReadFileToString(const std::string& path, int64_t maxLen, int64_t offset)
{
    TFile file(path, TFile::fmReadShared);
    if (!file.IsOpen() || offset < 0) return "";
    int64_t size = file.Size();
    if (size < 0 || offset >= size) return "";
    int64_t count = size - offset;
    if (maxLen > 0 && maxLen < count) count = maxLen;
    if (file.Seek(offset, soBegin) != offset) return "";
    std::string data(static_cast<std::size_t>(count), '\0');
    if (file.Read(data.data(), data.size()) != data.size()) return "";
    return data;
}

std::size_t SaveFileChunkSize(std::size_t length)
{
    if (length <= 10 * 1024) return std::min<std::size_t>(1024, length);
    return std::min(length / 10, kMiB);
}

bool SaveFile(const std::string& path, const std::string& data, uint32_t dosTime, bool append,
              const TSaveProgress& progress)
{
    TFile file;
    if (append) {
        if (file.Open(path, TFile::fmWriteShared)) file.Seek(0, soEnd);
    } else {
        file.Open(path, TFile::fmCreate);
    }
    if (!file.IsOpen()) return false;

    std::size_t written = 0;
    if (progress || data.size() > kMiB) {
        // Large data goes in pieces so the windows stay alive meanwhile.
        bool go = !progress || progress(true, data.size());
        std::size_t chunk = SaveFileChunkSize(data.size());
        while (go && written < data.size()) {
            std::size_t n = std::min(chunk, data.size() - written);
            std::size_t done = file.Write(data.data() + written, n);
            written += done;
            if (done == 0) break;
            FilesPump();
            if (progress) go = progress(false, written);
        }
    } else if (!data.empty()) {
        written = file.Write(data.data(), data.size());
    }

    bool complete = written == data.size();
    if (complete && dosTime != 0) file.SetDosTime(dosTime);
    return complete;
}

bool AppendTextToFile(const std::string& path, const std::string& text, uint32_t dosTime)
{
    TFile file(path, TFile::fmWriteShared);
    if (!file.IsOpen()) return false;
    file.Seek(0, soEnd);
    std::size_t written = text.empty() ? 0 : file.Write(text.data(), text.size());
    bool complete = written == text.size();
    if (complete && dosTime != 0) file.SetDosTime(dosTime);
    return complete;
}

std::string DriveRootOf(const std::string& path, bool forceLetter)
{
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    if (forceLetter || p.size() < 3) {
        if (p.empty()) return "";
        return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])))) + ":\\";
    }
    // Cut before the fourth backslash, so "\\server\share\dir" keeps
    // server and share.
    int seen = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '\\' && ++seen == 4) return p.substr(0, i);
    }
    return p;
}
