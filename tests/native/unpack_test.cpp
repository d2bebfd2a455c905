// The extraction engine on packages made byte by byte: records, volumes,
// prompts, progress, debug lines, damaged and hostile input.
#include "base/debug_stream.h"
#include "package/files.h"
#include "pkgtool/package_writer.h"
#include "package/unpack.h"
#include "package/zlib_open.h"

#include "temp_folder.h"
#include "test_package.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <iterator>
#include <sstream>
#include <utility>
#include <vector>

namespace {

const uint32_t kStamp = (uint32_t{(2012 - 1980) << 9 | 3 << 5 | 9} << 16) | (8 << 11 | 30 << 5 | 4);

// Host that records what the engine asks of the window system.
struct TRecordingHost {
    TUnPackHost Host;
    std::vector<std::string> Prompts, Errors, Ejected;
    int AutoPlay = 0, Waits = 0;
    // Answer to prompt number n (from 1); may create the missing volume.
    std::function<bool(int)> Answer = [](int) { return false; };

    TRecordingHost()
    {
        Host.PumpMessages = [] {};
        Host.WaitPumping = [this](int ms) { Waits += ms == 500; };
        Host.ConfirmOkCancel = [this](const std::string& text, const std::string& caption, int,
                                      const std::string&) {
            Prompts.push_back(caption + ": " + text);
            return Answer(static_cast<int>(Prompts.size()));
        };
        Host.ShowError = [this](const std::string& text) { Errors.push_back(text); };
        Host.EjectCD = [this](const std::string& path) {
            Ejected.push_back(path);
            return false;
        };
        Host.SetAutoPlayCancel = [this] { ++AutoPlay; };
        Host.ProcessId = [] { return 4242ul; };
    }
    TRecordingHost(const TRecordingHost&) = delete;
};

struct TResult {
    bool Success = false;
    std::string MainEntry;
    std::vector<std::pair<int, int>> Progress;  // kind, maximum
    std::string Debug;
};

TResult Extract(const std::string& package, const std::string& target, TRecordingHost& host,
                bool forcePrompt = false, const std::string& agent = "")
{
    TResult r;
    TUnPackParams p;
    p.PackageFile = package;
    p.TargetDir = target;
    p.AgentName = agent;
    p.Progress = [&](int kind, int, int maximum, int, int, const std::string&) {
        r.Progress.emplace_back(kind, maximum);
    };
    p.DiskPrompt = "Insert disk <disk_num> please";
    p.PromptCaption = "Attention";
    p.ForcePrompt = forcePrompt;
    TDebugCapture out;
    r.MainEntry = "stale";
    UnPack(p, r.Success, r.MainEntry, host.Host);
    r.Debug = out.Text();
    return r;
}

class UnPackTest : public ::testing::Test {
protected:
    std::string Save(const std::string& name, const std::string& bytes)
    {
        TTempFolder::Write(dir_ / name, bytes);
        return dir_ / name;
    }
    std::string Out(const std::string& name = "") const
    {
        return name.empty() ? dir_ / "out" : dir_ / ("out/" + name);
    }
    static std::string Read(const std::string& path) { return TTempFolder::Read(path); }

