#include "autoupdate/agent_settings.h"

#include <array>
#include <cerrno>
#include <cstdlib>

#include "lang/sysinfo.h"
#include "base/lists.h"
#include "package/token.h"
#include "base/text_utils.h"
#include "base/paths.h"

namespace {

std::array<uint8_t, kTransientSlotCount> gTransientSlots = {kTransientUnset, kTransientUnset, kTransientUnset,
                                                            kTransientUnset, kTransientUnset, kTransientUnset,
                                                            kTransientUnset, kTransientUnset};
bool g_probing_enabled = true;

constexpr size_t kInformFieldCount = 4;  // "|" characters before the inform text

}  // namespace

std::string AgentTextDefault(const std::string& key)
{
    static const struct {
        const char* key;
        const char* text;
    } kDefaults[] = {
        {"s3", "File Download Aborted!"},
        {"s4", "File not Found!"},
        {"s5", "Unable to Download File!"},
        {"s31", "Downloading INFO File..."},
        {"s32", "Downloading UPDATE File..."},
        {"s33", "Downloading INFORM File..."},
        {"s34", "New Version"},
        {"s35", "Download"},
    };
    const std::string upper = AnsiUpperCase(key);
    for (const auto& d : kDefaults)
        if (AnsiUpperCase(d.key) == upper) return d.text;
    return "";
}

std::string DescriptionFileName(const std::string& name)
{
    return FileNamePart(name);
}

// A fetched name may come from a web location: "/" separates there too.
std::string FetchedFileName(const std::string& name)
{
    return FileNamePartAnySlash(name);
}

std::string InfoFilePathIn(const std::string& folder, const std::string& agentInfoItem)
{
    return folder + DescriptionFileName(agentInfoItem);
}

std::string OriginalFilePathIn(const std::string& folder, const std::string& agentInfoItem)
{
    std::string name = DescriptionFileName(agentInfoItem);
    const size_t dot = name.find('.');  // every extension goes
    if (dot != std::string::npos) name.erase(dot);
    return folder + name + ".original";
}

std::string ReadableAgentTime(TAgentTime time)
{
    // The date helpers read -1 as "now"; here it is the second before the epoch.
    if (time == kDateTimeNow) {
        const char sep = UserSeparators().Time;
        return std::string("29-DEC-1899 23") + sep + "59" + sep + "59";
    }
    return DateTimeText(" ", time);
}

bool IsValidVersion(const std::string& validVersions, int32_t version)
{
    if (validVersions.empty()) return true;
    // Appended piecewise: "," + ... + "," draws a false -Wrestrict from GCC 12 (i686).
    std::string list = ",";
    list += validVersions;
    list += ',';
    std::string item = ",";
    item += std::to_string(version);
    item += ',';
    return list.find(item) != std::string::npos;
}

void SplitTokenLine(const std::string& text, std::string& token, std::string& rest)
{
    const std::string plain = ScrambleText(text, false, false);  // unchanged unless marked
    size_t bars[kInformFieldCount];
    size_t found = 0;
    for (size_t at = plain.find('|'); at != std::string::npos && found < kInformFieldCount;
         at = plain.find('|', at + 1))
        bars[found++] = at;
    // A broken or missing token unscrambles to a random text that matches no agent.
    const std::string scrambled =
        found >= 2 ? plain.substr(bars[0] + 1, bars[1] - bars[0] - 1) : std::string();
    token = UnscrambleToken(scrambled);
    rest = found == kInformFieldCount ? plain.substr(bars[kInformFieldCount - 1] + 1) : "";
}

void SetTransientSlot(int slot, uint8_t value)
{
    if (slot >= 0 && slot < kTransientSlotCount) gTransientSlots[slot] = value;
}

uint8_t GetTransientSlot(int slot)
{
    return (slot >= 0 && slot < kTransientSlotCount) ? gTransientSlots[slot] : kTransientUnset;
}

void ResetTransientSlots()
{
    gTransientSlots.fill(kTransientUnset);
}

std::string TransientSettingsText()
{
    std::string text = "|";
    for (uint8_t v : gTransientSlots) text += std::to_string(v) + "|";
    return text;
}

void ParseTransientSettings(const std::string& text)
{
    for (int slot = 0; slot < kTransientSlotCount; ++slot) {
        int64_t value = 0;
        if (ParseDecimal(ListItem(text, slot, ""), value))
            gTransientSlots[slot] = static_cast<uint8_t>(value & 0xFF);
    }
}

bool GetAskBeforeProbe()
{
    return gTransientSlots[kSlotAskBeforeProbe] == 1;
}

bool IsProbingEnabled()
{
    return g_probing_enabled;
}
void SetProbingEnabled(bool enabled)
{
    g_probing_enabled = enabled;
}
