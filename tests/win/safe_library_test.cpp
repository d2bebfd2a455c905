#include "base/paths.h"
#include "base/safe_library.h"
#include "lang/sysinfo.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

// A library planted beside the program and in the current folder: any
// loadable image will do (an executable maps like a library).
class PlantedLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        planted_ = ProgramFolder(true) + name_;
        ASSERT_TRUE(CopyFileA((ProgramFolder(true) + "library_probe.exe").c_str(), planted_.c_str(), FALSE));
    }
    void TearDown() override { DeleteFileA(planted_.c_str()); }

    DWORD RunProbe(const std::string& arg)
    {
        const std::string exe = ProgramFolder(true) + "library_probe.exe";
        std::string cmd = "\"" + exe + "\" " + arg;
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        // Current folder = the program folder, as when a download is run from its folder.
        const std::string folder = ProgramFolder(false);
        if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                            &pi))
            return 0xFFFFFFFF;
        WaitForSingleObject(pi.hProcess, 60000);
        DWORD code = 0xFFFFFFFF;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return code;
    }

    const std::string name_ = "velmora_planted.dll";
    std::string planted_;
};

TEST_F(PlantedLibrary, IsNeverLoadedByName)
{
    // The plain name lookup would find the planted file ...
    HMODULE plain = LoadLibraryA(name_.c_str());
    EXPECT_NE(plain, nullptr);
    if (plain) FreeLibrary(plain);
    // ... the system-folder load does not, either way.
    EXPECT_EQ(LoadSystemLibrary(name_), nullptr);
    EXPECT_EQ(LoadSystemLibraryVia(name_, true), nullptr);
    EXPECT_EQ(LoadSystemLibraryVia(name_, false), nullptr);
}

TEST_F(PlantedLibrary, RestrictedProcessIgnoresIt)
{
    const DWORD code = RunProbe(name_);
    ASSERT_NE(code, 0xFFFFFFFFu);
    EXPECT_EQ(code & 4u, 0u) << "LoadSystemLibrary loaded the planted file";
    if (code & 1u) {
        EXPECT_EQ(code & 2u, 0u) << "restricted search still found the planted file";
    }
    // A system library still loads by its bare name in the restricted process.
    EXPECT_EQ(RunProbe("version.dll") & 6u, 6u);
}

TEST(SystemLibrary, LoadsFromTheSystemFolderBothWays)
{
    for (bool flag : {true, false}) {
        HMODULE h = LoadSystemLibraryVia("riched32.dll", flag);
        ASSERT_NE(h, nullptr) << flag;
        char path[MAX_PATH] = {};
        GetModuleFileNameA(h, path, MAX_PATH);
        std::string expected = SystemFolder(true) + "riched32.dll";
        CharUpperA(path);
        CharUpperA(&expected[0]);
        EXPECT_EQ(std::string(path), expected) << flag;
        FreeLibrary(h);
    }
    EXPECT_EQ(SystemLibraryPath("usp10.dll"), SystemFolder(true) + "usp10.dll");
    EXPECT_EQ(SystemLibraryPath("..\\usp10.dll"), "");
    EXPECT_EQ(LoadSystemLibrary("C:\\windows\\system32\\usp10.dll"), nullptr);
    EXPECT_EQ(LoadSystemLibrary("no_such_library_velmora.dll"), nullptr);
}

TEST(SystemLibrary, PreloadKeepsTheLibrariesLoaded)
{
    const int loaded = PreloadSystemLibraries();
    int present = 0;
    for (const char* name : PreloadedLibraries)
        if (GetModuleHandleA(name)) ++present;
    EXPECT_EQ(loaded, present);
    EXPECT_GE(loaded, 3);  // MSLS31.dll is absent on some systems
    EXPECT_NE(GetModuleHandleA("riched32.dll"), nullptr);
    EXPECT_NE(GetModuleHandleA("shell32.dll"), nullptr);
}

}  // namespace
