#include "pkgtool/pkgtool_extract.h"

#include "package/package_reader.h"
#include "package/package_walker.h"
#include "package/unpack.h"
#include "base/text_utils.h"

#include "base/debug_stream.h"

#include <chrono>
#include <ostream>

namespace {

int Fail(std::ostream& err, const std::string& message)
{
    err << "pkgtool: " << message << "\n";
    return 1;
}

}  // namespace

uint64_t ExtractSizeLimit(uint64_t promised)
{
    return promised + promised / 10;
}

int RunExtractCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string package, target;
    bool verbose = false;
    bool timed = false;
    bool sizeLimit = true;
    for (const std::string& a : args) {
        if (a == "--verbose" || a == "-v")
            verbose = true;
        else if (a == "--time")
            timed = true;
        else if (a == "--no-size-limit")
            sizeLimit = false;
        else if (!a.empty() && a[0] == '-')
            return Fail(err, "unknown option " + a);
        else if (package.empty())
            package = a;
        else if (target.empty())
            target = a;
        else
            return Fail(err, "extract takes a package and a folder");
    }
    if (package.empty() || target.empty())
        return Fail(err, "usage: pkgtool extract PACKAGE DIR [--verbose] [--time] [--no-size-limit]");

    TPackTrailer trailer;
    if (!ReadTrailer(package, trailer)) return Fail(err, "cannot read " + package);
    if (trailer.PackMagic != kPackMagic) return Fail(err, package + " is not a package");

    int missingVolume = 0;
    std::string firstError;
    TUnPackHost host = DefaultUnPackHost();
    // No window to keep alive: nothing to pump between reads or to wait for.
    host.PumpMessages = nullptr;
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
    // An untrusted package must not fill the disk: it may write what its
    // space table promises, plus a margin.
    const uint64_t promised = trailer.SpaceTable[0];
    if (sizeLimit) params.OutputLimit = ExtractSizeLimit(promised);

    bool success = false;
    std::string mainEntry;
    // The engine's debug lines go to standard output only when asked for.
    if (!verbose) SetDebugSink([](const std::string&) {});
    const auto started = std::chrono::steady_clock::now();
    UnPack(params, success, mainEntry, host);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    FlushDebugStream();
    if (!verbose) SetDebugSink(nullptr);

    if (UnPackStoppedAtLimit())
        return Fail(err, package + " unpacks to more than its space table promises (" +
                             std::to_string(promised) + " bytes, plus 10%): stopped after " +
                             std::to_string(params.OutputLimit) +
                             " bytes, the file being written removed (--no-size-limit lifts the limit)");
    if (missingVolume > 0)
        return Fail(err, "volume " + std::to_string(missingVolume) +
                             " missing: " + VolumeFileName(package, missingVolume));
    // Failed writes fail the extraction too; their own message says more.
    int failedWrites = UnPackFailedWrites();
    if (failedWrites > 0)
        return Fail(err, std::to_string(failedWrites) + " record(s) not written" +
                             (firstError.empty() ? "" : ": " + firstError));
    if (!success)
        return Fail(
            err, "extraction of " + package +
                     " failed: missing file, bad checksum, damaged data or a program that was not extracted");
    out << "extracted " << package << " to " << target;
    if (!mainEntry.empty()) out << ", program " << mainEntry;
    out << "\n";
    if (timed) out << "extraction time: " << elapsed.count() << " ms\n";
    return 0;
}
