#include "base/paths.h"

#include "base/text_utils.h"

#ifdef _WIN32
#include <windows.h>
#endif

bool IsLeadByte(unsigned char c)
{
#ifdef _WIN32
    return IsDBCSLeadByte(c) != 0;
#else
    (void)c;
    return false;
#endif
}

namespace {

// True when the last byte is a backslash of its own, not the trail byte of a
// double-byte character (trail bytes may take the value of "\" in DBCS code pages).
bool EndsWithSingleBackslash(const std::string& s)
{
    if (s.empty() || s.back() != '\\') return false;
    size_t i = 0;
    const size_t last = s.size() - 1;
    while (i < last) i += IsLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
    return i == last;
}

size_t LastSeparator(const std::string& path)
{
    return path.find_last_of("\\:");
}

}  // namespace

std::string FileNamePart(const std::string& path)
{
    const size_t at = LastSeparator(path);
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string FileNamePartAnySlash(const std::string& path)
{
    return FileNamePart(ReplaceChar(path, '/', '\\'));
}

std::string FolderPart(const std::string& path)
{
    const size_t at = LastSeparator(path);
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string FileNameWithoutExt(const std::string& path, bool allExt)
{
    std::string name = FileNamePart(path);
    do {
        const size_t dot = name.rfind('.');
        if (dot == std::string::npos) break;
        name.erase(dot);
    } while (allExt);
    return name;
}

std::string SetTrailingBackslash(const std::string& path, bool flag)
{
    std::string p = path;
    if (p.size() > 2 && EndsWithSingleBackslash(p)) p.pop_back();
    // Short paths such as "\" keep their backslash; never double it.
    if (flag && !EndsWithSingleBackslash(p)) p += '\\';
    return p;
}

std::string StripTrailingBackslash(const std::string& path)
{
    if (path == "\\") return "";
    std::string p = path;
    if (p.size() > 1 && EndsWithSingleBackslash(p)) p.pop_back();
    return p;
}

std::string ProgramBaseName()
{
    return FileNameWithoutExt(ProgramPath(), false);
}

std::string ProgramFolder(bool flag)
{
    return SetTrailingBackslash(FolderPart(ProgramPath()), flag);
}
