#include "pkgtool/pack_project.h"
#include "base/lists.h"
#include "base/text_utils.h"
#include "pkgtool/certificate.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// A value between double quotes keeps its blanks.
std::string Unquote(const std::string& value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

// A whole number without sign.
bool ParseUnsigned(const std::string& text, uint64_t& value)
{
    int64_t v = 0;
    if (text.empty() || text[0] == '-' || text[0] == '+' || !ParseDecimal(text, v) || v < 0) return false;
    value = static_cast<uint64_t>(v);
    return true;
}

bool ReadFile(const std::string& path, std::string& data)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    data = s.str();
    return !in.bad();
}

class TProjectParser {
public:
    TProjectParser(const std::string& baseDir, TPackOptions& o) : baseDir_(baseDir), o_(o) {}
    bool Parse(const std::string& text, std::string& error);

private:
    bool Fail(const std::string& message)
    {
        error_ = "line " + std::to_string(line_) + ": " + message;
        return false;
    }
    bool Flag(const std::string& value, bool& flag);
    bool Number(const std::string& value, uint64_t& number);
    bool Signers(const std::string& value);
    bool Section(const std::string& name);
    bool KeyValue(const std::string& key, const std::string& value);
    bool FileLine(const std::string& text);

    std::string baseDir_;
    TPackOptions& o_;
    std::string error_;
    int line_ = 0;
    std::string section_;  // lower case; "language" for language sections
    std::set<std::string> seen_;
    std::set<std::string> sections_;
    std::string imagePath_;
};

bool TProjectParser::Flag(const std::string& value, bool& flag)
{
    if (value != "0" && value != "1") return Fail("flag value must be 0 or 1, not \"" + value + "\"");
    flag = value == "1";
    return true;
}

bool TProjectParser::Number(const std::string& value, uint64_t& number)
{
    if (!ParseUnsigned(value, number)) return Fail("\"" + value + "\" is not a number");
    return true;
}

// Certificate files, comma-separated: their thumbprints go into the agent block.
bool TProjectParser::Signers(const std::string& value)
{
    for (const std::string& item : ListSplit("," + value + ",")) {
        const std::string name = TrimBlanks(item);
        if (name.empty()) return Fail("Signers names an empty certificate file");
        std::string data, hex, error;
        if (!ReadFile(ResolveProjectPath(baseDir_, name), data)) return Fail("cannot read certificate \"" + name + "\"");
        if (!CertificateThumbprint(data, hex, error)) return Fail("certificate \"" + name + "\": " + error);
        o_.Agent.Signers += (o_.Agent.Signers.empty() ? "" : ",") + hex;
    }
    return true;
}

bool TProjectParser::Section(const std::string& name)
{
    const std::string lower = Lower(name);
    seen_.clear();
    if (lower.rfind("language.", 0) == 0) {
        const std::string language = TrimBlanks(name.substr(9));
        if (language.empty()) return Fail("language section without a name");
        if (!sections_.insert("language." + Lower(language)).second)
            return Fail("language \"" + language + "\" appears twice");
        o_.Languages.push_back({language, {}});
        section_ = "language";
        return true;
    }
    static const std::set<std::string> known = {"package", "flags", "agent", "web", "files", "release"};
    if (!known.count(lower)) return Fail("unknown section [" + name + "]");
    if (!sections_.insert(lower).second) return Fail("section [" + name + "] appears twice");
    section_ = lower;
    if (lower == "web") o_.Web = TPackWeb();
    if (lower == "release") o_.Release.emplace();
    return true;
}

bool TProjectParser::KeyValue(const std::string& rawKey, const std::string& rawValue)
{
    const std::string key = TrimBlanks(rawKey);
    const std::string value = Unquote(TrimBlanks(rawValue));
    const std::string k = Lower(key);
    if (key.empty()) return Fail("empty key");
    if (!seen_.insert(k).second) return Fail("key \"" + key + "\" appears twice in its section");
    bool flag = false;
    uint64_t number = 0;

    if (section_ == "language") {
        o_.Languages.back().Strings.emplace_back(key, value);
        return true;
    }
    if (section_ == "release") {
        o_.Release->push_back({key, value, line_});
        return true;
    }
    if (section_ == "package") {
        if (k == "image") {
            imagePath_ = value;
            return true;
        }
        if (k == "seed") {
            if (!Number(value, number) || number > 0xFFFFFFFFu) return Fail("seed must be a 32-bit number");
            o_.Seed = static_cast<uint32_t>(number);
            return true;
        }
        if (k == "volumesize") return Number(value, o_.VolumeSize);
        if (k == "recordlimit") return Number(value, o_.RecordLimit);
    } else if (section_ == "flags") {
        const struct {
            const char* name;
            uint8_t bit;
        } bits[] = {{"showextractnotice", kFlagShowExtractNotice},
                    {"spancdrelaunch", kFlagSpanCdRelaunch},
                    {"showactivitybar", kFlagShowActivityBar},
                    {"tracelogenabled", kFlagTraceLogEnabled}};
        for (const auto& b : bits) {
            if (k != b.name) continue;
            if (!Flag(value, flag)) return false;
            o_.PackFlags = static_cast<uint8_t>(flag ? (o_.PackFlags | b.bit) : (o_.PackFlags & ~b.bit));
            return true;
        }
        if (k == "hasmorevolumes") return Fail("HasMoreVolumes is set by the builder for span volumes");
        if (k == "webinstall") return Flag(value, o_.WebInstall);
        if (k == "confirmdownload") return Flag(value, o_.ConfirmDownload);
        if (k == "createagent") return Flag(value, o_.CreateAgent);
        if (k == "isautoupdateprog") return Flag(value, o_.IsAutoUpdateProg);
        if (k == "blockcount") {
            if (value != "2" && value != "3") return Fail("BlockCount must be 2 or 3");
            o_.BlockCount = value == "2" ? 2 : 3;
            return true;
        }
    } else if (section_ == "agent") {
        if (k == "url") return o_.Agent.Url = value, true;
        if (k == "infofile") return o_.Agent.InfoFile = value, true;
        if (k == "exe") return o_.Agent.Exe = value, true;
        if (k == "token") return o_.Agent.Token = value, true;
        if (k == "silent") return Flag(value, o_.Agent.Silent);
        if (k == "signers") return Signers(value);
    } else if (section_ == "web") {
        if (k == "url") return o_.Web->Url = value, true;
        if (k == "file") return o_.Web->File = value, true;
        if (k == "always") return Flag(value, o_.Web->Always);
        if (k == "token") return o_.Web->Token = value, true;
        if (k == "size") return Number(value, o_.Web->Size);
        if (k == "sha256") {
            // An empty value would quietly leave the download unchecked.
            if (value.empty()) return Fail("Sha256 needs the path of the setup package");
            o_.Web->Sha256File = ResolveProjectPath(baseDir_, value);
            return true;
        }
    } else {
        return Fail("key outside a section");
    }
    return Fail("unknown key \"" + key + "\" in [" + section_ + "]");
}

