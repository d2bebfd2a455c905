// The extraction engine with its Windows host: real files, the registry's
// ForcePrompt value, and disk prompts and error boxes answered by a driver
// thread that clicks the message box like a user would.
#include "lang/sysinfo.h"
#include "package/files.h"
#include "package/unpack.h"

#include "../native/temp_folder.h"
#include "../native/test_package.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const char* const kSpanDiskKey = "Software\\Tarnwick\\Velmora\\SpanDisk";

// Answers the message boxes of this process from a second thread.
class TBoxDriver {
public:
    struct TBox { std::string title, text; };
    // Button to press for box number n (from 1): IDOK or IDCANCEL.
    using TDecide = std::function<int(int n, const TBox& box)>;

    explicit TBoxDriver(TDecide decide)
        : decide_(std::move(decide)), thread_([this] { Loop(); })
    {
    }
    ~TBoxDriver()
    {
        stop_ = true;
        thread_.join();
    }
    std::vector<TBox> Boxes()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_;
    }

private:
    static BOOL CALLBACK FindBox(HWND wnd, LPARAM param)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(wnd, &pid);
        char cls[64] = {};
        GetClassNameA(wnd, cls, sizeof cls);
        if (pid == GetCurrentProcessId() && IsWindowVisible(wnd) && std::string(cls) == "#32770") {
            *reinterpret_cast<HWND*>(param) = wnd;
            return FALSE;
        }
        return TRUE;
    }

    void Loop()
    {
        HWND last = nullptr;
        while (!stop_) {
            HWND box = nullptr;
            EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
            if (box && box != last) {
                char title[256] = {}, text[2048] = {};
                GetWindowTextA(box, title, sizeof title);
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                TBox b{title, text};
                int n;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    boxes_.push_back(b);
                    n = static_cast<int>(boxes_.size());
                }
                PostMessageA(box, WM_COMMAND, decide_(n, b), 0);
                last = box;
            }
            Sleep(20);
        }
    }

    TDecide decide_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<TBox> boxes_;
    std::thread thread_;
};

void SetForcePrompt(const char* value)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSpanDiskKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "ForcePrompt", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(strlen(value) + 1));
    RegCloseKey(key);
}

// What the setup flow passes: true only for exactly "1".
bool ForcePromptSetting()
{
    return ReadRegistryString("HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora\\SpanDisk",
                              "ForcePrompt", "0", false) == "1";
}

struct TRun {
    bool success = false;
    std::string mainEntry;
    int steps = 0;
};

TRun Extract(const std::string& package, const std::string& target, bool forcePrompt,
             const std::string& agent = "")
{
    TRun r;
    UnPack(package, target, agent, r.success,
           [&](int kind, int, int, int, int, const std::string&) { r.steps += kind == 1; },
           "Please insert disk <DISK_NUM>.", "Attention", "|&OK|&Cancel|", 0, forcePrompt,
           r.mainEntry);
    return r;
}

class WinUnPack : public ::testing::Test {
protected:
    // A package over `count` volumes: volume 1 holds main.exe and part one
    // of part.bin, every later volume the next part.
    std::vector<std::string> MakeVolumes(int count)
    {
        std::vector<std::string> names;
        for (int v = 1; v <= count; ++v) {
            TTestPackage pkg;
            pkg.firstVolume = v == 1;
            pkg.imageSize = v == 1 ? 1024 : 0;
            pkg.packFlags = v < count ? 0x02 : 0;
            if (v == 1)
                pkg.File("main.exe*", "M");
            pkg.File("part.bin", "v" + std::to_string(v), TTestPackage::Stored);
            std::string name = dir_ / (v == 1 ? "Disk.exe" : "Disk.exe.00" + std::to_string(v));
            TTempFolder::Write(name, pkg.Build());
            names.push_back(name);
        }
        return names;
    }
    TTempFolder dir_;
};

TEST_F(WinUnPack, ExtractsRealFilesWithTimesAndDerivedAgent)
{
    const uint32_t stamp = (uint32_t{(2009 - 1980) << 9 | 12 << 5 | 24} << 16) | (18 << 11 | 5);
    TTestPackage pkg;
    pkg.storedPackEnd = true;
    pkg.appended = "trailing bytes of a signature";
    pkg.File("setup.exe*/q", "program", TTestPackage::Compressed, stamp)
        .File("sub\\lib.dll", std::string(200000, 'L'), TTestPackage::Compressed, stamp)
        .File("sub\\lib.dll", "tail", TTestPackage::Stored, stamp);
    std::string exe = dir_ / "Product.exe";
    TTempFolder::Write(exe, pkg.Build());

    TRun r = Extract(exe, dir_ / "SETUP_1", false, "Agent.exe");
    EXPECT_TRUE(r.success);
    EXPECT_EQ(r.mainEntry, "setup.exe*/q");
    EXPECT_EQ(TTempFolder::Read(dir_ / "SETUP_1\\setup.exe"), "program");
    EXPECT_EQ(TTempFolder::Read(dir_ / "SETUP_1\\sub\\lib.dll"), std::string(200000, 'L') + "tail");
    EXPECT_EQ(FileDosTime(dir_ / "SETUP_1\\setup.exe"), stamp);
    EXPECT_EQ(FileDosTime(dir_ / "SETUP_1\\sub\\lib.dll"), stamp);
    std::string agent = TTempFolder::Read(dir_ / "SETUP_1\\Agent.exe");
    ASSERT_EQ(agent.size(), pkg.Image().size() + pkg.TextBlocks().size() + 74);
    EXPECT_EQ(agent[agent.size() - 74 + 69], 1);
    EXPECT_EQ(TTestPackage::GetU32(agent, 252), 0u);
    EXPECT_EQ(r.steps, 2);
}

