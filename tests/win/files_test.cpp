// File utilities on real files and folders: attributes, time stamps,
// searches with the abort flag, tree deletion.
#include "base/system_error.h"
#include "package/files.h"

#include "../native/temp_folder.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

void MakeFile(const std::string& path, const std::string& data, DWORD attributes = 0)
{
    TTempFolder::Write(path, data);
    if (attributes) {
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
    }
}

uint32_t DosTimeOf(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    FILETIME utc{}, local{};
    GetFileTime(h, nullptr, nullptr, &utc);
    CloseHandle(h);
    FileTimeToLocalFileTime(&utc, &local);
    WORD date = 0, time = 0;
    FileTimeToDosDateTime(&local, &date, &time);
    return (uint32_t{date} << 16) | time;
}

TEST(WinFiles, SaveFileStampsDosTimeAndAppendKeepsContent)
{
    TTempFolder dir;
    const uint32_t stamp = (uint32_t{(2011 - 1980) << 9 | 7 << 5 | 14} << 16) | (13 << 11 | 45 << 5 | 30 / 2);
    std::string file = dir / "stamped.txt";
    ASSERT_TRUE(SaveFile(file, "one", stamp, false));
    EXPECT_EQ(DosTimeOf(file), stamp);
    ASSERT_TRUE(SaveFile(file, "two", stamp + 1, true));
    EXPECT_EQ(TTempFolder::Read(file), "onetwo");
    EXPECT_EQ(DosTimeOf(file), stamp + 1);
    ASSERT_TRUE(AppendTextToFile(file, "three", stamp));
    EXPECT_EQ(DosTimeOf(file), stamp);
    EXPECT_EQ(FileSizeByName(file), 11);
}

TEST(WinFiles, ReadsShareWithWritersAndLockedFilesFail)
{
    TTempFolder dir;
    std::string file = dir / "shared.txt";
    MakeFile(file, "locked", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ReadFileToString(file), "locked");
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);

    // Someone else writing the file does not keep us from reading it.
    HANDLE writer = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadFileToString(file, 3, 1), "ock");
    EXPECT_TRUE(SaveFile(file, "+", 0, true));
    CloseHandle(writer);

    // A file held without sharing can be neither read nor written.
    HANDLE owner = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(owner, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadFileToString(file), "");
    EXPECT_FALSE(SaveFile(file, "x", 0, true));
    EXPECT_FALSE(SaveFile(file, "x", 0, false));
    EXPECT_FALSE(AppendTextToFile(file, "x", 0));
    EXPECT_FALSE(LastErrorText().empty());
    CloseHandle(owner);
    EXPECT_EQ(TTempFolder::Read(file), "locked+");
}

