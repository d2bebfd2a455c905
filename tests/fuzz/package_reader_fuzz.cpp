// TGFileInfo and the inspection over arbitrary file bytes: every query must
// stay bounded.
#include "package/lang_select.h"
#include "pkgtool/package_inspect.h"
#include "package/package_reader.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string TempPath()
{
    static const std::string path = "/tmp/vel_reader_fuzz_" + std::to_string(getpid());
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = TempPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    ResetLanguageCache();
    TGFileInfo info(path);
    if (info.LanguageBlock().size() + info.AgentBlock().size() + info.WebBlock().size() > size) std::abort();
    (void)info.GetLangString("s1", "d");
    (void)info.GetLangCharset();
    (void)info.GetLangFontSize();
    (void)info.GetLangFontName();
    (void)info.GetSpaceNeeded("C:\\");
    (void)info.GetUpdateUrl();
    (void)info.GetInfoFileName();
    (void)info.GetOriginalFileName();
    (void)info.GetAgentExeName();
    (void)info.GetAgentToken(true);
    (void)info.IsSilent();
    (void)info.GetWebItem(0);
    (void)info.GetWebItem(4);
    (void)info.IsWebAlwaysDownload();
    (void)info.GetWebToken(true);
    (void)PackChecksumOf(path, info.Trailer().TrailerSize);
    TPackTrailer trailer;
    (void)ReadTrailer(path, trailer);
    (void)ReadStoredPackEnd(std::string(reinterpret_cast<const char*>(data), size));
    // pkgtool inspect walks the records as well.
    TInspectReport report;
    std::string error;
    if (InspectPackage(path, report, error)) {
        (void)FormatInspectText(report);
        (void)FormatInspectJson(report);
    }
    std::remove(path.c_str());
    return 0;
}
