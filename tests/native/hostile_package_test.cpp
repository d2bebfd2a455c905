// Hostile packages through the whole extraction, one table: packages that
// break the layout on purpose, and odd packages that are valid. For every
// case: no crash, no hang, nothing written outside the target folder, the
// volumes unchanged, a failure where the package is bad, exactly the files
// that the package defines, and a target folder that can be removed
// afterwards (no handle left open). Runs natively and under Wine, where file
// names differ from POSIX in letter case.
#include "base/debug_stream.h"
#include "package/files.h"
#include "package/unpack.h"

#include "temp_folder.h"
#include "test_package.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

using TFiles = std::map<std::string, std::string>;  // relative path with "/" -> content

// File name -> bytes; the first one is the package (volume 1).
using TVolumes = std::vector<std::pair<std::string, std::string>>;

struct THostileCase {
    std::string What;
    std::function<TVolumes()> Volumes;
    bool Success;                         // what UnPack reports
    TFiles Files;                         // exactly what the target holds afterwards
    std::string MainEntry;                // "" when nothing may run
    std::optional<int> FailedWrites = 0;  // refused names count as failed writes
};

TVolumes One(const TTestPackage& pkg)
{
    return {{"pkg.exe", pkg.Build()}};
}

// Volumes 1..3 of a span set whose middle volume is larger than the
// checksum limit: its part of part.bin is `middle`.
TVolumes ThreeVolumes(const std::string& middle)
{
    TVolumes v;
    for (int n = 1; n <= 3; ++n) {
        TTestPackage pkg = TTestPackage::SplitVolume(n, 3);
        if (n == 2) {
            pkg = TTestPackage();
            pkg.firstVolume = false;
            pkg.imageSize = 0;
            pkg.packFlags = 0x02;
            pkg.File("part.bin", middle, TTestPackage::Stored);
        }
        v.emplace_back(n == 1 ? "pkg.exe" : "pkg.exe.00" + std::to_string(n), pkg.Build());
    }
    return v;
}

// Every regular file below `root`, relative with "/", and its content.
TFiles FilesBelow(const std::string& root)
{
    TFiles files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (!it->is_directory(ec))
            files[fs::relative(it->path(), root, ec).generic_string()] =
                TTempFolder::Read(it->path().string());
    return files;
}

struct TOutcome {
    bool Success = false;
    std::string MainEntry;
    int FailedWrites = 0;
    std::vector<std::string> Errors;
    std::string Debug;
};

// Runs `body` on a thread of its own. A stuck extraction cannot be stopped
// from outside, so a case that has not ended long after any sane one would
// is reported as a hang and ends the program, instead of stalling the run.
void RunWithHangGuard(const std::string& what, const std::function<void()>& body)
{
    std::packaged_task<void()> task(body);
    std::future<void> done = task.get_future();
    std::thread worker(std::move(task));
    if (done.wait_for(std::chrono::minutes(5)) != std::future_status::ready) {
        std::fprintf(stderr, "hostile package case hangs: %s\n", what.c_str());
        std::fflush(stderr);
        std::_Exit(3);
    }
    worker.join();
    done.get();
}

TOutcome ExtractGuarded(const std::string& what, const std::string& package, const std::string& target)
{
    TOutcome out;
    RunWithHangGuard(what, [&] {
        TUnPackHost host;
        host.ShowError = [&out](const std::string& text) { out.Errors.push_back(text); };
        // A missing volume is not inserted later: the prompt is cancelled.
        host.ConfirmOkCancel = [](const std::string&, const std::string&, int, const std::string&) {
            return false;
        };
        TUnPackParams p;
        p.PackageFile = package;
        p.TargetDir = target;
        p.DiskPrompt = "<DISK_NUM>";
        TDebugCapture capture;
        UnPack(p, out.Success, out.MainEntry, host);
        out.FailedWrites = UnPackFailedWrites();
        out.Debug = capture.Text();
    });
    return out;
}

