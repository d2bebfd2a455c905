#include "lang/runtime_folders.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

// A descriptor with the given items set (all others empty).
std::string Descriptor(const std::map<int, std::string>& items)
{
    std::string d = "|";
    for (int i = 0; i <= kRtRegistryViewMode; ++i) {
        const auto it = items.find(i);
        d += (it == items.end() ? "" : it->second) + "|";
    }
    return d;
}

// Records what the resolution asks and answers from tables.
struct TFakeSystem {
    std::map<std::string, std::string> AppPaths;                          // program -> folder
    std::map<std::string, std::string> registry;                          // path -> folder
    std::map<std::pair<std::string, unsigned>, std::string> files, dirs;  // (name, type) -> hit
    std::vector<std::string> calls;

    TRuntimeFolderSystem System()
    {
        TRuntimeFolderSystem s;
        s.AppPathFolder = [this](const std::string& name, int mode) {
            calls.push_back("app " + name + " " + std::to_string(mode));
            return AppPaths.count(name) ? AppPaths[name] : "";
        };
        s.RegistryFolder = [this](const std::string& path, int mode) {
            calls.push_back("reg " + path + " " + std::to_string(mode));
            return registry.count(path) ? registry[path] : "";
        };
        s.FindFileOnDrives = [this](const std::string& name, unsigned type) {
            calls.push_back("file " + name + " " + std::to_string(type));
            return files.count({name, type}) ? files[{name, type}] : "";
        };
        s.FindDirOnDrives = [this](const std::string& name, unsigned type) {
            calls.push_back("dir " + name + " " + std::to_string(type));
            return dirs.count({name, type}) ? dirs[{name, type}] : "";
        };
        s.BeforeSearch = [this] { calls.push_back("before"); };
        s.AfterResolution = [this] { calls.push_back("after"); };
        s.NotFound = [this](const std::string& name) { calls.push_back("notfound " + name); };
        return s;
    }
};

