#include "pkgtool/release.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

#include "autoupdate/update_cycle.h"
#include "base/text_utils.h"
#include "package/files.h"
#include "package/token.h"
#include "pkgtool/pack_project.h"

namespace {

namespace fs = std::filesystem;

enum class TMode {
    Both,
    Update,
    Inform,
    Tool
};

struct TKeySpec {
    const char* Name;
    const char* Section;  // of the description file; "" for pkgtool's own keys
    TMode Mode;
};

// In the order the description file lists them.
const TKeySpec kKeys[] = {
    {"InfoFile", "", TMode::Tool},
    {"Output", "", TMode::Tool},
    {"InformText", "", TMode::Inform},
    {"InformTextFile", "", TMode::Inform},
    {"AutoInform", "General", TMode::Both},
    {"ProgramName", "NewSetup", TMode::Both},
    {"VersionNew", "NewSetup", TMode::Both},
    {"Stamp", "NewSetup", TMode::Both},
    {"ValidVersions", "NewSetup", TMode::Both},
    {"DownloadURL_UPDATE", "NewSetup", TMode::Both},
    {"NameOfUpdateFile", "NewSetup", TMode::Update},
    {"SizeOfUpdateFile", "NewSetup", TMode::Update},
    {"RequestConfirmationBeforeDownload", "NewSetup", TMode::Update},
    {"RequestConfirmationBeforeDownloadForce", "NewSetup", TMode::Update},
    {"RequestConfirmationBeforeInstall", "NewSetup", TMode::Update},
    {"RequestConfirmationBeforeInstallForce", "NewSetup", TMode::Update},
    {"BackgroundUpdate", "NewSetup", TMode::Update},
    {"ShutDownMethod", "NewSetup", TMode::Update},
    {"RunningProcess", "NewSetup", TMode::Update},
    {"RestartProcess", "NewSetup", TMode::Update},
    {"InformFinish", "NewSetup", TMode::Update},
    {"RemoveStartUpShortcut", "NewSetup", TMode::Update},
    {"RemoveCheckForNewUpdateShortcut", "NewSetup", TMode::Update},
    {"NameOfInformFile", "AutoInform", TMode::Inform},
    {"SizeOfInformFile", "AutoInform", TMode::Inform},
    {"DownloadURL_INFORM", "AutoInform", TMode::Inform},
    {"AutoInformW", "AutoInform", TMode::Inform},
    {"AutoInformH", "AutoInform", TMode::Inform},
};

const char* const kFlags[] = {"AutoInform",
                              "RequestConfirmationBeforeDownload",
                              "RequestConfirmationBeforeDownloadForce",
                              "RequestConfirmationBeforeInstall",
                              "RequestConfirmationBeforeInstallForce",
                              "BackgroundUpdate",
                              "RestartProcess",
                              "InformFinish",
                              "RemoveStartUpShortcut",
                              "RemoveCheckForNewUpdateShortcut"};

const char* const kShutDownMethods[] = {"Issue a Message Box", "Using WM_CLOSE", "Using WM_QUIT",
                                        "Using Terminate Process", "Don't Shut Down"};

const TKeySpec* FindKey(const std::string& key)
{
    for (const TKeySpec& k : kKeys)
        if (AnsiUpperCase(k.Name) == AnsiUpperCase(key)) return &k;
    return nullptr;
}

class TPlanner {
public:
    TPlanner(const TPackOptions& p, const std::string& dir, TReleasePlan& plan)
        : project_(p), dir_(dir), plan_(plan)
    {}
    bool Run(const std::string& outputDir, std::string& error);

private:
    bool Fail(const std::string& message, const TProjectValue* at = nullptr)
    {
        error_ = at ? "line " + std::to_string(at->Line) + ": " + message : "[Release]: " + message;
        return false;
    }
    const TProjectValue* Get(const char* name) const
    {
        const auto it = values_.find(AnsiUpperCase(name));
        return it == values_.end() ? nullptr : &it->second;
    }
    bool On(const char* name) const
    {
        const TProjectValue* v = Get(name);
        return v && v->Value == "1";
    }
    bool Required(const char* name, const TProjectValue*& v)
    {
        v = Get(name);
        if (!v || v->Value.empty()) return Fail(std::string(name) + " is missing");
        return true;
    }
    bool Number(const char* name, int64_t low, int64_t high, std::optional<int64_t>& out);
    bool BareFileName(const char* name, std::string& out);
    bool CheckValues();
    bool CheckUpdateMode();
    bool CheckInformMode();

