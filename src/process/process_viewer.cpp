#include "process/process_viewer.h"

#include "lang/sysinfo.h"
#include "base/lists.h"
#include "base/text_utils.h"
#include "base/paths.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

// A process id: a decimal number of at most 32 bits; fallback otherwise.
unsigned long ParseId(const std::string& text, unsigned long fallback)
{
    int64_t v = 0;
    return ParseDecimal(text, v) && v >= 0 && v <= 0xFFFFFFFFll ? static_cast<unsigned long>(v) : fallback;
}

}  // namespace

bool SameProgramName(const std::string& a, const std::string& b)
{
    if (a.find('*') != std::string::npos || b.find('*') != std::string::npos) return false;
    const std::string ta = TrimBlanks(a);
    return !ta.empty() && AnsiUpperCase(ta) == AnsiUpperCase(TrimBlanks(b));
}

std::string CleanProgramPath(const std::string& path)
{
    std::string p = TrimBlanks(path);
    if (p == "\"") return "";
    while (!p.empty() && p.front() == '"') p.erase(0, 1);
    while (!p.empty() && p.back() == '"') p.pop_back();
    return TrimBlanks(p);
}

std::string ProgramFileName(const std::string& path)
{
    return FileNamePart(path);
}

bool ProcessEntryMatches(const std::string& path, const TProcessEntry& entry, bool fullPathMatch,
                         const TShortPathFunc& shortPath)
{
    const std::string baseName = fullPathMatch ? kNoNameMatchMark : entry.BaseName;
    if (SameProgramName(path, entry.FullName) || SameProgramName(path, baseName)) return true;
    return shortPath && SameProgramName(shortPath(path), shortPath(entry.FullName));
}

unsigned long FindIdInEntries(const std::vector<TProcessEntry>& entries, const std::string& path,
                              bool fullPathMatch, const TShortPathFunc& shortPath)
{
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (ProcessEntryMatches(path, *it, fullPathMatch, shortPath)) return it->Id;
    return 0;
}

unsigned long FindIdInTaskListCsv(const std::string& output, const std::string& fileName)
{
    std::string text = TrimBlanks(output);
    text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
    text = ReplaceAll(text, "\r\n", "|", false);
    text = ReplaceAll(text, "\n", "|", false);  // tolerate bare line feeds
    for (const std::string& line : ListSplit("|" + text + "|")) {
        const std::string framed = "," + line + ",";
        const size_t first = framed.find(',', 1);
        const size_t second = framed.find(',', first + 1);
        if (second == std::string::npos) continue;
        if (!SameProgramName(framed.substr(1, first - 1), fileName)) continue;
        const unsigned long id = ParseId(framed.substr(first + 1, second - first - 1), 0);
        if (id > 0) return id;
    }
    return 0;
}

std::string BuildProcessList(const std::vector<std::pair<std::string, unsigned long>>& processes,
                             bool withIds)
{
    std::vector<std::string> items;
    for (const auto& [name, id] : processes)
        items.push_back(withIds ? name + "=" + std::to_string(id) : name);
    while (!items.empty() && items.back().empty()) items.pop_back();
    if (items.empty()) return "";
    std::string list = "|";
    for (const std::string& item : items) list += item + "|";
    return list;
}

bool FindInProcessList(const std::string& list, const std::string& name, const TShortPathFunc& shortPath,
                       unsigned long& id)
{
    const std::vector<std::string> items = ListSplit(list);
    const std::string nameShort = shortPath ? shortPath(name) : kNoShortPathMark;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const size_t eq = it->find('=');
        const std::string itemName = it->substr(0, eq);
        if (SameProgramName(itemName, name) ||
            (shortPath && SameProgramName(shortPath(itemName), nameShort))) {
            id = eq == std::string::npos ? 0 : ParseId(it->substr(eq + 1), 0);
            return true;
        }
    }
    return false;
}

TOsClass OsClassFromVersion(unsigned long platformId, unsigned long major, unsigned long minor)
{
    TOsClass os;
    os.Nt = platformId == 2;
    os.Xp = os.Nt && major == 5 && minor == 1;
    os.Win8OrLater = IsVersion8OrLater(platformId, std::to_string(major) + "." + std::to_string(minor));
    return os;
}

TProcessIdMethod ChooseProcessIdMethod(const TOsClass& os)
{
    if (!os.Nt) return TProcessIdMethod::Snapshot;
    return os.Win8OrLater ? TProcessIdMethod::TaskList : TProcessIdMethod::ProcessStatus;
}

TProcessListMethod ChooseProcessListMethod(const TOsClass& os)
{
    return os.Xp ? TProcessListMethod::ProcessStatus : TProcessListMethod::WindowTable;
}

bool TAnalizer::Add(TWindow window)
{
    if (count >= kMaxWindows) return false;
    windows[count] = window;
    scores[count] = 0;
    ++count;
    return true;
}

void TAnalizer::Score(const std::function<TWindow(TWindow)>& ownerOf,
                      const std::function<bool(TWindow)>& hasTitle,
                      const std::function<bool(TWindow)>& isVisible)
{
    for (size_t i = 0; i < count; ++i) scores[i] = 0;
    for (size_t i = 0; i < count; ++i) {
        // Follow the owner chain to its end; the step limit guards against a cycle.
        TWindow root = windows[i];
        for (size_t steps = 0; steps < kMaxWindows; ++steps) {
            const TWindow owner = ownerOf(root);
            if (owner == 0 || owner == root) break;
            root = owner;
        }
        for (size_t j = 0; j < count; ++j)
            if (windows[j] == root) ++scores[j];
    }
    for (size_t i = 0; i < count; ++i) {
        unsigned score = scores[i] * 4u;
        if (hasTitle(windows[i])) score += 2;
        if (isVisible(windows[i])) score += 1;
        scores[i] = static_cast<std::uint16_t>(score);
    }
}

TAnalizer::TWindow TAnalizer::Best() const
{
    size_t best = count;
    for (size_t i = 0; i < count; ++i)
        if (scores[i] > 0 && (best == count || scores[i] > scores[best])) best = i;
    return best == count ? 0 : windows[best];
}