TEST(RuntimeFolders, DescriptorSteps)
{
    struct TCase {
        const char* What;
        std::map<int, std::string> Items;
        const char* Folder;
        std::vector<std::string> Calls;
    };
    const TCase cases[] = {
        {"empty descriptor", {}, "", {"after"}},
        {"App Paths, trailing backslash dropped",
         {{kRtUseAppPath, "1"},
          {kRtAppPathName, "tool.exe"},
          {kRtAppPathViewMode, "2"},
          {kRtUseRegistry, "1"},
          {kRtRegistryPath, "HKLM\\X"}},
         R"(C:\Tools)",
         {"app tool.exe 2", "after"}},
        {"registry after an empty App Paths answer, modes that are not numbers count 0",
         {{kRtUseAppPath, "1"},
          {kRtAppPathName, "none.exe"},
          {kRtAppPathViewMode, "x"},
          {kRtUseRegistry, "1"},
          {kRtRegistryPath, "HKLM\\Soft\\Dir"},
          {kRtRegistryViewMode, "3"}},
         R"(D:\Reg)",
         {"app none.exe 0", "reg HKLM\\Soft\\Dir 3", "after"}},
        {"flags are on only for exactly 1",
         {{kRtUseAppPath, "yes"},
          {kRtAppPathName, "tool.exe"},
          {kRtUseFixedFolder, " 1"},
          {kRtFixedFolder, "X:"}},
         "",
         {"after"}},
        {"file search: fixed drives, then network drives, the hook before each",
         {{kRtSearchFile, "1"},
          {kRtFileName, "net.dll"},
          {kRtFileOnFixed, "1"},
          {kRtFileOnRemote, "1"},
          {kRtHookBeforeFileSearch, "1"}},
         R"(\\srv\share\bin)",
         {"before", "file net.dll 3", "before", "file net.dll 4", "after"}},
        {"folder search on fixed drives finds it; no network search, no hook",
         {{kRtSearchFolder, "1"},
          {kRtFolderName, "Common"},
          {kRtFolderOnFixed, "1"},
          {kRtFolderOnRemote, "1"},
          {kRtHookBeforeFileSearch, "1"}},
         R"(E:\Apps\Common)",
         {"dir Common 3", "after"}},
        {"fixed folder last",
         {{kRtSearchFolder, "1"},
          {kRtFolderName, "Nowhere"},
          {kRtFolderOnRemote, "1"},
          {kRtUseFixedFolder, "1"},
          {kRtFixedFolder, R"(F:\Fixed)"}},
         R"(F:\Fixed)",
         {"dir Nowhere 4", "after"}},
        {"not found: the message names the App Paths program first",
         {{kRtUseAppPath, "1"},
          {kRtAppPathName, "none.exe"},
          {kRtSearchFile, "1"},
          {kRtFileName, "x.dll"},
          {kRtFileOnFixed, "1"},
          {kRtShowNotFound, "1"}},
         "",
         {"app none.exe 0", "file x.dll 3", "notfound none.exe", "after"}},
        {"not found: else the file name",
         {{kRtSearchFile, "1"}, {kRtFileName, "x.dll"}, {kRtShowNotFound, "1"}},
         "",
         {"notfound x.dll", "after"}},
        {"not found without the flag: no message",
         {{kRtSearchFile, "1"}, {kRtFileName, "x.dll"}},
         "",
         {"after"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TFakeSystem fake;
        fake.AppPaths = {{"tool.exe", "C:\\Tools\\"}};
        fake.registry = {{"HKLM\\Soft\\Dir", R"(D:\Reg)"}};
        fake.files = {{{"net.dll", kDriveRemote}, R"(\\srv\share\bin\net.dll)"}};
        fake.dirs = {{{"Common", kDriveFixed}, "E:\\Apps\\Common\\"}};
        EXPECT_EQ(ResolveRuntimeDescriptor(Descriptor(c.Items), fake.System()), c.Folder);
        EXPECT_EQ(fake.calls, c.Calls);
    }
}

TEST(RuntimeFolders, EachSlotIsResolvedOnce)
{
    TFakeSystem fake;
    fake.registry = {{"HKCU\\A", R"(C:\A)"}};
    TRuntimeFolders folders;
    folders.SetDescriptor(
        5, Descriptor({{kRtUseRegistry, "1"}, {kRtRegistryPath, "HKCU\\A"}, {kRtShowNotFound, "1"}}));
    folders.SetDescriptor(6,
                          Descriptor({{kRtSearchFile, "1"}, {kRtFileName, "m.dll"}, {kRtShowNotFound, "1"}}));

    // An empty descriptor: "", and the empty result is kept.
    EXPECT_EQ(folders.Folder(3, fake.System()), "");
    EXPECT_EQ(folders.Folder(3, fake.System()), "");
    EXPECT_EQ(fake.calls, std::vector<std::string>{"after"});

    fake.calls.clear();
    EXPECT_EQ(folders.Folder(5, fake.System()), R"(C:\A)");
    EXPECT_EQ(folders.Folder(5, fake.System()), R"(C:\A)");
    // The user hears of a missing folder once.
    EXPECT_EQ(folders.Folder(6, fake.System()), "");
    EXPECT_EQ(folders.Folder(6, fake.System()), "");
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"reg HKCU\\A 0", "after", "notfound m.dll", "after"}));

    fake.calls.clear();
    for (int n : {0, 9, -1}) EXPECT_EQ(folders.Folder(n, fake.System()), "");
    EXPECT_TRUE(fake.calls.empty());

    // A new descriptor is resolved anew.
    folders.SetDescriptor(5, Descriptor({{kRtUseFixedFolder, "1"}, {kRtFixedFolder, "Z:"}}));
    EXPECT_EQ(folders.Folder(5, fake.System()), "Z:");
}

TEST(RuntimeFolders, ViewModes)
{
    const struct {
        const char* text;
        int mode;
    } modes[] = {{"0", 0}, {"1", 1}, {"2", 2}, {"3", 3}, {"", 0}, {"x", 0}, {"4", 0}, {"-1", 0}, {" 2", 2}};
    for (const auto& m : modes) EXPECT_EQ(RegistryViewMode(m.text), m.mode) << m.text;

    for (bool program64 : {false, true}) {
        EXPECT_EQ(FirstReadIs64(0, program64), program64);
        EXPECT_FALSE(FirstReadIs64(1, program64));
        EXPECT_TRUE(FirstReadIs64(2, program64));
        EXPECT_FALSE(FirstReadIs64(3, program64));
    }
}

// A registry of (key, value name, 64-bit view) -> data, logging the reads.
struct TFakeRegistry {
    std::map<std::tuple<std::string, std::string, bool>, std::string> Data;
    std::vector<std::string> Reads;
    TRegistryReader Reader()
    {
        return [this](const std::string& key, const std::string& value, const std::string& def, bool view64) {
            Reads.push_back(key + "|" + value + "|" + (view64 ? "64" : "n"));
            const auto it = Data.find({key, value, view64});
            return it == Data.end() ? def : it->second;
        };
    }
};

