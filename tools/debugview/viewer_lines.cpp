#include "debugview/viewer_lines.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

std::vector<std::string> TChunkJoiner::Add(const std::string& chunk)
{
    std::vector<std::string> lines;
    for (const char c : chunk) {
        if (c == '\n') {
            if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
            lines.push_back(std::move(pending_));
            pending_.clear();
        } else {
            pending_ += c;
            if (pending_.size() >= kLongestLine) {
                lines.push_back(std::move(pending_));
                pending_.clear();
            }
        }
    }
    return lines;
}

unsigned long LinePid(const std::string& line)
{
    unsigned long pid = 0;
    size_t i = 0;
    for (; i < line.size() && i < 10 && std::isdigit(static_cast<unsigned char>(line[i])); ++i)
        pid = pid * 10 + static_cast<unsigned long>(line[i] - '0');
    return i > 0 && i < line.size() && line[i] == ' ' ? pid : 0;
}

void TPidTally::Count(const std::string& line)
{
    ++lines_;
    const unsigned long pid = LinePid(line);
    if (pid == 0) return;
    for (auto& [id, n] : counts_)
        if (id == pid) return void(++n);
    counts_.emplace_back(pid, 1);
}

unsigned long TPidTally::Leading() const
{
    const auto most = std::max_element(counts_.begin(), counts_.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    return most == counts_.end() ? 0 : most->first;
}

size_t TPidTally::LeadingLines() const
{
    for (const auto& [id, n] : counts_)
        if (id == Leading()) return n;
    return 0;
}

bool PassesFilter(const std::string& line, const std::string& filter)
{
    const auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    return filter.empty() ||
           std::search(line.begin(), line.end(), filter.begin(), filter.end(), same) != line.end();
}

std::string StampedLine(int hour, int minute, int second, int millisecond, const std::string& line)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d  ", hour, minute, second, millisecond);
    return stamp + line;
}

std::string TallyText(const TPidTally& tally)
{
    if (tally.Leading() == 0) return "no process id seen (" + std::to_string(tally.Lines()) + " lines)";
    return "process " + std::to_string(tally.Leading()) + ": " + std::to_string(tally.LeadingLines()) +
           " of " + std::to_string(tally.Lines()) + " lines";
}

bool ParseViewerArgs(const std::vector<std::string>& args, TViewerOptions& options, std::string& error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h" || a == "/?") {
            options.Help = true;
        } else if (a == "--filter" || a == "--log") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = a + " needs a value";
                return false;
            }
            (a == "--filter" ? options.Filter : options.LogPath) = args[++i];
        } else {
            error = "unknown argument \"" + a + "\"";
            return false;
        }
    }
    return true;
}