bool TProjectParser::FileLine(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = text.find('|', start);
        parts.push_back(
            TrimBlanks(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    if (parts.size() > 3) return Fail("a file line is: source | stored name[*arguments] | time stamp");
    TPackEntry entry;
    entry.Source = ResolveProjectPath(baseDir_, parts[0]);
    if (parts[0].empty()) return Fail("file line without a source path");
    std::string name = parts.size() > 1 ? parts[1] : "";
    const size_t star = name.find('*');
    if (star != std::string::npos) {
        entry.Marked = true;
        entry.Arguments = name.substr(star + 1);
        name = TrimBlanks(name.substr(0, star));
    }
    entry.Name = name.empty() ? fs::path(parts[0]).filename().string() : name;
    if (parts.size() > 2 && !parts[2].empty()) {
        uint64_t stamp = 0;
        if (!ParseUnsigned(parts[2], stamp) || stamp > 0xFFFFFFFFu)
            return Fail("time stamp \"" + parts[2] + "\" is not a DOS date-time number");
        entry.TimeStamp = static_cast<uint32_t>(stamp);
    }
    o_.Files.push_back(entry);
    return true;
}

bool TProjectParser::Parse(const std::string& text, std::string& error)
{
    std::istringstream in(text);
    std::string raw;
    bool ok = true;
    while (ok && std::getline(in, raw)) {
        ++line_;
        const std::string line = TrimBlanks(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']')
                ok = Fail("unclosed section header");
            else
                ok = Section(TrimBlanks(line.substr(1, line.size() - 2)));
            continue;
        }
        if (section_ == "files") {
            ok = FileLine(line);
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            ok = Fail("expected key = value");
        else
            ok = KeyValue(line.substr(0, eq), line.substr(eq + 1));
    }
    if (ok && imagePath_.empty()) {
        line_ = 0;
        error_ = "no launcher image: set Image in [Package] (\"none\" for a stand-in)";
        ok = false;
    }
    if (ok) {
        std::string imageError;
        const std::string path =
            imagePath_ == kStubImageName ? imagePath_ : ResolveProjectPath(baseDir_, imagePath_);
        if (!LoadImage(path, o_.Image, imageError)) {
            error_ = imageError;
            ok = false;
        }
    }
    if (!ok) error = error_;
    return ok;
}

}  // namespace

bool LoadImage(const std::string& path, std::string& image, std::string& error)
{
    if (path == kStubImageName) {
        image = StubImage();
        return true;
    }
    if (!ReadFile(path, image)) {
        error = "cannot read launcher image " + path;
        return false;
    }
    return true;
}

bool ParsePackProject(const std::string& text, const std::string& baseDir, TPackOptions& options,
                      std::string& error)
{
    TProjectParser parser(baseDir, options);
    return parser.Parse(text, error);
}

bool LoadPackProject(const std::string& projectFile, TPackOptions& options, std::string& error)
{
    std::string text;
    if (!ReadFile(projectFile, text)) {
        error = "cannot read project file " + projectFile;
        return false;
    }
    if (!ParsePackProject(text, ProjectFolder(projectFile), options, error)) {
        error = projectFile + ": " + error;
        return false;
    }
    return true;
}

std::string ProjectFolder(const std::string& projectFile)
{
    const std::string base = fs::path(projectFile).parent_path().string();
    return base.empty() ? "." : base;
}

std::string ResolveProjectPath(const std::string& baseDir, const std::string& path)
{
    if (path.empty() || baseDir.empty() || fs::path(path).is_absolute()) return path;
    return (fs::path(baseDir) / path).string();
}