std::vector<THostileCase> Cases()
{
    using TKind = TTestPackage::TKind;
    std::vector<THostileCase> cases;
    auto lengthPastTheEnd = [](int32_t length) {
        return [length] {
            TTestPackage pkg;
            pkg.File("first.txt", "1").Raw(length, "short body").File("last.txt", "2");
            return One(pkg);
        };
    };
    cases.push_back(
        {"record length past the end", lengthPastTheEnd(1 << 30), false, {{"first.txt", "1"}}, ""});
    cases.push_back({"negative record length past the end",
                     lengthPastTheEnd(-(1 << 30)),
                     false,
                     {{"first.txt", "1"}},
                     ""});
    cases.push_back(
        {"most negative record length", lengthPastTheEnd(INT32_MIN), false, {{"first.txt", "1"}}, ""});
    cases.push_back(
        {"record length reaching into the trailer", lengthPastTheEnd(20), false, {{"first.txt", "1"}}, ""});

    cases.push_back({"DataStart inside the trailer",
                     [] {
                         TTestPackage pkg;
                         pkg.File("a.txt", "A");
                         std::string bytes = pkg.Build();
                         TTestPackage::Put(bytes, bytes.size() - 74 + 4,
                                           static_cast<uint32_t>(bytes.size() - 60));
                         return TVolumes{{"pkg.exe", bytes}};
                     },
                     false,
                     {},
                     ""});
    cases.push_back({"DataStart past the end of the file",
                     [] {
                         TTestPackage pkg;
                         pkg.dataStart = 0x7FFFFFF0;
                         pkg.File("a.txt", "A");
                         return One(pkg);
                     },
                     false,
                     {},
                     ""});

    cases.push_back({"BlockCount 0 reads as 2",
                     [] {
                         TTestPackage pkg;
                         pkg.blockCount = 0;
                         pkg.File("a.txt", "A").File("run.exe*", "R");
                         return One(pkg);
                     },
                     true,
                     {{"a.txt", "A"}, {"run.exe", "R"}},
                     "run.exe*"});
    cases.push_back({"BlockCount 255 with 255 blocks",
                     [] {
                         TTestPackage pkg;
                         pkg.blockCount = 255;
                         pkg.extraBlocks.assign(252, "|block|");
                         pkg.File("a.txt", "A");
                         return One(pkg);
                     },
                     true,
                     {{"a.txt", "A"}},
                     ""});
    cases.push_back({"BlockCount 255 with two blocks: the records are read as blocks",
                     [] {
                         TTestPackage pkg;
                         pkg.blockCount = 255;
                         pkg.File("a.txt", "A").File("b.txt", "B");
                         return One(pkg);
                     },
                     false,
                     {},
                     ""});

    cases.push_back({"10,000 empty records write nothing",
                     [] {
                         TTestPackage pkg;
                         pkg.File("before.txt", "b");
                         for (int i = 0; i < 10000; ++i) pkg.Raw(0, "");
                         pkg.File("after.txt", "a");
                         return One(pkg);
                     },
                     true,
                     {{"after.txt", "a"}, {"before.txt", "b"}},
                     ""});

    const std::string inflated(4 << 20, 'z');
    cases.push_back({"record inflating to over 1,000 times its size",
                     [inflated] {
                         TTestPackage pkg;
                         pkg.File("big.bin", inflated);
                         EXPECT_GE(inflated.size(), 1000 * TTestPackage::Deflate(inflated).size());
                         return One(pkg);
                     },
                     true,
                     {{"big.bin", inflated}},
                     ""});

    // A volume larger than the checksum limit is not summed: only its
    // missing trailer shows that it was cut.
    const std::string middle = Bytes(60000, 2);
    auto span = [middle](const std::function<void(TVolumes&)>& change) {
        return [middle, change] {
            TVolumes v = ThreeVolumes(middle);
            change(v);
            return v;
        };
    };
    const TFiles firstVolume = {{"main.exe", "M"}, {"part.bin", "v1"}};
    for (std::size_t size : {std::size_t{30000}, std::size_t{59000}})
        cases.push_back({"span volume 2 cut to " + std::to_string(size) + " bytes",
                         span([size](TVolumes& v) { v[1].second.resize(size); }), false, firstVolume,
                         "main.exe*"});
    // A cancelled disk prompt is the user's choice, not damage: no error,
    // but nothing to run.
    cases.push_back({"span volume 2 missing: the prompt is cancelled",
                     span([](TVolumes& v) { v.erase(v.begin() + 1); }), true, firstVolume, ""});
    // The volumes carry no number: the set is read in the order of the
    // file names, and the last volume's trailer ends it.
    cases.push_back({"span volumes 2 and 3 swapped",
                     span([](TVolumes& v) { std::swap(v[1].second, v[2].second); }),
                     true,
                     {{"main.exe", "M"}, {"part.bin", "v1v3"}},
                     "main.exe*"});

    cases.push_back({"every refused name form",
                     [] {
                         TTestPackage pkg;
                         for (const char* n : kHostileNames) pkg.File(n, "evil");
                         pkg.File("good.txt", "fine");
                         return One(pkg);
                     },
                     false,  // a refused name is a failed write: nothing runs
                     {{"good.txt", "fine"}},
                     "",
                     static_cast<int>(std::size(kHostileNames))});
    cases.push_back({"marked entry pointing outside",
                     [] {
                         TTestPackage pkg;
                         pkg.File("data.txt", "d").File("..\\..\\planted.exe*/x", "evil");
                         return One(pkg);
                     },
                     false,
                     {{"data.txt", "d"}},
                     "",
                     1});
    cases.push_back({"header marking a program outside",
                     [] {
                         TTestPackage pkg;
                         pkg.Entry("|x.txt|..\\..\\planted.exe*|" + std::string(1, '\0') + "x");
                         return One(pkg);
                     },
                     false,
                     {{"x.txt", "x"}},
                     ""});

    // Names that differ only in case are one file on Windows: the second
    // record is appended to the first, as for any two records of one name.
#ifdef _WIN32
    const TFiles racing = {{"Setup.dat", "AB"}};
    const TFiles racingProgram = {{"run.exe", "AB"}};
#else
    const TFiles racing = {{"SETUP.DAT", "B"}, {"Setup.dat", "A"}};
    const TFiles racingProgram = {{"RUN.EXE", "B"}, {"run.exe", "A"}};
#endif
    cases.push_back({"two records racing for one name in different case",
                     [] {
                         TTestPackage pkg;
                         pkg.File("Setup.dat", "A").File("SETUP.DAT", "B", TKind::Stored);
                         return One(pkg);
                     },
                     true, racing, ""});
    cases.push_back({"the program marked in the first of two records in different case",
                     [] {
                         TTestPackage pkg;
                         pkg.File("run.exe*", "A").File("RUN.EXE", "B");
                         return One(pkg);
                     },
                     true, racingProgram, "run.exe*"});
    cases.push_back({"the program marked in the second of two records in different case",
                     [] {
                         TTestPackage pkg;
                         pkg.File("run.exe", "A").File("RUN.EXE*", "B");
                         return One(pkg);
                     },
                     true, racingProgram, "RUN.EXE*"});
    return cases;
}

