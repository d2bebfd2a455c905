// Command line of pkgtool: builds a launcher package from a project file and
// shows what a package holds.
//
//   pkgtool build PROJECT.ini -o OUT.exe [--image PATH|none]
//                 [--volume-size N] [--record-limit N] [--seed N]
//                 [--web-sha256 PATH] [--jobs N] [--level 0-9]
//   pkgtool release PROJECT.ini [-o FOLDER] [--image PATH|none] [--seed N]
//                   [--jobs N] [--level 0-9]
//   pkgtool inspect PACKAGE [--json]
#include "pkgtool/pkgtool_cli.h"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "pkgtool/compress_pool.h"
#include "pkgtool/pack_project.h"
#include "pkgtool/package_inspect.h"
#include "pkgtool/package_writer.h"
#include "pkgtool/pe_signature.h"
#include "pkgtool/pkgtool_extract.h"
#include "pkgtool/release.h"
#include "base/text_utils.h"

namespace {

constexpr const char* kUsage =
    "usage: pkgtool build PROJECT.ini -o OUT.exe [--image PATH|none] [--volume-size N] [--record-limit N] "
    "[--seed N] [--web-sha256 PATH] [--jobs N] [--level 0-9]\n"
    "       pkgtool release PROJECT.ini [-o FOLDER] [--image PATH|none] [--seed N] [--jobs N] [--level 0-9]\n"
    "       pkgtool inspect PACKAGE [--json]\n"
    "       pkgtool extract PACKAGE DIR [--verbose] [--time] [--no-size-limit]\n";

int Fail(std::ostream& err, const std::string& message)
{
    err << "pkgtool: " << message << "\n";
    return 1;
}

// A whole number without sign.
bool ParseNumber(const std::string& text, uint64_t& value)
{
    int64_t v = 0;
    if (text.empty() || text[0] == '-' || text[0] == '+' || !ParseDecimal(text, v) || v < 0) return false;
    value = static_cast<uint64_t>(v);
    return true;
}

// SOURCE_DATE_EPOCH, when set, makes the build reproducible.
bool ReadSourceDateEpoch(TPackOptions& options, std::string& error)
{
    return ParseSourceDateEpoch(std::getenv("SOURCE_DATE_EPOCH"), options.SourceDateEpoch, error);
}

// The build's progress on one line of a terminal ("files, bytes, rate"),
// redrawn at most every 200 ms; nothing when there is no terminal.
class TBuildProgressLine {
public:
    explicit TBuildProgressLine(std::ostream* terminal) : terminal_(terminal) {}
    bool Shown() const { return terminal_ != nullptr; }
    void Show(const TBuildProgress& p)
    {
        const auto now = std::chrono::steady_clock::now();
        if (drawn_ && p.Records < p.TotalRecords && now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        char line[160];
        std::snprintf(line, sizeof line, "\rfiles %llu/%llu, %.1f/%.1f MB, %.1f MB/s   ",
                      static_cast<unsigned long long>(p.Records),
                      static_cast<unsigned long long>(p.TotalRecords), p.Bytes / 1e6, p.TotalBytes / 1e6,
                      seconds > 0 ? p.Bytes / 1e6 / seconds : 0.0);
        *terminal_ << line << std::flush;
        drawn_ = true;
    }
    void End()
    {
        if (drawn_) *terminal_ << "\n";
    }

private:
    std::ostream* terminal_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_;
};

// Options of build and release (release takes -o as its output folder).
struct TBuildArgs {
    std::string Project, Output, Image, WebSha256;
    uint64_t VolumeSize = 0, RecordLimit = 0, Seed = 0, Jobs = 0, Level = 9;
    bool HasVolumeSize = false, HasRecordLimit = false, HasSeed = false, HasJobs = false, HasLevel = false;
};

// "" when the arguments are sound, else the error.
std::string ParseBuildArgs(const std::vector<std::string>& args, TBuildArgs& b)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        auto number = [&](uint64_t& out, bool& seen) {
            std::string text;
            seen = true;
            return value(text) && ParseNumber(text, out);
        };
        if (a == "-o" || a == "--output") {
            if (!value(b.Output)) return "-o needs a file name";
        } else if (a == "--image") {
            if (!value(b.Image)) return "--image needs a path or \"none\"";
        } else if (a == "--volume-size") {
            if (!number(b.VolumeSize, b.HasVolumeSize) || b.VolumeSize == 0)
                return "--volume-size needs a positive number of bytes";
        } else if (a == "--record-limit") {
            if (!number(b.RecordLimit, b.HasRecordLimit) || b.RecordLimit == 0)
                return "--record-limit needs a positive number of bytes";
        } else if (a == "--seed") {
            if (!number(b.Seed, b.HasSeed) || b.Seed > 0xFFFFFFFFu) return "--seed needs a 32-bit number";
        } else if (a == "--jobs") {
            if (!number(b.Jobs, b.HasJobs) || b.Jobs == 0 || b.Jobs > 256)
                return "--jobs needs a number of threads from 1 to 256";
        } else if (a == "--level") {
            if (!number(b.Level, b.HasLevel) || b.Level > 9) return "--level needs a number from 0 to 9";
        } else if (a == "--web-sha256") {
            if (!value(b.WebSha256) || b.WebSha256.empty())
                return "--web-sha256 needs the path of the setup package";
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option " + a;
        } else if (b.Project.empty()) {
            b.Project = a;
        } else {
            return "more than one project file given";
        }
    }
    if (b.Project.empty()) return "no project file given";
    return "";
}

