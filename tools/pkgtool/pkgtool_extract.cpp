#include "pkgtool/pkgtool_extract.h"

#include "package/package_reader.h"
#include "package/package_walker.h"
#include "package/unpack.h"
#include "base/text_utils.h"

#include <iostream>
#include <sstream>
#include <streambuf>

namespace {

int Fail(std::ostream& err, const std::string& message)
{
    err << "pkgtool: " << message << "\n";
    return 1;
}

// Swallows the engine's debug lines unless they were asked for.
class TNullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type ch) override { return traits_type::not_eof(ch); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

int RunExtractCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string package, target;
    bool verbose = false;
    for (const std::string& a : args) {
        if (a == "--verbose" || a == "-v")
            verbose = true;
        else if (!a.empty() && a[0] == '-')
            return Fail(err, "unknown option " + a);
        else if (package.empty())
            package = a;
        else if (target.empty())
            target = a;
        else
            return Fail(err, "extract takes a package and a folder");
    }
    if (package.empty() || target.empty()) return Fail(err, "usage: pkgtool extract PACKAGE DIR [--verbose]");

    TPackTrailer trailer;
    if (!ReadTrailer(package, trailer)) return Fail(err, "cannot read " + package);
    if (trailer.PackMagic != kPackMagic) return Fail(err, package + " is not a package");

    int missingVolume = 0;
    std::string firstError;
    TUnPackHost host = DefaultUnPackHost();
    host.WaitPumping = nullptr;
    host.EjectCD = nullptr;
    host.ConfirmOkCancel = [&](const std::string& text, const std::string&, int, const std::string&) {
        missingVolume = static_cast<int>(DecimalOr(text, 0));
        return false;
    };
    host.ShowError = [&](const std::string& text) {
        if (firstError.empty()) firstError = ReplaceAll(ReplaceAll(text, "<P>", " ", true), "<T>", "", true);
    };

    TUnPackParams params;
    params.PackageFile = package;
    params.TargetDir = target;
    params.DiskPrompt = "<DISK_NUM>";

    bool success = false;
    std::string mainEntry;
    TNullBuffer sink;
    std::streambuf* old = verbose ? nullptr : std::cout.rdbuf(&sink);
    UnPack(params, success, mainEntry, host);
    if (old) std::cout.rdbuf(old);

    if (missingVolume > 0)
        return Fail(err, "volume " + std::to_string(missingVolume) +
                             " missing: " + VolumeFileName(package, missingVolume));
    if (!success)
        return Fail(
            err, "extraction of " + package +
                     " failed: missing file, bad checksum, damaged data or a program that was not extracted");
    int failedWrites = UnPackFailedWrites();
    if (failedWrites > 0)
        return Fail(err, std::to_string(failedWrites) + " record(s) not written" +
                             (firstError.empty() ? "" : ": " + firstError));
    out << "extracted " << package << " to " << target;
    if (!mainEntry.empty()) out << ", program " << mainEntry;
    out << "\n";
    return 0;
}
