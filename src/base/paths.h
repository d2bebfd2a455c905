// Paths of the running program and the parts of a Windows path. A path's
// parts are split at "\" and ":" only: "/" is an ordinary character of a
// name here.
#pragma once

#include <string>

// The file-name part: the text after the last "\" or ":" (all of it when
// there is none).
std::string FileNamePart(const std::string& path);
// The same with "/" as a separator too: for names that come from a web
// location or a package text, which may be written either way.
std::string FileNamePartAnySlash(const std::string& path);
// The folder part with its separator: the text up to and including the last
// "\" or ":"; "" when there is none.
std::string FolderPart(const std::string& path);
// The file-name part without its last extension (every extension when allExt).
std::string FileNameWithoutExt(const std::string& path, bool allExt);

// Whether the byte starts a double-byte character in the ANSI code page
// (never natively). A trail byte may have the value of "\".
bool IsLeadByte(unsigned char c);

// Adds one backslash (flag true) or removes a single trailing one (false);
// never doubles an existing backslash.
std::string SetTrailingBackslash(const std::string& path, bool flag);
std::string StripTrailingBackslash(const std::string& path);

// Full path of the running executable ("" when the system cannot tell).
std::string ProgramPath();
// Its file name without the last extension, and its folder.
std::string ProgramBaseName();
std::string ProgramFolder(bool flag);

#ifdef _WIN32
std::string WindowsFolder(bool flag);
std::string SystemFolder(bool flag);
std::string TempFolder(bool flag);
#endif
