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

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const char* const kSpanDiskKey = "Software\\Tarnwick\\Velmora\\SpanDisk";

// Answers the launcher's own message boxes ("VMsgBox") of this process from
// a second thread, like a user: reads the box and clicks one of its buttons.
class TBoxDriver {
public:
    struct TBox {
        std::string Title, Text;
        std::vector<std::string> Buttons;  // left to right
        bool RightToLeft = false;
    };
    // Result of the button to press for box number n (from 1): IDOK, IDCANCEL.
    using TDecide = std::function<int(int n, const TBox& box)>;

    explicit TBoxDriver(TDecide decide) : decide_(std::move(decide)), thread_([this] { Loop(); }) {}
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
        if (pid == GetCurrentProcessId() && IsWindowVisible(wnd) && std::string(cls) == "VMsgBox") {
            *reinterpret_cast<HWND*>(param) = wnd;
            return FALSE;
        }
        return TRUE;
    }

    static std::string TextOf(HWND wnd)
    {
        char text[4096] = {};
        GetWindowTextA(wnd, text, sizeof text);
        return text;
    }

    // Reads the box; its buttons come back with their result values.
    static TBox Read(HWND box, std::vector<std::pair<HWND, LONG_PTR>>& buttons)
    {
        TBox b;
        b.Title = TextOf(box);
        std::vector<std::pair<int, HWND>> byX;
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            char cls[64] = {};
            GetClassNameA(c, cls, sizeof cls);
            if (lstrcmpiA(cls, "Button") == 0) {
                RECT r;
                GetWindowRect(c, &r);
                byX.push_back({r.left, c});
            } else if (lstrcmpiA(cls, "RICHEDIT") == 0 || lstrcmpiA(cls, "RichEdit20A") == 0) {
                b.Text = TextOf(c);
                b.RightToLeft = (GetWindowLongPtrA(c, GWL_EXSTYLE) & WS_EX_RTLREADING) != 0;
            }
        }
        std::sort(byX.begin(), byX.end());
        for (const auto& [x, button] : byX) {
            b.Buttons.push_back(TextOf(button));
            buttons.push_back({button, GetWindowLongPtrA(button, GWLP_USERDATA)});
        }
        return b;
    }

    void Loop()
    {
        while (!stop_) {
            HWND box = nullptr;
            EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
            if (!box) {
                Sleep(20);
                continue;
            }
            Sleep(50);  // let the box finish laying out its text and buttons
            std::vector<std::pair<HWND, LONG_PTR>> buttons;
            TBox b = Read(box, buttons);
            int n;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                boxes_.push_back(b);
                n = static_cast<int>(boxes_.size());
            }
            const int want = decide_(n, b);
            bool pressed = false;
            for (const auto& [button, result] : buttons) {
                if (result == want) {
                    PostMessageA(button, BM_CLICK, 0, 0);
                    pressed = true;
                }
            }
            if (!pressed) PostMessageA(box, WM_CLOSE, 0, 0);
            // One answer per box: wait until it is gone.
            for (int i = 0; i < 1000 && IsWindow(box) && !stop_; ++i) Sleep(10);
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
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, kSpanDiskKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExA(key, "ForcePrompt", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(strlen(value) + 1));
    RegCloseKey(key);
}

// What the setup flow passes: true only for exactly "1".
bool ForcePromptSetting()
{
    return ReadRegistryString("HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora\\SpanDisk", "ForcePrompt", "0",
                              false) == "1";
}

struct TRun {
    bool Success = false;
    std::string MainEntry;
    int Steps = 0;
};

// The setup flow's prompt texts: "s8", "Attention" and the button list of
// the language block, here a translated one.
const char* const kDiskPrompt = "Please insert <B>DISK #<DISK_NUM></B> and press OK to continue";
const char* const kButtons = "|&Weiter|&Abbrechen|&Ja|&Nein|";

TRun Extract(const std::string& package, const std::string& target, bool forcePrompt,
             const std::string& agent = "", int charset = 0)
{
    TRun r;
    UnPack(
        package, target, agent, r.Success,
        [&](int kind, int, int, int, int, const std::string&) { r.Steps += kind == 1; }, kDiskPrompt,
        "Achtung", kButtons, charset, forcePrompt, r.MainEntry);
    return r;
}