TEST(RuntimeFolders, AppPathFolderInEachView)
{
    const std::string key =
        R"(HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Paths\tool.exe)";
    struct {
        bool in32, in64;
        int mode;
        bool program64;
        const char* folder;
    } const cases[] = {
        {true, true, 1, false, R"(C:\Normal)"}, {true, true, 2, false, R"(C:\Wide)"},
        {true, true, 3, false, R"(C:\Normal)"}, {true, true, 0, false, R"(C:\Normal)"},
        {true, true, 0, true, R"(C:\Wide)"},    {false, true, 1, false, ""},
        {false, true, 3, false, R"(C:\Wide)"},  {true, false, 2, false, ""},
        {false, false, 3, false, ""},
    };
    for (const auto& c : cases) {
        TFakeRegistry reg;
        if (c.in32) reg.Data[{key, "", false}] = R"(C:\Normal\tool.exe)";
        if (c.in64) reg.Data[{key, "", true}] = R"(C:\Wide\tool.exe)";
        EXPECT_EQ(AppPathFolderFrom("tool.exe", c.mode, reg.Reader(), c.program64), c.folder)
            << c.mode << " " << c.in32 << c.in64;
    }
}

TEST(RuntimeFolders, RegistryFolderReads)
{
    const std::set<std::string> folders = {R"(C:\App)", R"(C:\Data)"};
    const std::set<std::string> files = {R"(C:\App\app.exe)", R"(C:\Gone\x.exe)"};
    const TRegistryFolderFiles fs{[&](const std::string& p) { return folders.count(p) > 0; },
                                  [&](const std::string& p) { return files.count(p) > 0; }};
    struct {
        const char* what;
        std::map<std::tuple<std::string, std::string, bool>, std::string> data;
        const char* path;
        int mode;
        const char* folder;
        std::vector<std::string> reads;
    } const cases[] = {
        {"default value of the key",
         {{{"HKCU\\K", "", false}, R"(C:\Data)"}},
         "HKCU\\K",
         1,
         R"(C:\Data)",
         {"HKCU\\K||n"}},
        {"a missing key whose parent holds the value named by the last component",
         {{{"HKCU\\K", "Dir", false}, R"(C:\Data)"}},
         "HKCU\\K\\Dir",
         1,
         R"(C:\Data)",
         {"HKCU\\K\\Dir||n", "HKCU\\K|Dir|n"}},
        {"a value naming a file gives its folder",
         {{{"HKCU\\K", "", false}, R"(C:\App\app.exe)"}},
         "HKCU\\K",
         1,
         R"(C:\App)",
         {"HKCU\\K||n"}},
        {"a file whose folder is gone stays as read",
         {{{"HKCU\\K", "", false}, R"(C:\Gone\x.exe)"}},
         "HKCU\\K",
         1,
         R"(C:\Gone\x.exe)",
         {"HKCU\\K||n"}},
        {"mode 3: the 64-bit pass starts again from the whole path",
         {{{"HKLM\\K", "Dir", true}, R"(C:\Data)"}},
         "HKLM\\K\\Dir",
         3,
         R"(C:\Data)",
         {"HKLM\\K\\Dir||n", "HKLM\\K|Dir|n", "HKLM\\K\\Dir||64", "HKLM\\K|Dir|64"}},
        {"mode 2 reads the 64-bit view only",
         {{{"HKLM\\K", "", false}, R"(C:\Data)"}},
         "HKLM\\K",
         2,
         "",
         {"HKLM\\K||64", "HKLM|K|64"}},
        {"a root without key", {}, "HKLM", 1, "", {"HKLM||n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TFakeRegistry reg;
        reg.Data = c.data;
        EXPECT_EQ(RegistryFolderFrom(c.path, c.mode, reg.Reader(), false, fs), c.folder);
        EXPECT_EQ(reg.Reads, c.reads);
    }
}

TEST(RuntimeFolders, NotFoundTextAndAction)
{
    EXPECT_EQ(RuntimeFolderNotFoundText("tool.exe"), "RunTimeDir (tool.exe)<P><P>Not Found!");

    std::vector<std::string> shown;
    SetRuntimeFolderNotFoundAction([&](const std::string& text) { shown.push_back(text); });
    TRuntimeFolderSystem system;
    FillRuntimeFolderHostParts(system);
    system.FindFileOnDrives = [](const std::string&, unsigned) { return std::string(); };
    EXPECT_EQ(ResolveRuntimeDescriptor(Descriptor({{kRtSearchFile, "1"},
                                                   {kRtFileName, "lib.dll"},
                                                   {kRtFileOnFixed, "1"},
                                                   {kRtShowNotFound, "1"}}),
                                       system),
              "");
    EXPECT_EQ(shown, std::vector<std::string>{"RunTimeDir (lib.dll)<P><P>Not Found!"});
    SetRuntimeFolderNotFoundAction(nullptr);
}

}  // namespace