TEST(HostilePackage, Table)
{
    for (const THostileCase& c : Cases()) {
        SCOPED_TRACE(c.What);
        TTempFolder root;
        const std::string target = root / "temp/SETUP_1";
        ASSERT_TRUE(ForceDirectories(target));
        const TVolumes volumes = c.Volumes();
        for (const auto& [name, bytes] : volumes) TTempFolder::Write(root / name, bytes);

        const TOutcome r = ExtractGuarded(c.What, root / volumes[0].first, target);

        EXPECT_EQ(r.Success, c.Success) << r.Debug;
        EXPECT_EQ(r.MainEntry, c.MainEntry);
        if (c.FailedWrites) {
            EXPECT_EQ(r.FailedWrites, *c.FailedWrites);
            // Every failed write is told, in one box.
            EXPECT_EQ(r.Errors.size(), *c.FailedWrites > 0 ? 1u : 0u);
        }
        EXPECT_EQ(FilesBelow(target), c.Files);
        // Outside the target: only the volumes, as they were.
        TFiles expectedOutside;
        for (const auto& [name, bytes] : volumes) expectedOutside[name] = bytes;
        TFiles outside = FilesBelow(root.Path());
        for (auto it = outside.begin(); it != outside.end();)
            it = it->first.rfind("temp/SETUP_1/", 0) == 0 ? outside.erase(it) : std::next(it);
        EXPECT_TRUE(outside == expectedOutside) << "files outside the target changed";
        // Nothing holds the files open: the setup flow can remove its folder.
        std::error_code ec;
        fs::remove_all(target, ec);
        EXPECT_FALSE(ec) << ec.message();
        EXPECT_FALSE(DirectoryExists(target));
    }
}

}  // namespace