std::string Prompt(int disk)
{
    return "Please insert DISK #" + std::to_string(disk) + " and press OK to continue";
}

class WinUnPack : public ::testing::Test {
protected:
    // A package over `count` volumes: volume 1 holds main.exe and part one
    // of part.bin, every later volume the next part.
    static std::vector<std::string> MakeVolumes(const TTempFolder& dir, int count)
    {
        std::vector<std::string> names;
        for (int v = 1; v <= count; ++v) {
            TTestPackage pkg = TTestPackage::SplitVolume(v, count, TTestPackage::Stored);
            std::string file = "Disk.exe";
            if (v > 1) {  // piecewise: "..." + std::to_string(v) draws a false -Wrestrict from GCC 12
                file += ".00";
                file += std::to_string(v);
            }
            std::string name = dir / file;
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
    EXPECT_TRUE(r.Success);
    EXPECT_EQ(r.MainEntry, "setup.exe*/q");
    EXPECT_EQ(TTempFolder::Read(dir_ / "SETUP_1\\setup.exe"), "program");
    EXPECT_EQ(TTempFolder::Read(dir_ / "SETUP_1\\sub\\lib.dll"), std::string(200000, 'L') + "tail");
    EXPECT_EQ(FileDosTime(dir_ / "SETUP_1\\setup.exe"), stamp);
    EXPECT_EQ(FileDosTime(dir_ / "SETUP_1\\sub\\lib.dll"), stamp);
    std::string agent = TTempFolder::Read(dir_ / "SETUP_1\\Agent.exe");
    ASSERT_EQ(agent.size(), pkg.Image().size() + pkg.TextBlocks().size() + 74);
    EXPECT_EQ(agent[agent.size() - 74 + 69], 1);
    EXPECT_EQ(TTestPackage::GetU32(agent, 252), 0u);
    EXPECT_EQ(r.Steps, 2);
}

TEST_F(WinUnPack, ForcePromptFromTheRegistryAsksForEveryVolume)
{
    const struct {
        int volumes;
        const char* setting;
        int charset;
        int prompts;
    } cases[] = {
        {2, "0", 0, 0},   {2, "1", 0, 1}, {3, "0", 0, 0}, {3, "yes", 0, 0},  // only "1" forces
        {3, "1", 177, 2},  // a right-to-left language reads the prompt from the right
    };
    for (const auto& c : cases) {
        const std::string name = std::to_string(c.volumes) + c.setting + std::to_string(c.charset);
        SCOPED_TRACE(name);
        TTempFolder dir;
        auto volumes = MakeVolumes(dir, c.volumes);
        SetForcePrompt(c.setting);
        TBoxDriver driver([](int, const TBoxDriver::TBox&) { return IDOK; });
        TRun r = Extract(volumes[0], dir / "out", ForcePromptSetting(), "", c.charset);
        EXPECT_TRUE(r.Success);
        EXPECT_EQ(r.MainEntry, "main.exe*");
        EXPECT_EQ(TTempFolder::Read(dir / "out\\part.bin"), c.volumes == 2 ? "v1v2" : "v1v2v3");
        auto boxes = driver.Boxes();
        ASSERT_EQ(boxes.size(), static_cast<size_t>(c.prompts));
        for (int i = 0; i < c.prompts; ++i) {
            EXPECT_EQ(boxes[i].Title, "Achtung");
            EXPECT_EQ(boxes[i].Text, Prompt(i + 2));
            EXPECT_EQ(boxes[i].Buttons, (std::vector<std::string>{"&Weiter", "&Abbrechen"}));
            EXPECT_EQ(boxes[i].RightToLeft, c.charset == 177);
        }
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, kSpanDiskKey);
}

TEST_F(WinUnPack, MissingVolumeIsAskedForAndCancelEndsWithoutProgram)
{
    auto volumes = MakeVolumes(dir_, 3);
    std::string third = TTempFolder::Read(volumes[2]);
    DeleteFileA(volumes[2].c_str());
    {
        TBoxDriver driver([](int, const TBoxDriver::TBox&) { return IDCANCEL; });
        TRun r = Extract(volumes[0], dir_ / "cancelled", false);
        EXPECT_EQ(r.MainEntry, "");
        auto boxes = driver.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Text, Prompt(3));
        EXPECT_EQ(TTempFolder::Read(dir_ / "cancelled\\part.bin"), "v1v2");
    }
    {
        // OK without the disk asks again; the user inserts it and presses OK.
        TBoxDriver driver([&](int n, const TBoxDriver::TBox&) {
            if (n == 2) TTempFolder::Write(volumes[2], third);
            return IDOK;
        });
        TRun r = Extract(volumes[0], dir_ / "inserted", false);
        EXPECT_TRUE(r.Success);
        EXPECT_EQ(r.MainEntry, "main.exe*");
        auto boxes = driver.Boxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].Text, Prompt(3));
        EXPECT_EQ(boxes[1].Text, Prompt(3));
        EXPECT_EQ(TTempFolder::Read(dir_ / "inserted\\part.bin"), "v1v2v3");
    }
}

