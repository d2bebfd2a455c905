// pkgtool release: what an update location serves to the installed agents,
// made from the [Release] section of an update's project file: the
// description file the agents probe, the update package and, in inform mode,
// the INFORM file.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "pkgtool/package_writer.h"

struct TInfoKey {
    std::string Section;
    std::string Key;
    std::string Value;
};

struct TReleasePlan {
    std::string OutputDir;
    std::string InfoFile;        // name of the description file
    std::vector<TInfoKey> Info;  // its keys, sizes still missing
    bool InformMode = false;
    std::string UpdateFile;              // update mode: the package's name
    std::string InformFile, InformText;  // inform mode: the INFORM file and its whole text
};

// Checks the [Release] section of `project` (loaded from a file in
// `projectDir`) and plans the output. `outputDir` (the -o option) wins over
// Output. False with an `error` naming the line on a missing, malformed or
// contradictory value.
bool PlanRelease(const TPackOptions& project, const std::string& projectDir, const std::string& outputDir,
                 TReleasePlan& plan, std::string& error);

// The description file's text with the measured size of the update or
// INFORM file (Windows ini, CRLF).
std::string InfoFileText(const TReleasePlan& plan, uint64_t servedSize);

// Writes the planned files: the update package (from `project`) or the
// INFORM file first, the description file last, so that an agent that
// probes meanwhile never reads of a file that is not there yet. `written`
// lists them in that order.
bool WriteRelease(const TReleasePlan& plan, const TPackOptions& project, std::vector<std::string>& written,
                  std::string& error);
