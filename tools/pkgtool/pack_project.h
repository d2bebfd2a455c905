// pkgtool project files: an ini-style description of a package (format in
// tools/pkgtool/README.md).
#pragma once

#include <string>

#include "pkgtool/package_writer.h"

// Image value that selects the built-in stand-in image (StubImage).
inline constexpr const char* kStubImageName = "none";

// Reads a project from its text; relative paths are taken relative to
// `baseDir`. Loads the launcher image. False with a one-line `error` naming
// the line on any problem.
bool ParsePackProject(const std::string& text, const std::string& baseDir, TPackOptions& options,
                      std::string& error);
// The same from a file (relative paths relative to the file's folder).
bool LoadPackProject(const std::string& projectFile, TPackOptions& options, std::string& error);

// The bytes of a launcher image: a file, or StubImage for "none".
bool LoadImage(const std::string& path, std::string& image, std::string& error);

// The folder of a project file ("." for a bare name) and a path of the
// project resolved against it (absolute paths stay as they are).
std::string ProjectFolder(const std::string& projectFile);
std::string ResolveProjectPath(const std::string& baseDir, const std::string& path);