TEST(WinFiles, DeleteFilesByMaskHonoursClearAttributes)
{
    TTempFolder dir;
    MakeFile(dir / "a.tmp", "a");
    MakeFile(dir / "ro.tmp", "r", FILE_ATTRIBUTE_READONLY);
    MakeFile(dir / "hid.tmp", "h", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    MakeFile(dir / "keep.txt", "k");

    EXPECT_TRUE(DeleteFilesByMask(dir / "*.tmp", false));
    EXPECT_FALSE(FileExists(dir / "a.tmp"));
    EXPECT_FALSE(FileExists(dir / "hid.tmp"));
    EXPECT_TRUE(FileExists(dir / "ro.tmp"));  // read-only stays without clearing

    EXPECT_TRUE(DeleteFilesByMask(dir / "*.tmp", true));
    EXPECT_FALSE(FileExists(dir / "ro.tmp"));
    EXPECT_TRUE(FileExists(dir / "keep.txt"));
    EXPECT_FALSE(DeleteFilesByMask(dir / "*.none", true));
}

TEST(WinFiles, DeleteTreeRemovesNestedReadOnlyAndHiddenContent)
{
    TTempFolder dir;
    std::string root = dir / "tree";
    ASSERT_TRUE(ForceDirectories(root + "\\sub1\\deeper"));
    ASSERT_TRUE(ForceDirectories(root + "\\sub2"));
    MakeFile(root + "\\top.txt", "t");
    MakeFile(root + "\\sub1\\ro.txt", "r", FILE_ATTRIBUTE_READONLY);
    MakeFile(root + "\\sub1\\deeper\\hidden.txt", "h", FILE_ATTRIBUTE_HIDDEN);
    MakeFile(root + "\\sub2\\plain.txt", "p");

    int folders = 0;
    EXPECT_TRUE(DeleteTree(root, true, [&] { ++folders; }));
    EXPECT_FALSE(DirectoryExists(root));
    EXPECT_EQ(folders, 3);
    EXPECT_TRUE(DirectoryExists(dir.Path()));

    EXPECT_FALSE(DeleteTree(root, true));  // no longer there
}

TEST(WinFiles, DeleteTreeWithoutClearingLeavesReadOnlyFileAndFolder)
{
    TTempFolder dir;
    std::string root = dir / "tree";
    ASSERT_TRUE(ForceDirectories(root + "\\sub"));
    MakeFile(root + "\\sub\\ro.txt", "r", FILE_ATTRIBUTE_READONLY);
    MakeFile(root + "\\x.txt", "x");
    EXPECT_FALSE(DeleteTree(root, false));
    EXPECT_TRUE(FileExists(root + "\\sub\\ro.txt"));
    EXPECT_FALSE(FileExists(root + "\\x.txt"));
}

TEST(WinFiles, FindInTreeDepthFirst)
{
    TTempFolder dir;
    ASSERT_TRUE(ForceDirectories(dir / "a\\b\\target"));
    ASSERT_TRUE(ForceDirectories(dir / "c"));
    MakeFile(dir / "a\\b\\needle.dat", "n", FILE_ATTRIBUTE_HIDDEN);
    MakeFile(dir / "top.dat", "t");

    EXPECT_EQ(FindFileInTree(dir.Path(), "top.dat"), dir / "top.dat");
    EXPECT_EQ(FindFileInTree(dir.Path(), "needle.dat"), dir / "a\\b\\needle.dat");
    EXPECT_EQ(FindFileInTree(dir.Path(), "absent.dat"), "");
    EXPECT_EQ(FindDirInTree(dir.Path(), "target"), dir / "a\\b\\target");
    EXPECT_EQ(FindDirInTree(dir / "a\\b\\target", "target"), dir / "a\\b\\target");
    EXPECT_EQ(FindDirInTree(dir.Path(), "b\\target"), dir / "a\\b\\target");
    EXPECT_EQ(FindDirInTree(dir.Path(), "nowhere"), "");
}

LRESULT CALLBACK AbortingProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_APP) {
        SetSearchAbort(true);
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

TEST(WinFiles, DriveSearchesStopOnAbortFlagSetByAMessage)
{
    TTempFolder dir;
    MakeFile(dir / "vel-unique-needle.bin", "n");
    std::string absDir = dir.Path();
    EXPECT_EQ(FindDirOnDrives(absDir, DRIVE_FIXED), absDir);
    EXPECT_EQ(FindDirOnDrives(absDir, DRIVE_CDROM), "");

    WNDCLASSA wc{};
    wc.lpfnWndProc = AbortingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VelFilesAbortTest";
    RegisterClassA(&wc);
    HWND wnd =
        CreateWindowA("VelFilesAbortTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(wnd);
    // The search pumps after its first entry, the message sets the flag and
    // the search ends without a hit even though the file exists.
    PostMessageA(wnd, WM_APP, 0, 0);
    EXPECT_EQ(FindFileOnDrives("vel-unique-needle-none.bin", DRIVE_FIXED), "");
    EXPECT_FALSE(SearchAbortRequested());  // cleared at the end
    DestroyWindow(wnd);
    UnregisterClassA("VelFilesAbortTest", wc.hInstance);
}

TEST(WinFiles, DiskFreeAndEjectOnAHardDisk)
{
    TTempFolder dir;
    EXPECT_GT(DiskFree(dir.Path()), 0.0);
    EXPECT_GT(DiskFree(dir / "not\\yet\\made"), 0.0);  // falls back to the letter
    EXPECT_FALSE(EjectCD(dir.Path()));
    EXPECT_FALSE(EjectCD("1:\\"));
    EXPECT_FALSE(EjectCD(""));
}

}  // namespace
