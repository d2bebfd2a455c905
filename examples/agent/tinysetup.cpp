// The setup program of the demo's update package. The agent runs it from the
// folder it extracted the update into, with /OriginalInfoFile="<the agent's
// .INFO file>" and /TH_ID=<tag>: it copies the files beside it (all but
// itself) into the folder of that .INFO file, the installed program's
// folder, and then removes the completion atom, which tells the agent that
// the update went through.
#include <windows.h>

#include <string>

namespace {

std::string SwitchValue(const std::string& cmd, const std::string& name)
{
    size_t at = cmd.find(name);
    if (at == std::string::npos) return "";
    at += name.size();
    if (at < cmd.size() && cmd[at] == '"') {
        const size_t end = cmd.find('"', at + 1);
        return cmd.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    }
    return cmd.substr(at, cmd.find(' ', at) - at);
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const std::string cmd = GetCommandLineA();
    const std::string target = FolderOf(SwitchValue(cmd, "/OriginalInfoFile="));
    if (target.empty()) return 2;
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string here = FolderOf(self);
    const std::string selfName = std::string(self).substr(here.size());

    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((here + "*").c_str(), &fd);
    bool ok = find != INVALID_HANDLE_VALUE;
    if (ok) {
        do {
            const std::string name = fd.cFileName;
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
                lstrcmpiA(name.c_str(), selfName.c_str()) == 0)
                continue;
            ok = CopyFileA((here + name).c_str(), (target + name).c_str(), FALSE) && ok;
        } while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    if (!ok) return 1;
    const std::string atom = "AutoUpdateAtomTokenByVelmora" + SwitchValue(cmd, "/TH_ID=");
    if (ATOM a = GlobalFindAtomA(atom.c_str())) GlobalDeleteAtom(a);
    return 0;
}
