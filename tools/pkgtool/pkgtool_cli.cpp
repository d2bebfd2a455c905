// Command line of pkgtool: builds a launcher package from a project file and
// shows what a package holds.
//
//   pkgtool build PROJECT.ini -o OUT.exe [--image PATH|none]
//                 [--volume-size N] [--record-limit N] [--seed N]
//                 [--web-sha256 PATH]
//   pkgtool inspect PACKAGE [--json]
#include "pkgtool/pkgtool_cli.h"

#include <charconv>
#include <ostream>

#include "pkgtool/pack_project.h"
#include "pkgtool/package_inspect.h"
#include "pkgtool/package_writer.h"
#include "pkgtool/pkgtool_extract.h"
#include "base/text_utils.h"

namespace {

constexpr const char* kUsage =
    "usage: pkgtool build PROJECT.ini -o OUT.exe [--image PATH|none] [--volume-size N] [--record-limit N] "
    "[--seed N] [--web-sha256 PATH]\n"
    "       pkgtool inspect PACKAGE [--json]\n"
    "       pkgtool extract PACKAGE DIR [--verbose]\n";

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

int Build(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string project, output, image, webSha256;
    uint64_t volumeSize = 0, recordLimit = 0, seed = 0;
    bool hasVolumeSize = false, hasRecordLimit = false, hasSeed = false;
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
    if (!webSha256.empty()) {
        if (!options.Web) return Fail(err, "--web-sha256 needs a [Web] section in the project");
        options.Web->Sha256File = webSha256;
    }

    std::vector<std::string> volumes;
    if (!WritePackage(options, output, error, &volumes)) return Fail(err, error);
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

int PkgToolMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> args = arguments;
    if (args.empty() || args[0] == "-h" || args[0] == "--help") {
        out << kUsage;
        return args.empty() ? 1 : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "build") return Build(args, out, err);
    if (command == "inspect") return Inspect(args, out, err);
    if (command == "extract") return RunExtractCommand(args, out, err);
    err << kUsage;
    return Fail(err, "unknown command " + command);
}