    const TPackOptions& project_;
    std::string dir_;
    TReleasePlan& plan_;
    std::string error_;
    std::map<std::string, TProjectValue> values_;  // by upper-case key
};

bool TPlanner::Number(const char* name, int64_t low, int64_t high, std::optional<int64_t>& out)
{
    const TProjectValue* v = Get(name);
    if (!v) return true;
    int64_t n = 0;
    if (!ParseDecimal(v->Value, n) || n < low || n > high)
        return Fail(std::string(name) + " must be a whole number from " + std::to_string(low) + " to " +
                        std::to_string(high) + ", not \"" + v->Value + "\"",
                    v);
    out = n;
    return true;
}

// The agent fetches a file under the text after the last "\", "/" or ":" of
// its key but opens the whole key, so only a bare name means one file.
bool TPlanner::BareFileName(const char* name, std::string& out)
{
    const TProjectValue* v = nullptr;
    if (!Required(name, v)) return false;
    if (UpdateFileName(v->Value, {}) != v->Value)
        return Fail(std::string(name) + " must be a plain file name that the agent accepts, not \"" +
                        v->Value + "\"",
                    v);
    out = v->Value;
    return true;
}

bool TPlanner::CheckValues()
{
    for (const char* flag : kFlags) {
        const TProjectValue* v = Get(flag);
        if (v && v->Value != "0" && v->Value != "1")
            return Fail(std::string(flag) + " must be 0 or 1, not \"" + v->Value + "\"", v);
    }
    plan_.InformMode = On("AutoInform");
    for (const auto& [key, v] : values_) {
        const TKeySpec* spec = FindKey(key);
        if (std::string(spec->Name).rfind("SizeOf", 0) == 0)
            return Fail(std::string(spec->Name) + " is measured by pkgtool release; leave it out", &v);
        if (spec->Mode == TMode::Update && plan_.InformMode)
            return Fail(std::string(spec->Name) + " has no use in inform mode (AutoInform = 1)", &v);
        if (spec->Mode == TMode::Inform && !plan_.InformMode)
            return Fail(std::string(spec->Name) + " is for inform mode only (AutoInform = 1)", &v);
    }
    if (!BareFileName("InfoFile", plan_.InfoFile)) return false;

    const TProjectValue* location = nullptr;
    if (!Required("DownloadURL_UPDATE", location)) return false;
    const char last = location->Value.back();
    if (last == '/' || last == '\\')
        return Fail("DownloadURL_UPDATE must not end with \"/\" or \"\\\": the agent adds one", location);

    std::optional<int64_t> version, stamp;
    const TProjectValue* versionValue = nullptr;
    if (!Required("VersionNew", versionValue) || !Number("VersionNew", 1, INT32_MAX, version) ||
        !Number("Stamp", INT32_MIN, INT32_MAX, stamp))
        return false;
    const TProjectValue* valid = Get("ValidVersions");
    if (valid && !valid->Value.empty()) {
        // A blank or a stray comma would quietly exclude versions; empty is every version.
        std::string item;
        const std::string list = valid->Value + ",";
        for (char c : list) {
            if (c != ',') {
                item += c;
                continue;
            }
            int64_t n = 0;
            if (item.empty() || item.find_first_not_of("0123456789") != std::string::npos ||
                !ParseDecimal(item, n))
                return Fail("ValidVersions must be versions separated by commas without blanks, like "
                            "\"103,104\", not \"" +
                                valid->Value + "\"",
                            valid);
            if (n >= *version)
                return Fail("ValidVersions lists " + item + ", which is not below VersionNew " +
                                std::to_string(*version) + ": the agent would never offer this update to it",
                            valid);
            item.clear();
        }
    }
    if (project_.Agent.Token.empty())
        return Fail("the agents accept only files with their own token: set Token in [Agent]");

    const TProjectValue* out = Get("Output");
    if (out && plan_.OutputDir.empty()) plan_.OutputDir = ResolveProjectPath(dir_, out->Value);
    if (plan_.OutputDir.empty()) return Fail("no output folder: set Output in [Release] or give -o FOLDER");

    // The description file in key order, without the measured sizes.
    for (const TKeySpec& k : kKeys) {
        if (!*k.Section) continue;
        const TProjectValue* v = Get(k.Name);
        if (std::string(k.Name) == "AutoInform")
            plan_.Info.push_back({k.Section, k.Name, plan_.InformMode ? "1" : "0"});
        else if (std::string(k.Name) == "Stamp")
            plan_.Info.push_back({k.Section, k.Name, std::to_string(stamp.value_or(*version))});
        else if (v)
            plan_.Info.push_back({k.Section, k.Name, v->Value});
    }
    return plan_.InformMode ? CheckInformMode() : CheckUpdateMode();
}

bool TPlanner::CheckUpdateMode()
{
    if (!BareFileName("NameOfUpdateFile", plan_.UpdateFile)) return false;
    if (AnsiUpperCase(plan_.UpdateFile) == AnsiUpperCase(plan_.InfoFile))
        return Fail("NameOfUpdateFile and InfoFile name the same file", Get("NameOfUpdateFile"));
    if (project_.VolumeSize > 0)
        return Fail("an agent fetches one file: leave out VolumeSize for an update package");
    if (std::none_of(project_.Files.begin(), project_.Files.end(),
                     [](const TPackEntry& f) { return f.Marked; }))
        return Fail("the update package runs nothing: mark its setup program with '*' in [Files]");
    const char* const forced[][2] = {
        {"RequestConfirmationBeforeDownloadForce", "RequestConfirmationBeforeDownload"},
        {"RequestConfirmationBeforeInstallForce", "RequestConfirmationBeforeInstall"}};
    for (const auto& [force, base] : forced)
        if (On(force) && !On(base))
            return Fail(std::string(force) + " = 1 needs " + base + " = 1", Get(force));

    const TProjectValue* method = Get("ShutDownMethod");
    const TProjectValue* running = Get("RunningProcess");
    if (method) {
        const auto known = std::find(std::begin(kShutDownMethods), std::end(kShutDownMethods), method->Value);
        if (known == std::end(kShutDownMethods))
            return Fail(
                "ShutDownMethod must be \"Issue a Message Box\", \"Using WM_CLOSE\", \"Using WM_QUIT\", "
                "\"Using Terminate Process\" or \"Don't Shut Down\", not \"" +
                    method->Value + "\"",
                method);
        if (ParseShutDownMethod(method->Value) != TShutDownMethod::DontShutDown &&
            (!running || running->Value.empty()))
            return Fail("ShutDownMethod \"" + method->Value + "\" needs RunningProcess, the program to close",
                        method);
    }
    if (On("RestartProcess")) {
        if (!method || ParseShutDownMethod(method->Value) == TShutDownMethod::DontShutDown)
            return Fail("RestartProcess = 1 restarts a program that the update closed: set a ShutDownMethod "
                        "that closes it",
                        Get("RestartProcess"));
    }
    return true;
}

bool TPlanner::CheckInformMode()
{
    if (!BareFileName("NameOfInformFile", plan_.InformFile)) return false;
    if (AnsiUpperCase(plan_.InformFile) == AnsiUpperCase(plan_.InfoFile))
        return Fail("NameOfInformFile and InfoFile name the same file", Get("NameOfInformFile"));
    std::optional<int64_t> size;
    if (!Number("AutoInformW", 1, 32767, size) || !Number("AutoInformH", 1, 32767, size)) return false;
    const TProjectValue* text = Get("InformText");
    const TProjectValue* textFile = Get("InformTextFile");
    if (text && textFile) return Fail("give InformText or InformTextFile, not both", textFile);
    std::string body = text ? text->Value : "";
    if (textFile) {
        const std::string path = ResolveProjectPath(dir_, textFile->Value);
        if (!FileExists(path)) return Fail("cannot read InformTextFile " + path, textFile);
        body = ReadFileToString(path);
    }
    const TProjectValue* link = Get("DownloadURL_INFORM");
    if (body.empty() && (!link || link->Value.empty()))
        return Fail("inform mode shows a text or opens a link: set InformText, InformTextFile or "
                    "DownloadURL_INFORM");
    // Fields: (unused) | scrambled token | (unused) | (unused) | the text.
    // Appended piecewise: a literal + temporary draws a false -Wrestrict from GCC 12.
    plan_.InformText = "|";
    plan_.InformText += ScrambleToken(project_.Agent.Token, ScrambleSeed(project_));
    plan_.InformText += "|||";
    plan_.InformText += body;
    return true;
}

bool TPlanner::Run(const std::string& outputDir, std::string& error)
{
    plan_ = TReleasePlan();
    plan_.OutputDir = outputDir;
    bool ok = true;
    if (!project_.Release) {
        ok = Fail("the project has no [Release] section");
    } else {
        for (const TProjectValue& v : *project_.Release) {
            if (!FindKey(v.Key)) {
                ok = Fail("unknown key \"" + v.Key + "\" in [Release]", &v);
                break;
            }
            values_[AnsiUpperCase(v.Key)] = v;
        }
    }
    ok = ok && CheckValues();
    if (!ok) error = error_;
    return ok;
}

// Written under a working name and renamed, so that a server never hands
// out half a file.
bool WriteWhole(const std::string& path, const std::string& data, std::string& error)
{
    const std::string temp = path + ".tmp";
    std::error_code ec;
    if (!SaveFile(temp, data, 0, false)) {
        fs::remove(temp, ec);
        error = "cannot write " + temp;
        return false;
    }
    fs::rename(temp, path, ec);
    if (ec) {
        fs::remove(temp, ec);
        error = "cannot rename " + temp + " to " + path;
        return false;
    }
    return true;
}

}  // namespace

