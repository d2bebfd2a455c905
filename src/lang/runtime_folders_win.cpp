#include "lang/runtime_folders.h"

#include "lang/sysinfo.h"
#include "package/files.h"

std::string AppPathFolder(const std::string& program, int mode)
{
    return AppPathFolderFrom(program, mode, ReadRegistryString, UseRegistry64View);
}

std::string RegistryFolder(const std::string& path, int mode)
{
    return RegistryFolderFrom(path, mode, ReadRegistryString, UseRegistry64View,
                              {DirectoryExists, FileExists});
}

TRuntimeFolderSystem SystemRuntimeFolderSystem()
{
    TRuntimeFolderSystem system;
    system.AppPathFolder = AppPathFolder;
    system.RegistryFolder = RegistryFolder;
    system.FindFileOnDrives = FindFileOnDrives;
    system.FindDirOnDrives = FindDirOnDrives;
    FillRuntimeFolderHostParts(system);
    return system;
}

std::string RuntimeFolder(int n)
{
    return ProcessRuntimeFolders().Folder(n, SystemRuntimeFolderSystem());
}