// Each extraction counts its failed writes and shows the box for the first.
TEST_F(WinUnPack, FailedWritesAndFoldersShowTheErrorBox)
{
    std::string target = dir_ / "inner\\SETUP_2";
    ASSERT_TRUE(ForceDirectories(target));
    TTempFolder::Write(target + "\\locked.txt", "old");
    HANDLE lock =
        CreateFileA((target + "\\locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    TTestPackage pkg;
    pkg.File("..\\escape.txt", "x")
        .File(dir_ / "absolute.txt", "x")
        .File("..\\..\\escape2.txt", "x")
        .File("locked.txt", "new")
        .File("fine.txt", "ok");
    std::string package = dir_ / "hostile.dat";
    TTempFolder::Write(package, pkg.Build());

    {
        TBoxDriver driver([](int, const TBoxDriver::TBox&) { return IDOK; });
        TRun r = Extract(package, target, false);
        EXPECT_EQ(UnPackFailedWrites(), 4);
        EXPECT_EQ(TTempFolder::Read(target + "\\fine.txt"), "ok");
        EXPECT_FALSE(FileExists(dir_ / "inner\\escape.txt"));
        EXPECT_FALSE(FileExists(dir_ / "absolute.txt"));
        EXPECT_FALSE(FileExists(dir_ / "escape2.txt"));
        CloseHandle(lock);
        EXPECT_EQ(TTempFolder::Read(target + "\\locked.txt"), "old");
        // Only the first failure of the extraction shows its box: the error
        // caption in bold above the path, the reason and the sizes.
        auto boxes = driver.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Title, "Error");
        EXPECT_EQ(boxes[0].Buttons, std::vector<std::string>{"&OK"});
        const std::string& text = boxes[0].Text;
        EXPECT_EQ(text.rfind("ERROR\r\n\r\n", 0), 0u) << text;
        EXPECT_NE(text.find("escape.txt\r\n\r\nUnable to save Extracted File!\r\n\r\n"), std::string::npos)
            << text;
        EXPECT_NE(text.find("  Data Size: \t1 Bytes\r\n"), std::string::npos) << text;
        EXPECT_EQ(text.find("<P>"), std::string::npos) << text;
    }
    {
        // A target below a file cannot be created: its box comes, then the
        // box of the first write that fails after it.
        TTempFolder::Write(dir_ / "plain", "a file");
        TBoxDriver driver([](int, const TBoxDriver::TBox&) { return IDOK; });
        TRun r = Extract(package, dir_ / "plain\\SETUP_3", false);
        EXPECT_EQ(UnPackFailedWrites(), 5);
        auto boxes = driver.Boxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_NE(boxes[1].Text.find("Unable to save Extracted File!"), std::string::npos) << boxes[1].Text;
        EXPECT_EQ(boxes[0].Title, "Error");
        EXPECT_EQ(boxes[0].Text.rfind("ERROR\r\n\r\n" + dir_ / "plain\\SETUP_3" +
                                          "\r\n\r\nUnable to create Directory!\r\n\r\n",
                                      0),
                  0u)
            << boxes[0].Text;
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
    EXPECT_FALSE(r.Success);
    EXPECT_FALSE(FileExists(dir_ / "c\\a.txt"));
}

}  // namespace