// The project with the command line's options over it.
bool LoadBuildOptions(const TBuildArgs& b, TPackOptions& options, std::ostream& err, std::string& error)
{
    if (!LoadPackProject(b.Project, options, error)) return false;
    if (!b.Image.empty() && !LoadImage(b.Image, options.Image, error)) return false;
    if (b.HasVolumeSize) options.VolumeSize = b.VolumeSize;
    if (b.HasRecordLimit) options.RecordLimit = b.RecordLimit;
    if (b.HasSeed) options.Seed = static_cast<uint32_t>(b.Seed);
    if (!ReadSourceDateEpoch(options, error)) return false;
    options.Jobs = b.HasJobs ? static_cast<int>(b.Jobs) : DefaultJobCount();
    options.Level = static_cast<int>(b.Level);
    if (!b.WebSha256.empty()) {
        if (!options.Web) {
            error = "--web-sha256 needs a [Web] section in the project";
            return false;
        }
        options.Web->Sha256File = b.WebSha256;
    }
    if (PeCertificateTable(options.Image.substr(0, kPeHeadBytes)))
        err << "pkgtool: warning: the launcher image is signed, and appending the package breaks its "
               "signature: sign the finished package instead\n";
    return true;
}

int Build(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal)
{
    TBuildArgs b;
    std::string error = ParseBuildArgs(args, b);
    if (!error.empty()) return Fail(err, error);
    if (b.Output.empty()) return Fail(err, "no output file given (-o OUT.exe)");
    TPackOptions options;
    if (!LoadBuildOptions(b, options, err, error)) return Fail(err, error);
    TBuildProgressLine progressLine(errIsTerminal ? &err : nullptr);
    if (progressLine.Shown()) options.Progress = [&](const TBuildProgress& p) { progressLine.Show(p); };

    std::vector<std::string> volumes;
    const bool written = WritePackage(options, b.Output, error, &volumes);
    progressLine.End();
    if (!written) return Fail(err, error);
    for (const std::string& v : volumes) out << "wrote " << v << "\n";
    return 0;
}

int Release(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    TBuildArgs b;
    std::string error = ParseBuildArgs(args, b);
    if (!error.empty()) return Fail(err, error);
    if (b.HasVolumeSize || !b.WebSha256.empty())
        return Fail(err, "release takes no --volume-size or --web-sha256: an agent fetches one package");
    TPackOptions options;
    TReleasePlan plan;
    if (!LoadBuildOptions(b, options, err, error)) return Fail(err, error);
    if (!PlanRelease(options, ProjectFolder(b.Project), b.Output, plan, error))
        return Fail(err, b.Project + ": " + error);
    std::vector<std::string> written;
    if (!WriteRelease(plan, options, written, error)) return Fail(err, error);
    for (const std::string& f : written) out << "wrote " << f << "\n";
    return 0;
}

int Inspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string package;
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (!a.empty() && a[0] == '-')
            return Fail(err, "unknown option " + a);
        else if (package.empty())
            package = a;
        else
            return Fail(err, "more than one package given");
    }
    if (package.empty()) return Fail(err, "no package given");
    TInspectReport report;
    std::string error;
    if (!InspectPackage(package, report, error)) return Fail(err, error);
    out << (json ? FormatInspectJson(report) : FormatInspectText(report));
    return report.Problems.empty() ? 0 : 2;
}

}  // namespace

bool ParseSourceDateEpoch(const char* text, std::optional<int64_t>& epoch, std::string& error)
{
    epoch.reset();
    if (!text || !*text) return true;
    uint64_t seconds = 0;
    // Digits only, as the convention asks.
    if (std::string(text).find_first_not_of("0123456789") != std::string::npos ||
        !ParseNumber(text, seconds) || seconds > static_cast<uint64_t>(INT64_MAX)) {
        error = std::string("SOURCE_DATE_EPOCH must be a whole number of seconds since 1970, not \"") + text +
                "\"";
        return false;
    }
    epoch = static_cast<int64_t>(seconds);
    return true;
}

int PkgToolMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                bool errIsTerminal)
{
    std::vector<std::string> args = arguments;
    if (args.empty() || args[0] == "-h" || args[0] == "--help") {
        out << kUsage;
        return args.empty() ? 1 : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "build") return Build(args, out, err, errIsTerminal);
    if (command == "release") return Release(args, out, err);
    if (command == "inspect") return Inspect(args, out, err);
    if (command == "extract") return RunExtractCommand(args, out, err);
    err << kUsage;
    return Fail(err, "unknown command " + command);
}
