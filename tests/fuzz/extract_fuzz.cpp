// The whole extraction over arbitrary bytes: UnPack with a host that
// answers no prompts (a missing volume counts as cancelled), into a fresh
// folder inside a private root. A finding is anything written outside the
// target folder, a change to the volumes, or a main entry whose program is
// not a file that the extraction wrote inside the target folder.
//
// Input: the bytes of volume 1, optionally followed by kVolumeMark and the
// bytes of volume 2, optionally followed by kAgentMark and the name of the
// derived agent file (default "agent.exe").
//
// Under the root (one per process):
//   pkg.exe, pkg.exe.002   the volumes
//   a/b/SETUP_1/           the target: escapes by ".." land in a/b, a or
//                          the root itself, where the listing sees them
// Names with a root or a drive are refused before any write; a write there
// would not be seen here (the unit tests cover those names).
//
// Seeds in tests/fuzz/corpus/extract_fuzz/ were made with TTestPackage
// (tests/native/test_package.h), image size 300, checksum 1234: a plain
// package with a marked program, BlockCount 3 and a stored package end; two
// volumes joined by kVolumeMark; a package with hostile names and agent name.
#include "base/debug_stream.h"
#include "package/unpack.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>

namespace {

namespace fs = std::filesystem;

const std::string kVolumeMark = "\n--volume 2--\n";
const std::string kAgentMark = "\n--agent--\n";

// The private root; a plain array, so that the clean-up at exit can still
// read it after the program's objects are gone. In memory (/dev/shm) where
// there is one: every execution writes and lists files.
char g_root[] = "/dev/shm/vel_extract_fuzz_XXXXXX";

std::string Root()
{
    static const bool made = [] {
        if (access("/dev/shm", W_OK) != 0) std::strcpy(g_root, "/tmp/vel_extract_fuzz_XXXXXX");
        if (!mkdtemp(g_root)) std::abort();
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(g_root, ec);
        });
        return true;
    }();
    (void)made;
    return g_root;
}

void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

[[noreturn]] void Finding(const std::string& what)
{
    std::fprintf(stderr, "extract_fuzz: %s\n", what.c_str());
    std::abort();
}

// The program the setup flow would start, as a path relative to the target
// folder in this system's form.
std::string NativeProgram(const std::string& mainEntry)
{
    std::string program = MainEntryProgram(mainEntry);
    std::replace(program.begin(), program.end(), '\\', '/');
    std::string collapsed;
    for (char c : program)
        if (c != '/' || collapsed.empty() || collapsed.back() != '/') collapsed += c;
    return collapsed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    std::string agent = "agent.exe";
    if (size_t at = input.find(kAgentMark); at != std::string::npos) {
        agent = input.substr(at + kAgentMark.size());
        input.resize(at);
    }
    std::string second;
    bool hasSecond = false;
    if (size_t at = input.find(kVolumeMark); at != std::string::npos) {
        second = input.substr(at + kVolumeMark.size());
        input.resize(at);
        hasSecond = true;
    }

    const std::string root = Root();
    const std::string first = root + "/pkg.exe";
    const std::string secondName = root + "/pkg.exe.002";
    const std::string target = root + "/a/b/SETUP_1";
    WriteFile(first, input);
    if (hasSecond) WriteFile(secondName, second);
    fs::create_directories(target);

    TUnPackParams params;
    params.PackageFile = first;
    params.TargetDir = target;
    params.AgentName = agent;
    params.DiskPrompt = "<DISK_NUM>";
    TUnPackHost host;  // no pumping, no boxes; a disk prompt is cancelled
    bool success = false;
    std::string mainEntry;
    SetDebugSink([](const std::string&) {});
    UnPack(params, success, mainEntry, host);
    SetDebugSink(nullptr);

    std::error_code ec;
    const fs::path targetPath(target);
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path p = it->path();
        const std::string s = p.string();
        if (s == first || (hasSecond && s == secondName) || s == root + "/a" || s == root + "/a/b" ||
            s == target || s.rfind(target + "/", 0) == 0)
            continue;
        Finding("written outside the target folder: " + s);
    }
    if (ReadFile(first) != input || (hasSecond && ReadFile(secondName) != second))
        Finding("a volume was changed");

    // A failed later volume keeps the main entry (nothing runs then), but it
    // must still name an extracted program.
    if (!mainEntry.empty()) {
        // The setup flow would start this; it must be a file written here
        // (trailing blanks of the written name are dropped on Windows).
        const std::string program = NativeProgram(mainEntry);
        bool found = false;
        for (auto it = fs::recursive_directory_iterator(target, ec); it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            if (!it->is_regular_file(ec)) continue;
            std::string rel = fs::relative(it->path(), targetPath, ec).generic_string();
            while (!rel.empty() && rel.back() == ' ') rel.pop_back();
            found = found || rel == program;
        }
        if (!found) Finding("main entry without its extracted program: " + mainEntry);
    }

    fs::remove_all(root + "/a", ec);
    std::remove(first.c_str());
    if (hasSecond) std::remove(secondName.c_str());
    return 0;
}
