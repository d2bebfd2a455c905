// The launcher image after its NT headers were moved: it must still load and
// run, and keep the DOS-header words free for the package end.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>

namespace {

std::string ProgramFolder()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    return p.substr(0, p.find_last_of('\\') + 1);
}

TEST(LauncherImage, HeadersSitAt256AndLeaveThePackEndWordsFree)
{
    std::ifstream f(ProgramFolder() + "launcher.exe", std::ios::binary);
    ASSERT_TRUE(f) << "launcher.exe not beside the tests";
    char head[512] = {};
    f.read(head, sizeof head);
    EXPECT_EQ(std::string(head, 2), "MZ");
    EXPECT_EQ(std::string(head + 256, 4), std::string("PE\0\0", 4));
    for (int i = 248; i < 256; ++i) EXPECT_EQ(head[i], 0) << "byte " << i;
}

TEST(LauncherImage, MovedImageStartsAndExits)
{
    std::string cmd = "\"";  // piecewise: "\"" + ... draws a false -Wrestrict from GCC 12 (i686)
    cmd += ProgramFolder() + "launcher.exe\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        << GetLastError();
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 1234;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_NE(code, STILL_ACTIVE);
    TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

}  // namespace
