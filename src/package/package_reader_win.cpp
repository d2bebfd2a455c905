#include "package/package_reader.h"

#include <windows.h>

uint32_t SystemClusterSize(const std::string& root)
{
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return 0;
    return sectorsPerCluster * bytesPerSector;
}
