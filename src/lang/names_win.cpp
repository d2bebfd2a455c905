// User, computer, owner, organisation and domain names.
#include "lang/sysinfo.h"

#include "base/text_utils.h"

#include <windows.h>

#include <vector>

std::string LoggedUserName()
{
    char buf[256] = {};
    DWORD size = sizeof(buf);
    if (!GetUserNameA(buf, &size)) return "";
    return TrimBlanks(buf);
}

std::string ComputerName()
{
    char buf[256] = {};
    DWORD size = sizeof(buf);
    if (!GetComputerNameA(buf, &size)) return "";
    return TrimBlanks(buf);
}

std::string RegisteredOwner()
{
    return TrimBlanks(
        ReadRegistryString(WindowsVersionKey(), "RegisteredOwner", LoggedUserName(), IsWindows64()));
}

std::string RegisteredOrganization()
{
    return TrimBlanks(ReadRegistryString(WindowsVersionKey(), "RegisteredOrganization", "", IsWindows64()));
}

std::string CurrentDomainName()
{
    const std::string user = LoggedUserName();
    if (user.empty()) return "";
    DWORD sidSize = 0, domainSize = 0;
    SID_NAME_USE use;
    LookupAccountNameA(nullptr, user.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
    if (sidSize == 0 || domainSize == 0) return "";
    std::vector<BYTE> sid(sidSize);
    std::vector<char> domain(domainSize + 1, 0);
    if (!LookupAccountNameA(nullptr, user.c_str(), sid.data(), &sidSize, domain.data(), &domainSize, &use))
        return "";
    return std::string(domain.data());
}