TEST_F(WinUnPack, ForcePromptFromTheRegistryAsksForEveryVolume)
{
    auto volumes = MakeVolumes(3);
    for (const char* setting : {"0", "1"}) {
        SCOPED_TRACE(setting);
        SetForcePrompt(setting);
        TBoxDriver driver([](int, const TBoxDriver::TBox&) { return IDOK; });
        TRun r = Extract(volumes[0], dir_ / (std::string("out") + setting), ForcePromptSetting());
        EXPECT_TRUE(r.success);
        EXPECT_EQ(r.mainEntry, "main.exe*");
        EXPECT_EQ(TTempFolder::Read(dir_ / (std::string("out") + setting + "\\part.bin")), "v1v2v3");
        auto boxes = driver.Boxes();
        if (setting[0] == '1') {
            ASSERT_EQ(boxes.size(), 2u);
            EXPECT_EQ(boxes[0].title, "Attention");
            EXPECT_EQ(boxes[0].text, "Please insert disk 2.");
            EXPECT_EQ(boxes[1].text, "Please insert disk 3.");
        } else {
            EXPECT_TRUE(boxes.empty());
        }
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, kSpanDiskKey);
}

TEST_F(WinUnPack, MissingVolumeIsAskedForAndCancelEndsWithoutProgram)
{
    auto volumes = MakeVolumes(2);
    std::string second = TTempFolder::Read(volumes[1]);
    DeleteFileA(volumes[1].c_str());
    {
        TBoxDriver driver([](int, const TBoxDriver::TBox&) { return IDCANCEL; });
        TRun r = Extract(volumes[0], dir_ / "cancelled", false);
        EXPECT_EQ(r.mainEntry, "");
        EXPECT_EQ(driver.Boxes().size(), 1u);
        EXPECT_EQ(TTempFolder::Read(dir_ / "cancelled\\part.bin"), "v1");
    }
    {
        // The user inserts the disk after the first prompt and presses OK.
        TBoxDriver driver([&](int n, const TBoxDriver::TBox&) {
            if (n == 2)
                TTempFolder::Write(volumes[1], second);
            return IDOK;
        });
        TRun r = Extract(volumes[0], dir_ / "inserted", false);
        EXPECT_TRUE(r.success);
        EXPECT_EQ(r.mainEntry, "main.exe*");
        EXPECT_EQ(driver.Boxes().size(), 2u);
        EXPECT_EQ(TTempFolder::Read(dir_ / "inserted\\part.bin"), "v1v2");
    }
}

TEST_F(WinUnPack, HostileNamesAndLockedFilesFailTheirRecordsOnly)
{
    std::string target = dir_ / "inner\\SETUP_2";
    ASSERT_TRUE(ForceDirectories(target));
    TTempFolder::Write(target + "\\locked.txt", "old");
    HANDLE lock = CreateFileA((target + "\\locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    TTestPackage pkg;
    pkg.File("..\\escape.txt", "x")
        .File(dir_ / "absolute.txt", "x")
        .File("..\\..\\escape2.txt", "x")
        .File("locked.txt", "new")
        .File("fine.txt", "ok");
    std::string package = dir_ / "hostile.dat";
    TTempFolder::Write(package, pkg.Build());

    int before = UnPackFailedWrites();
    TBoxDriver driver([](int, const TBoxDriver::TBox&) { return IDOK; });
    TRun r = Extract(package, target, false);
    EXPECT_EQ(UnPackFailedWrites() - before, 4);
    EXPECT_EQ(TTempFolder::Read(target + "\\fine.txt"), "ok");
    EXPECT_FALSE(FileExists(dir_ / "inner\\escape.txt"));
    EXPECT_FALSE(FileExists(dir_ / "absolute.txt"));
    EXPECT_FALSE(FileExists(dir_ / "escape2.txt"));
    CloseHandle(lock);
    EXPECT_EQ(TTempFolder::Read(target + "\\locked.txt"), "old");
    // Only the first failure of the process shows its box.
    auto boxes = driver.Boxes();
    ASSERT_EQ(boxes.size(), before == 0 ? 1u : 0u);
    if (!boxes.empty()) {
        EXPECT_EQ(boxes[0].title, "Error");
        EXPECT_NE(boxes[0].text.find("escape.txt<P><P>Unable to save Extracted File!<P><P>"),
                  std::string::npos)
            << boxes[0].text;
    }
}

TEST_F(WinUnPack, CorruptedSmallPackageFailsTheChecksum)
{
    TTestPackage pkg;
    pkg.computeChecksum = true;
    pkg.File("a.txt", "content");
    std::string bytes = pkg.Build();
    bytes[1024 + 40] ^= 1;
    std::string package = dir_ / "corrupt.exe";
    TTempFolder::Write(package, bytes);
    TRun r = Extract(package, dir_ / "c", false);
    EXPECT_FALSE(r.success);
    EXPECT_FALSE(FileExists(dir_ / "c\\a.txt"));
}

} // namespace