bool PlanRelease(const TPackOptions& project, const std::string& projectDir, const std::string& outputDir,
                 TReleasePlan& plan, std::string& error)
{
    TPlanner planner(project, projectDir, plan);
    return planner.Run(outputDir, error);
}

std::string InfoFileText(const TReleasePlan& plan, uint64_t servedSize)
{
    std::vector<TInfoKey> keys = plan.Info;
    const TInfoKey size = plan.InformMode
                              ? TInfoKey{"AutoInform", "SizeOfInformFile", std::to_string(servedSize)}
                              : TInfoKey{"NewSetup", "SizeOfUpdateFile", std::to_string(servedSize)};
    const char* const after = plan.InformMode ? "NameOfInformFile" : "NameOfUpdateFile";
    const auto name =
        std::find_if(keys.begin(), keys.end(), [&](const TInfoKey& k) { return k.Key == after; });
    keys.insert(name == keys.end() ? name : name + 1, size);
    std::string text, section;
    for (const TInfoKey& k : keys) {
        if (k.Section != section) {
            text += (section.empty() ? "[" : "\r\n[") + k.Section + "]\r\n";
            section = k.Section;
        }
        text += k.Key + "=" + k.Value + "\r\n";
    }
    return text;
}

bool WriteRelease(const TReleasePlan& plan, const TPackOptions& project, std::vector<std::string>& written,
                  std::string& error)
{
    written.clear();
    std::error_code ec;
    fs::create_directories(plan.OutputDir, ec);
    if (!DirectoryExists(plan.OutputDir)) {
        error = "cannot make the output folder " + plan.OutputDir;
        return false;
    }
    const std::string served =
        (fs::path(plan.OutputDir) / (plan.InformMode ? plan.InformFile : plan.UpdateFile)).string();
    if (plan.InformMode) {
        if (!WriteWhole(served, plan.InformText, error)) return false;
    } else {
        if (!WritePackage(project, served, error)) return false;
    }
    written.push_back(served);
    const int64_t size = FileSizeByName(served);
    if (size < 0) {
        error = "cannot read the size of " + served;
        return false;
    }
    const std::string info = (fs::path(plan.OutputDir) / plan.InfoFile).string();
    if (!WriteWhole(info, InfoFileText(plan, static_cast<uint64_t>(size)), error)) return false;
    written.push_back(info);
    return true;
}
