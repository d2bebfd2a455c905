// Command line of pkgtool: builds a launcher package from a project file and
// shows what a package holds.
//
//   pkgtool build PROJECT.ini -o OUT.exe [--image PATH|none]
//                 [--volume-size N] [--record-limit N] [--seed N]
//                 [--web-sha256 PATH] [--jobs N] [--level 0-9]
//   pkgtool inspect PACKAGE [--json]
#include "pkgtool/pkgtool_cli.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ostream>

#include "pkgtool/compress_pool.h"
#include "pkgtool/pack_project.h"
#include "pkgtool/package_inspect.h"
#include "pkgtool/package_writer.h"
#include "pkgtool/pkgtool_extract.h"
#include "base/text_utils.h"

namespace {

constexpr const char* kUsage =
    "usage: pkgtool build PROJECT.ini -o OUT.exe [--image PATH|none] [--volume-size N] [--record-limit N] "
    "[--seed N] [--web-sha256 PATH] [--jobs N] [--level 0-9]\n"
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

int Build(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal)
{
    std::string project, output, image, webSha256;
    uint64_t volumeSize = 0, recordLimit = 0, seed = 0, jobs = 0, level = 9;
    bool hasVolumeSize = false, hasRecordLimit = false, hasSeed = false, hasJobs = false, hasLevel = false;
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
            if (!value(output)) return Fail(err, "-o needs a file name");
        } else if (a == "--image") {
            if (!value(image)) return Fail(err, "--image needs a path or \"none\"");
        } else if (a == "--volume-size") {
            if (!number(volumeSize, hasVolumeSize) || volumeSize == 0)
                return Fail(err, "--volume-size needs a positive number of bytes");
        } else if (a == "--record-limit") {
            if (!number(recordLimit, hasRecordLimit) || recordLimit == 0)
                return Fail(err, "--record-limit needs a positive number of bytes");
        } else if (a == "--seed") {
            if (!number(seed, hasSeed) || seed > 0xFFFFFFFFu)
                return Fail(err, "--seed needs a 32-bit number");
        } else if (a == "--jobs") {
            if (!number(jobs, hasJobs) || jobs == 0 || jobs > 256)
                return Fail(err, "--jobs needs a number of threads from 1 to 256");
        } else if (a == "--level") {
            if (!number(level, hasLevel) || level > 9) return Fail(err, "--level needs a number from 0 to 9");
        } else if (a == "--web-sha256") {
            if (!value(webSha256) || webSha256.empty())
                return Fail(err, "--web-sha256 needs the path of the setup package");
        } else if (!a.empty() && a[0] == '-') {
            return Fail(err, "unknown option " + a);
        } else if (project.empty()) {
            project = a;
        } else {
            return Fail(err, "more than one project file given");
        }
    }
    if (project.empty()) return Fail(err, "no project file given");
    if (output.empty()) return Fail(err, "no output file given (-o OUT.exe)");

    TPackOptions options;
    std::string error;
    if (!LoadPackProject(project, options, error)) return Fail(err, error);
    if (!image.empty() && !LoadImage(image, options.Image, error)) return Fail(err, error);
    if (hasVolumeSize) options.VolumeSize = volumeSize;
    if (hasRecordLimit) options.RecordLimit = recordLimit;
    if (hasSeed) options.Seed = static_cast<uint32_t>(seed);
    options.Jobs = hasJobs ? static_cast<int>(jobs) : DefaultJobCount();
    options.Level = static_cast<int>(level);
    TBuildProgressLine progressLine(errIsTerminal ? &err : nullptr);
    if (progressLine.Shown()) options.Progress = [&](const TBuildProgress& p) { progressLine.Show(p); };
    if (!webSha256.empty()) {
        if (!options.Web) return Fail(err, "--web-sha256 needs a [Web] section in the project");
        options.Web->Sha256File = webSha256;
    }

    std::vector<std::string> volumes;
    const bool written = WritePackage(options, output, error, &volumes);
    progressLine.End();
    if (!written) return Fail(err, error);
    for (const std::string& v : volumes) out << "wrote " << v << "\n";
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
    if (command == "inspect") return Inspect(args, out, err);
    if (command == "extract") return RunExtractCommand(args, out, err);
    err << kUsage;
    return Fail(err, "unknown command " + command);
}
