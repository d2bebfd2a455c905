// The marked program of the sample package: it reports what it received
// (its command line, its folder and the files beside it) into
// hello-report.txt beside the launcher that started it (taken from
// /OriginExe=), and exits with the code given by /exit=N.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string SwitchValue(const std::string& cmd, const std::string& name)
{
    size_t at = cmd.find(name);
    if (at == std::string::npos) return "";
    at += name.size();
    if (at < cmd.size() && cmd[at] == '"') {
        size_t end = cmd.find('"', at + 1);
        return cmd.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    }
    return cmd.substr(at, cmd.find(' ', at) - at);
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

}  // namespace

int main()
{
    const std::string cmd = GetCommandLineA();
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);

    std::string report = "Hello from the sample setup program.\r\n";
    report += "command line: " + cmd + "\r\n";
    report += "running from: " + FolderOf(self) + "\r\n";
    report += "current folder: " + std::string(cwd) + "\r\n";
    report += "files beside me:\r\n";
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((FolderOf(self) + "*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                report +=
                    "  " + std::string(fd.cFileName) + " (" + std::to_string(fd.nFileSizeLow) + " bytes)\r\n";
        } while (FindNextFileA(find, &fd));
        FindClose(find);
    }

    std::fputs(report.c_str(), stdout);
    const std::string origin = SwitchValue(cmd, "/OriginExe=");
    if (!origin.empty()) {
        if (FILE* f = std::fopen((FolderOf(origin) + "hello-report.txt").c_str(), "wb")) {
            std::fputs(report.c_str(), f);
            std::fclose(f);
        }
    }
    return std::atoi(SwitchValue(cmd, "/exit=").c_str());
}