    TTempFolder dir_;
    TRecordingHost host_;
};

TEST_F(UnPackTest, PlainPackageWritesEveryFileWithStampProgressAndDebugLines)
{
    TTestPackage pkg;
    pkg.computeChecksum = true;
    pkg.File("setup.exe*/silent /x", "MZ-program", TTestPackage::Compressed, kStamp)
        .File("data.bin", Bytes(3000, 7), TTestPackage::Stored, kStamp)
        .File("readme.txt", "hello\r\n", TTestPackage::Compressed, 0);
    std::string bytes = pkg.Build();
    ASSERT_LT(bytes.size(), 51200u);  // so the checksum is really computed
    std::string file = Save("pack.dat", bytes);

    TResult r = Extract(file, Out(), host_);
    EXPECT_TRUE(r.Success);
    EXPECT_EQ(r.MainEntry, "setup.exe*/silent /x");
    EXPECT_EQ(Read(Out("setup.exe")), "MZ-program");
    EXPECT_EQ(Read(Out("data.bin")), Bytes(3000, 7));
    EXPECT_EQ(Read(Out("readme.txt")), "hello\r\n");
    EXPECT_EQ(FileDosTime(Out("setup.exe")), kStamp);
    EXPECT_EQ(FileDosTime(Out("data.bin")), kStamp);
    EXPECT_NE(FileDosTime(Out("readme.txt")), kStamp);

    std::vector<std::pair<int, int>> expected = {{0, 0}, {0, 3}, {1, 0}, {1, 0}, {1, 0}};
    EXPECT_EQ(r.Progress, expected);
    EXPECT_EQ(r.Debug.rfind(
                  "FileInfo.FilesCount=3\nFileLen=" + std::to_string(bytes.size()) + "\nUnCompressTime: ", 0),
              0u)
        << r.Debug;
    EXPECT_NE(r.Debug.find(" MS\n\n"), std::string::npos) << r.Debug;
    EXPECT_TRUE(host_.Prompts.empty());
    EXPECT_TRUE(host_.Errors.empty());
    EXPECT_EQ(host_.Waits, 1);
}

TEST_F(UnPackTest, ThreeTextBlocksAndStoredPackEndWithTrailingBytes)
{
    TTestPackage pkg;
    pkg.blockCount = 3;
    pkg.storedPackEnd = true;
    pkg.computeChecksum = true;
    pkg.appended = std::string(5000, 'J') + pkg.Trailer(0).substr(0, 70) +
                   TTestPackage::U32(74);  // a decoy trailer after the package end
    pkg.File("first.txt", "one").File("second.txt", "two", TTestPackage::Stored);
    std::string bytes = pkg.Build();
    std::string file = Save("pack3.dat", bytes);

    TResult r = Extract(file, Out(), host_);
    EXPECT_TRUE(r.Success);
    EXPECT_EQ(Read(Out("first.txt")), "one");
    EXPECT_EQ(Read(Out("second.txt")), "two");
    std::size_t packEnd = bytes.size() - pkg.appended.size();
    EXPECT_NE(r.Debug.find("FileLen=" + std::to_string(packEnd) + "\n"), std::string::npos) << r.Debug;
    EXPECT_EQ(r.MainEntry, "");
}

TEST_F(UnPackTest, SameNameRecordsAppendAndEarlierFilesAreExtended)
{
    ASSERT_TRUE(ForceDirectories(Out()));
    TTempFolder::Write(Out("old.log"), "before|");
    TTestPackage pkg;
    pkg.File("big.bin", "part1-", TTestPackage::Compressed)
        .File("big.bin", "part2-", TTestPackage::Stored)
        .File("big.bin", "part3", TTestPackage::Compressed, kStamp)
        .File("old.log", "after");
    TResult r = Extract(Save("same.dat", pkg.Build()), Out(), host_);
    EXPECT_TRUE(r.Success);
    EXPECT_EQ(Read(Out("big.bin")), "part1-part2-part3");
    EXPECT_EQ(FileDosTime(Out("big.bin")), kStamp);
    EXPECT_EQ(Read(Out("old.log")), "before|after");
    // One step for the new file, none for its continuations or old.log.
    std::vector<std::pair<int, int>> expected = {{0, 0}, {0, 4}, {1, 0}};
    EXPECT_EQ(r.Progress, expected);
}

TEST_F(UnPackTest, EmptyAndHeaderlessRecordsWriteNothingEmptyDataMakesEmptyFile)
{
    TTestPackage pkg;
    pkg.Raw(0, "")                                                  // empty record
        .Entry("|nonul.txt|0|no terminator", TTestPackage::Stored)  // no NUL
        .Entry(std::string("\0data", 5), TTestPackage::Compressed)  // empty header
        .File("empty.txt", "", TTestPackage::Stored)
        .File("zeroes.bin", std::string(2 << 20, '\0'), TTestPackage::Compressed);
    TResult r = Extract(Save("odd.dat", pkg.Build()), Out(), host_);
    EXPECT_TRUE(r.Success);
    EXPECT_FALSE(FileExists(Out("nonul.txt")));
    EXPECT_TRUE(FileExists(Out("empty.txt")));
    EXPECT_EQ(FileSizeByName(Out("empty.txt")), 0);
    EXPECT_EQ(Read(Out("zeroes.bin")), std::string(2 << 20, '\0'));
    EXPECT_EQ(r.Progress.size(), 4u);
}

TEST_F(UnPackTest, MainEntryIsTheLastMarkedHeader)
{
    // "*" only in the stamp item: the whole header is the main entry. It is
    // returned only when the program it names is the file written: with
    // blanks as delimiter the header trims to the name, with "|" it names a
    // file that was never extracted.
    const struct {
        std::string header;
        std::string MainEntry;
        bool success;
    } cases[] = {
        {" b.exe *odd ", " b.exe *odd ", true},
        {"|b.exe|*odd|", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        TTestPackage pkg;
        pkg.File("a.exe*", "a").File("plain.txt", "p").Entry(c.header + std::string(1, '\0') + "b");
        std::string target = dir_ / ("marks" + std::to_string(&c - cases));
        TResult r = Extract(Save("marks.dat", pkg.Build()), target, host_);
        EXPECT_EQ(r.Success, c.success);
        EXPECT_EQ(r.MainEntry, c.MainEntry);
        EXPECT_EQ(Read(target + "/a.exe"), "a");
        EXPECT_EQ(Read(target + "/b.exe"), "b");
    }
}

// ---- volumes -------------------------------------------------------------------

class UnPackVolumes : public UnPackTest {
protected:
    // Writes a package split over `count` volumes, one file record each, and
    // returns the path of the first.
    std::string MakeVolumes(int count, const std::string& first = "set.exe")
    {
        for (int v = 1; v <= count; ++v) {
            TTestPackage pkg = TTestPackage::SplitVolume(v, count);
            pkg.fileCount = 10;
            std::string name = first;
            if (v > 1) {  // piecewise: "..." + std::to_string(v) draws a false -Wrestrict from GCC 12
                name = "set.exe.00";
                name += std::to_string(v);
            }
            volumes_.push_back(Save(name, pkg.Build()));
        }
        return volumes_[0];
    }
    std::vector<std::string> volumes_;
};

TEST_F(UnPackVolumes, FoundVolumesNeedNoPromptUnlessForced)
{
    for (bool force : {false, true}) {
        SCOPED_TRACE(force);
        TRecordingHost host;
        host.Answer = [](int) { return true; };
        std::string first = volumes_.empty() ? MakeVolumes(3) : volumes_[0];
        std::string target = dir_ / (force ? "forced" : "quiet");
        TResult r = Extract(first, target, host, force);
        EXPECT_TRUE(r.Success);
        EXPECT_EQ(r.MainEntry, "main.exe*");
        EXPECT_EQ(Read(target + "/part.bin"), "v1v2v3");
        EXPECT_EQ(host.AutoPlay, 2);
        if (force) {
            ASSERT_EQ(host.Prompts.size(), 2u);
            EXPECT_EQ(host.Prompts[0], "Attention: Insert disk 2 please");
            EXPECT_EQ(host.Prompts[1], "Attention: Insert disk 3 please");
            ASSERT_EQ(host.Ejected.size(), 2u);
            EXPECT_EQ(host.Ejected[1], volumes_[2]);
        } else {
            EXPECT_TRUE(host.Prompts.empty());
            EXPECT_TRUE(host.Ejected.empty());
        }
        std::vector<std::pair<int, int>> expected = {{0, 0}, {0, 10}, {1, 0}, {1, 0}, {1, 0}, {1, 0}};
        EXPECT_EQ(r.Progress, expected);
    }
}

TEST_F(UnPackVolumes, FirstVolumeNamedWith001)
{
    MakeVolumes(2, "set.exe.001");
    TResult r = Extract(volumes_[0], Out(), host_);
    EXPECT_TRUE(r.Success);
    EXPECT_EQ(Read(Out("part.bin")), "v1v2");
}

TEST_F(UnPackVolumes, MissingVolumeIsAskedForUntilItAppears)
{
    MakeVolumes(3);
    std::string third = Read(volumes_[2]);
    std::remove(volumes_[2].c_str());
    host_.Answer = [&](int n) {
        if (n == 2)  // OK on the second prompt, after the disk "arrived"
            TTempFolder::Write(volumes_[2], third);
        return true;
    };
    TResult r = Extract(volumes_[0], Out(), host_);
    EXPECT_TRUE(r.Success);
    EXPECT_EQ(host_.Prompts.size(), 2u);
    EXPECT_EQ(Read(Out("part.bin")), "v1v2v3");
}

TEST_F(UnPackVolumes, CancelledPromptClearsMainEntry)
{
    MakeVolumes(2);
    std::remove(volumes_[1].c_str());
    TResult r = Extract(volumes_[0], Out(), host_);
    EXPECT_EQ(host_.Prompts.size(), 1u);
    EXPECT_EQ(r.MainEntry, "");
    EXPECT_EQ(Read(Out("main.exe")), "M");
}

TEST_F(UnPackVolumes, TargetFolderIsMadeOnEveryVolume)
{
    MakeVolumes(2);
    std::string second = Read(volumes_[1]);
    std::remove(volumes_[1].c_str());
    // While the disk is asked for, the target folder goes away.
    host_.Answer = [&](int) {
        std::filesystem::remove_all(Out());
        TTempFolder::Write(volumes_[1], second);
        return true;
    };
    TResult r = Extract(volumes_[0], Out(), host_);
    EXPECT_EQ(host_.Prompts.size(), 1u);
    EXPECT_TRUE(host_.Errors.empty());
    EXPECT_EQ(Read(Out("part.bin")), "v2");
    // The program went with the folder: nothing to run.
    EXPECT_FALSE(FileExists(Out("main.exe")));
    EXPECT_EQ(r.MainEntry, "");
    EXPECT_FALSE(r.Success);
}

TEST_F(UnPackVolumes, TargetFolderThatCannotBeMadeIsReportedOnEveryVolume)
{
    MakeVolumes(3);
    TTempFolder::Write(dir_ / "plain", "a file");
    std::string target = dir_ / "plain/SETUP_3";
    TResult r = Extract(volumes_[0], target, host_);
    int folderBoxes = 0, writeBoxes = 0;
    for (const std::string& e : host_.Errors) {
        folderBoxes += e.rfind(target + "<P><P>Unable to create Directory!<P><P>", 0) == 0;
        writeBoxes += e.find("Unable to save Extracted File!") != std::string::npos;
    }
    EXPECT_EQ(folderBoxes, 3);
    EXPECT_EQ(writeBoxes, 1);
    EXPECT_EQ(host_.Errors.size(), 4u);
    EXPECT_EQ(UnPackFailedWrites(), 4);  // main.exe and the three parts
    EXPECT_EQ(r.MainEntry, "");
}

// ---- damaged and hostile packages ------------------------------------------------

TEST_F(UnPackTest, ChecksumMismatchStopsBeforeTheRecords)
{
    TTestPackage pkg;
    pkg.computeChecksum = true;
    pkg.File("a.txt", "content");
    std::string bytes = pkg.Build();
    bytes[1024 + 30] ^= 0x55;  // inside the language block
    TResult r = Extract(Save("bad.dat", bytes), Out(), host_);
    EXPECT_FALSE(r.Success);
    EXPECT_FALSE(FileExists(Out("a.txt")));
    EXPECT_EQ(r.Debug.find("FileLen="), std::string::npos);
}

TEST_F(UnPackTest, MissingPackageExtractsNothing)
{
    TResult r = Extract(dir_ / "none.dat", Out(), host_);
    EXPECT_FALSE(r.Success);
    EXPECT_EQ(r.MainEntry, "");
    EXPECT_FALSE(DirectoryExists(Out()));
}

TEST_F(UnPackTest, DamagedZlibStreamFailsTheExtraction)
{
    std::string good = TTestPackage::Deflate(TTestPackage::Header("z.txt", 0) + '\0' + "payload");
    std::string bad = good;
    bad[good.size() / 2] ^= 0xFF;
    bad[2] ^= 0x0F;
    struct Case {
        const char* What;
        std::string Body;
    };
    const Case cases[] = {
        {"garbage", "this is no zlib stream"},
        {"flipped bits", bad},
        {"truncated", good.substr(0, good.size() - 6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TTestPackage pkg;
        pkg.File("before.txt", "ok").Raw(static_cast<int32_t>(c.Body.size()), c.Body).File("after.txt", "x");
        std::string target = dir_ / c.What;
        TResult r = Extract(Save("z.dat", pkg.Build()), target, host_);
        EXPECT_FALSE(r.Success);
        EXPECT_EQ(Read(target + "/before.txt"), "ok");
        EXPECT_FALSE(FileExists(target + "/after.txt"));
        EXPECT_NE(r.Debug.find("ZLib error: "), std::string::npos) << r.Debug;
        EXPECT_NE(r.Debug.find("UnCompressTime: "), std::string::npos);
    }
}

TEST_F(UnPackTest, LengthsPastTheEndEndTheVolume)
{
    const int32_t lengths[] = {1 << 30, -(1 << 30), INT32_MIN, 90};
    for (int32_t length : lengths) {
        SCOPED_TRACE(length);
        TTestPackage pkg;
        pkg.File("first.txt", "1").Raw(length, "short body").File("last.txt", "2");
        std::string target = dir_ / std::to_string(length);
        TResult r = Extract(Save("len.dat", pkg.Build()), target, host_);
        EXPECT_FALSE(r.Success);
        EXPECT_EQ(Read(target + "/first.txt"), "1");
        EXPECT_FALSE(FileExists(target + "/last.txt"));
    }
}

TEST_F(UnPackTest, DataStartBeyondTheRecordsFails)
{
    TTestPackage wild;
    wild.File("a.txt", "1");
    std::string w = wild.Build();
    TTestPackage::Put(w, w.size() - 74 + 4, 0x7FFFFFF0);  // DataStart
    TResult r = Extract(Save("wild.dat", w), Out(), host_);
    EXPECT_FALSE(r.Success);
    EXPECT_FALSE(FileExists(Out("a.txt")));
}

TEST_F(UnPackTest, HostileNamesAreRefusedAndCountedAsFailedWrites)
{
    TTestPackage pkg;
    for (const char* n : kHostileNames) pkg.File(n, "evil");
    pkg.File("good.txt", "fine");
    std::string package = Save("hostile.dat", pkg.Build());
    // The count and the box belong to each extraction: a second run over the
    // same package counts and shows them again.
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        TRecordingHost host;
        std::string target = dir_ / ("deep/er/out" + std::to_string(run));
        TResult r = Extract(package, target, host);
        // Refused names are failed writes: the extraction fails.
        EXPECT_FALSE(r.Success);
        EXPECT_EQ(UnPackFailedWrites(), static_cast<int>(std::size(kHostileNames)));
        EXPECT_EQ(UnPackWriteError(), 0u) << "a refused name has no system code";
        EXPECT_EQ(Read(target + "/good.txt"), "fine");
        EXPECT_FALSE(FileExists(dir_ / "deep/escape1.txt"));
        EXPECT_FALSE(FileExists(dir_ / "deep/escape2.txt"));
        EXPECT_FALSE(FileExists(dir_ / "escape3.txt"));
        EXPECT_FALSE(FileExists(dir_ / "deep/er/escape4.txt"));
        // Only the first failure of the extraction is shown.
        ASSERT_EQ(host.Errors.size(), 1u);
        EXPECT_NE(host.Errors[0].find("<P><P>Unable to save Extracted File!<P><P>"), std::string::npos);
        EXPECT_NE(host.Errors[0].find("  Data Size: <T>4 Bytes<P>  File Size:  <T>"), std::string::npos)
            << host.Errors[0];
        EXPECT_EQ(r.Progress.size(), 3u);  // two starts and good.txt
    }
    // A sound extraction after them starts from zero.
    TTestPackage clean;
    clean.File("clean.txt", "c");
    TResult r = Extract(Save("clean.dat", clean.Build()), dir_ / "clean", host_);
    EXPECT_TRUE(r.Success);
    EXPECT_EQ(UnPackFailedWrites(), 0);
}

// A file that cannot be written keeps the marked program from running,
// wherever it stands and whether or not the program itself arrived whole.
TEST_F(UnPackTest, AFailedWriteRunsNothing)
{
    struct Case {
        const char* What;
        std::vector<std::string> Order;  // the records; "setup.exe" is the marked one
        const char* Blocked;             // a folder stands where this file should go
    };
    const Case cases[] = {
        {"after the program", {"setup.exe", "data.bin", "readme.txt"}, "data.bin"},
        {"before the program", {"data.bin", "setup.exe"}, "data.bin"},
        {"the program itself", {"setup.exe", "data.bin"}, "setup.exe"},
        {"a hostile name", {"setup.exe", "..\\x.bin"}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TTestPackage pkg;
        for (const std::string& name : c.Order)
            pkg.File(name == "setup.exe" ? "setup.exe*/s" : name, "content of " + name);
        const std::string target = dir_ / c.What;
        if (c.Blocked) std::filesystem::create_directories(target + "/" + c.Blocked);
        TRecordingHost host;
        TResult r = Extract(Save("blocked.dat", pkg.Build()), target, host);
        EXPECT_FALSE(r.Success);
        EXPECT_EQ(r.MainEntry, "");
        EXPECT_EQ(UnPackFailedWrites(), 1);
        EXPECT_EQ(UnPackWriteError() != 0, c.Blocked != nullptr);
        ASSERT_EQ(host.Errors.size(), 1u);
        EXPECT_NE(host.Errors[0].find("Unable to save Extracted File!"), std::string::npos);
        // The other files are still written, as before.
        for (const std::string& name : c.Order)
            if (!c.Blocked || name != c.Blocked) {
                if (name.find('\\') == std::string::npos) {
                    EXPECT_EQ(Read(target + "/" + name), "content of " + name) << name;
                }
            }
    }
}

// Every file below `root`, relative, with "/" between folders.
std::vector<std::string> FilesBelow(const std::string& root)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (auto& e : std::filesystem::recursive_directory_iterator(root, ec))
        if (!e.is_directory()) files.push_back(std::filesystem::relative(e.path(), root).generic_string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST_F(UnPackTest, MarkedEntryOutsideTheTargetRunsNothing)
{
    // The marked program is returned only when the program the setup flow
    // starts (the name before "*", blanks trimmed, in the target folder) is
    // a file this extraction created there and wrote completely.
    struct Case {
        std::string What;
        std::function<void(TTestPackage&)> Records;
        std::function<void(const std::string& target)> Before;  // prepares the target
        std::string MainEntry;                                  // "" when refused
    };
    auto marked = [](const std::string& name) {
        return [name](TTestPackage& p) { p.File(name + "*/x", "evil"); };
    };
    std::vector<Case> cases;
    for (const char* n : kHostileNames)
        cases.push_back({std::string("hostile name ") + n, marked(n), nullptr, ""});
    cases.push_back(
        {"header naming a program outside",
         [](TTestPackage& p) { p.Entry("|x.txt|..\\..\\..\\planted.exe*|" + std::string(1, '\0') + "x"); },
         nullptr, ""});
    cases.push_back({"leading blank", marked(" prog.exe"), nullptr, ""});
    cases.push_back({"control byte trimmed away", marked("\x01..\\planted.exe"), nullptr, ""});
    cases.push_back({"program left by an earlier run", marked("prog.exe"),
                     [](const std::string& t) { TTempFolder::Write(t + "/prog.exe", "planted"); }, ""});
    cases.push_back({"program not writable", marked("prog.exe"),
                     [](const std::string& t) { ForceDirectories(t + "/prog.exe"); }, ""});
    cases.push_back({"later part of the program not written",
                     [](TTestPackage& p) {
                         p.File("prog.exe*", "part1").File("spoiler.txt", "s").File("prog.exe", "part2");
                     },
                     nullptr, ""});
    cases.push_back({"program in two records, marked in the second",
                     [](TTestPackage& p) { p.File("sub/prog.exe", "part1").File("sub\\prog.exe*", "part2"); },
                     nullptr, "sub\\prog.exe*"});
    cases.push_back({"trailing blanks, which Windows drops", marked("prog.exe  "), nullptr, "prog.exe  */x"});
    cases.push_back({"sound program", marked("prog.exe"), nullptr, "prog.exe*/x"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TTempFolder root;
        std::string target = root / "temp/SETUP_1";
        ASSERT_TRUE(ForceDirectories(target));
        if (c.Before) c.Before(target);
        std::vector<std::string> filesBefore = FilesBelow(root.Path());
        TTestPackage pkg;
        pkg.File("data.txt", "d");
        c.Records(pkg);
        std::string package = Save("marked.dat", pkg.Build());
        TRecordingHost host;
        TUnPackParams p;
        p.PackageFile = package;
        p.TargetDir = target;
        // When spoiler.txt starts, prog.exe becomes a folder: the second part
        // of the program cannot be written.
        int started = 0;
        p.Progress = [&](int kind, int, int, int, int, const std::string&) {
            if (kind == 1 && ++started == 3 && c.What.rfind("later part", 0) == 0) {
                std::remove((target + "/prog.exe").c_str());
                ForceDirectories(target + "/prog.exe");
            }
        };
        bool success = false;
        std::string mainEntry = "stale";
        std::string debug;
        {
            TDebugCapture capture;
            UnPack(p, success, mainEntry, host.Host);
            debug = capture.Text();
        }

        EXPECT_EQ(mainEntry, c.MainEntry);
        EXPECT_EQ(success, !c.MainEntry.empty());
        EXPECT_EQ(Read(target + "/data.txt"), "d");
        EXPECT_EQ(debug.find("Refused program: ") != std::string::npos, c.MainEntry.empty()) << debug;
        // Nothing new outside the target folder.
        for (const std::string& f : FilesBelow(root.Path())) {
            if (f.rfind("temp/SETUP_1/", 0) != 0) {
                EXPECT_NE(std::find(filesBefore.begin(), filesBefore.end(), f), filesBefore.end()) << f;
            }
        }
    }
}

TEST(IsSafeEntryName, Table)
{
    const std::pair<const char*, bool> cases[] = {
        {"setup.exe", true},  {"sub\\file.txt", true}, {"a..b.txt", true},
        {"..x", true},        {"x..", true},           {".", false},
        {"a\\.\\b", false},   {"a\\", false},          {"..\\x", false},
        {"x/../../y", false}, {"C:x", false},          {"\\\\?\\C:\\x", false},
        {"LPT1.log", false},  {"com0", false},         {"console.txt", true},
    };
    for (const auto& [name, safe] : cases) EXPECT_EQ(IsSafeEntryName(name), safe) << name;
}

// ---- derived agent file ------------------------------------------------------------

TEST_F(UnPackTest, DerivedAgentFileFromAnExePackage)
{
    TTestPackage pkg;
    pkg.storedPackEnd = true;
    pkg.packFlags = 0x08;
    pkg.File("setup.exe*", "S");
    std::string bytes = pkg.Build();
    std::string exe = Save("Product.EXE", bytes);
    TResult r = Extract(exe, Out(), host_, false, "C:\\somewhere\\agent.exe");
    ASSERT_TRUE(r.Success);
    std::string agent = Read(Out("agent.exe"));
    std::string head = pkg.Image() + pkg.TextBlocks();
    ASSERT_EQ(agent.size(), head.size() + 74);
    std::string expectedHead = head;
    std::memcpy(&expectedHead[248], bytes.data() + 248, 4);  // high word kept
    EXPECT_EQ(agent.substr(0, head.size()), expectedHead);
    std::string trailer = agent.substr(head.size());
    std::string original = bytes.substr(bytes.size() - 74);
    EXPECT_EQ(trailer[69], 1);
    EXPECT_EQ(trailer.substr(0, 69), original.substr(0, 69));
    EXPECT_EQ(FileDosTime(Out("agent.exe")), FileDosTime(exe));
    EXPECT_NE(r.Debug.find("4242 New AU-Agent: " + Out() + "\\agent.exe\n"), std::string::npos) << r.Debug;

    // Not for a package whose name does not end in .exe.
    TResult other = Extract(Save("Product.dat", bytes), dir_ / "o2", host_, false, "agent.exe");
    EXPECT_TRUE(other.Success);
    EXPECT_FALSE(FileExists(dir_ / "o2/agent.exe"));
}

TEST_F(UnPackTest, DerivedAgentNameStaysInsideTheTarget)
{
    TTestPackage pkg;
    pkg.File("setup.exe*", "S");
    std::string exe = Save("Product.exe", pkg.Build());
    const struct {
        const char* agentName;
        const char* written;  // file in the target folder, "" when refused
    } cases[] = {
        {"agent.exe", "agent.exe"},
        {"C:\\x\\agent.exe", "agent.exe"},
        {"sub/agent.exe", "agent.exe"},
        {"..", ""},
        {"C:\\x\\..", ""},
        {"a:..", ""},
        {"CON", ""},
        {"x\\lpt1.exe", ""},
        {"x\\", ""},
        {"..\\.. ", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.agentName);
        TTempFolder root;
        std::string target = root / "temp/SETUP_1";
        TResult r = Extract(exe, target, host_, false, c.agentName);
        EXPECT_TRUE(r.Success);
        std::vector<std::string> expected = {"temp/SETUP_1/setup.exe"};
        if (*c.written) expected.push_back(std::string("temp/SETUP_1/") + c.written);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(FilesBelow(root.Path()), expected);
        EXPECT_EQ(r.Debug.find("Refused agent name: ") != std::string::npos, !*c.written) << r.Debug;
    }
}

}  // namespace

// ---- packages from the production writer ---------------------------------------------

namespace {

TEST_F(UnPackTest, WriterPackagesOverThreeVolumesRoundTrip)
{
    for (int blockCount : {2, 3}) {
        SCOPED_TRACE(blockCount);
        TPackOptions options;
        options.Image = StubImage();
        options.Languages.push_back({"English", {{"s1", "Hello"}}});
        if (blockCount == 3) options.Web = TPackWeb{"http://example.invalid/", "setup.exe", false, "tok", 1};
        options.BlockCount = blockCount;
        options.RecordLimit = 40000;
        options.VolumeSize = 120000;
        TPackEntry program;
        program.Content = "program";
        program.Name = "setup.exe";
        program.Marked = true;
        program.Arguments = "/auto";
        program.TimeStamp = kStamp;
        TPackEntry data;
        data.Content = Bytes(250000, 5);
        data.Name = "data\\payload.bin";
        options.Files = {program, data};
        std::string error;
        std::vector<std::string> volumes;
        std::string first = dir_ / ("writer" + std::to_string(blockCount) + ".exe");
        ASSERT_TRUE(WritePackage(options, first, error, &volumes)) << error;
        ASSERT_GE(volumes.size(), 3u);

        std::string target = dir_ / ("w" + std::to_string(blockCount));
        TResult r = Extract(first, target, host_);
        EXPECT_TRUE(r.Success);
        EXPECT_EQ(r.MainEntry, "setup.exe*/auto");
        EXPECT_EQ(Read(target + "/setup.exe"), "program");
        EXPECT_EQ(FileDosTime(target + "/setup.exe"), kStamp);
        EXPECT_EQ(Read(target + "/data/payload.bin"), Bytes(250000, 5));
        EXPECT_TRUE(host_.Prompts.empty());
    }
}

}  // namespace
