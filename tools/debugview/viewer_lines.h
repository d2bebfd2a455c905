// The portable part of the debug viewer: the launcher's debug stream sends
// its text in chunks of at most 128 characters without naming the sender,
// so the viewer joins them into lines and tells whose lines they mostly are
// by the process id that the launcher's lines begin with.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class TChunkJoiner {
public:
    // The lines that `chunk` completes, without their line ends ("\n" or
    // "\r\n"). A line that never ends is handed on at kLongestLine characters.
    std::vector<std::string> Add(const std::string& chunk);
    // The start of a line not ended yet.
    const std::string& Pending() const { return pending_; }

    static constexpr size_t kLongestLine = 65536;

private:
    std::string pending_;
};

// Counts the process ids that lines begin with ("1234 ...").
class TPidTally {
public:
    void Count(const std::string& line);
    // The id most lines began with (the first one seen on a tie); 0 when none.
    unsigned long Leading() const;
    size_t LeadingLines() const;
    size_t Lines() const { return lines_; }

private:
    std::vector<std::pair<unsigned long, size_t>> counts_;  // in order of first sight
    size_t lines_ = 0;
};

// The process id at the start of a line (digits and a blank); 0 when none.
unsigned long LinePid(const std::string& line);

// Whether `line` contains `filter`, case ignored; an empty filter passes all.
bool PassesFilter(const std::string& line, const std::string& filter);

// "hh:mm:ss.mmm  line"
std::string StampedLine(int hour, int minute, int second, int millisecond, const std::string& line);

// "process 1234: 57 of 60 lines"; "no process id seen (N lines)" without one.
std::string TallyText(const TPidTally& tally);

struct TViewerOptions {
    std::string Filter;
    std::string LogPath = "debugview.log";
    bool Help = false;
};
// debugview [--filter TEXT] [--log FILE] [--help]; false with `error` on
// anything else.
bool ParseViewerArgs(const std::vector<std::string>& args, TViewerOptions& options, std::string& error);

inline constexpr const char* kViewerUsage =
    "usage: debugview [--filter TEXT] [--log FILE]\n"
    "  Shows the launcher's debug lines with their time of arrival and appends\n"
    "  them to FILE (default debugview.log). --filter shows and logs only the\n"
    "  lines containing TEXT (case ignored). Ctrl+C ends it.\n";
