#include "lang/sysinfo.h"

#include "base/text_utils.h"

#include <cctype>
#include <cstdlib>
#include <random>

#ifdef _WIN32
#include <windows.h>
#endif

bool UseRegistry64View = false;

namespace {

std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool IsDigits(const std::string& s)
{
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

// ---------------------------------------------------------------- versions

TOsInfo OsInfoFromVersion(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build,
                          const std::string& csdText, bool windows64, bool server)
{
    TOsInfo info;
    info.ServicePack = TrimBlanks(csdText.substr(0, 128));
    info.Build = build & 0xFFFF;
    info.VersionText = std::to_string(major) + "." + std::to_string(minor);
    const std::string& v = info.VersionText;

    auto set = [&info](const char* name, uint32_t code) {
        info.Name = name;
        info.Code = code;
    };

    if (platform == OsPlatformWin32s) {
        set("32S", OsCode32S);
    } else if (platform == OsPlatform9x) {
        if (v == "4.10" && info.Build == 3000) info.VersionText = "4.90";
        if (v == "4.0")
            set("95", OsCode95);
        else if (v == "4.10")
            set("98", OsCode98);
        else if (v == "4.90")
            set("ME", OsCodeME);
        else
            set("9x", OsCode9x);
    } else if (platform == OsPlatformNT) {
        if (v == "4.0")
            set("NT", OsCodeNT);
        else if (v == "5.0")
            set("2000", OsCode2000);
        else if (v == "5.1")
            set("XP", OsCodeXP);
        else if (v == "5.2")
            set("2003", OsCode2003);
        else if (v == "6.0")
            set("Vista", OsCodeVista);
        else if (v == "6.1")
            set("7", OsCode7);
        else if (v == "6.2")
            set("8", OsCode8);
        else if (v == "6.3")
            set("8.1", OsCode81);
        else
            set("NTx", OsCodeNT);

        if (windows64) {
            if (v == "5.2")
                set("XP.64", OsCodeXP64);
            else if (v == "6.0")
                set("Vista.64", OsCodeVista64);
            else if (v == "6.1")
                set("7.64", OsCode764);
            else if (v == "6.2")
                set("8.64", OsCode864);
            else if (v == "6.3")
                set("8.1.64", OsCode8164);
        }
        if (server) {
            if (windows64) {
                if (v == "6.0")
                    set("2008.64", OsCode200864);
                else if (v == "6.1")
                    set("2008R2.64", OsCode2008R264);
                else if (v == "6.2")
                    set("2012.64", OsCode201264);
                else if (v == "6.3")
                    set("2012R2.64", OsCode2012R264);
            } else if (v == "6.0") {
                set("2008", OsCode2008);
            }
        }
    }
    // Other platform ids: empty name, code 0.
    return info;
}

bool IsVersion8OrLater(uint32_t platform, const std::string& versionText)
{
    if (platform != OsPlatformNT) return false;
    // Read "major.minor" as a decimal number, independent of the C locale.
    const size_t dot = versionText.find('.');
    const std::string whole = versionText.substr(0, dot);
    const std::string frac = dot == std::string::npos ? "" : versionText.substr(dot + 1);
    if (!IsDigits(whole) || (!frac.empty() && !IsDigits(frac))) return false;
    const double value = DecimalToDouble((whole + "." + (frac.empty() ? "0" : frac)).c_str(), nullptr);
    return value >= 6.2 - 1e-9;
}

// ---------------------------------------------------------------- registry

uint32_t RegistryRootOf(const std::string& name)
{
    const std::string n = Upper(TrimBlanks(name));
    if (n == "HKEY_CLASSES_ROOT" || n == "HKCR") return RegRootClassesRoot;
    if (n == "HKEY_CURRENT_USER" || n == "HKCU") return RegRootCurrentUser;
    if (n == "HKEY_LOCAL_MACHINE" || n == "HKLM") return RegRootLocalMachine;
    if (n == "HKEY_USERS" || n == "HKU") return RegRootUsers;
    if (n == "HKEY_CURRENT_CONFIG" || n == "HKCC") return RegRootCurrentConfig;
    if (n == "HKEY_DYN_DATA" || n == "HKDD") return RegRootDynData;
    return RegRootCurrentUser;
}

TRegistryPath SplitRegistryPath(const std::string& path)
{
    TRegistryPath result;
    const std::string p = TrimBlanks(path);
    if (Upper(p.substr(0, 2)) != "HK") {
        result.SubKey = p;
        return result;
    }
    const size_t slash = p.find('\\');
    if (slash == std::string::npos) {
        result.Root = RegistryRootOf(p);
    } else {
        result.Root = RegistryRootOf(p.substr(0, slash));
        result.SubKey = p.substr(slash + 1);
    }
    return result;
}

// -------------------------------------------------------- files, folders

std::string FormatVersionText(const std::string& version, int width, int count)
{
    std::string text;
    for (char c : version) {
        if (c == ',') c = '.';
        if ((c >= '0' && c <= '9') || c == '.') text += c;
    }
    std::string result;
    size_t pos = 0;
    for (int i = 0; i < count; ++i) {
        std::string number;
        if (pos <= text.size()) {
            const size_t dot = text.find('.', pos);
            number = text.substr(pos, dot == std::string::npos ? std::string::npos : dot - pos);
            pos = dot == std::string::npos ? text.size() + 1 : dot + 1;
        }
        // Leading zeros of the resource are dropped before padding.
        size_t nz = 0;
        while (nz + 1 < number.size() && number[nz] == '0') ++nz;
        number = number.empty() ? "0" : number.substr(nz);
        if (width > 0 && number.size() < static_cast<size_t>(width))
            number.insert(0, static_cast<size_t>(width) - number.size(), '0');
        if (i > 0) result += '.';
        result += number;
    }
    return result;
}

// ------------------------------------------------------ numbers and texts

int64_t TextToInt(const std::string& text, int base)
{
    static const char alphabet[] = "0123456789ABCDEF";
    const std::string t = Upper(TrimBlanks(text));
    // Unsigned arithmetic: long texts wrap instead of overflowing.
    uint64_t result = 0, weight = 1;
    for (size_t i = t.size(); i-- > 0;) {
        const char* hit = nullptr;
        for (const char* a = alphabet; *a; ++a)
            if (*a == t[i]) hit = a;
        if (!hit) return -1;
        result += static_cast<uint64_t>(hit - alphabet) * weight;
        weight *= static_cast<uint64_t>(static_cast<int64_t>(base));
    }
    return static_cast<int64_t>(result);
}

int64_t HexTextToInt(const std::string& text)
{
    std::string t = TrimBlanks(text);
    if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t.erase(0, 2);
    return TextToInt(t, 16);
}

std::string HexToBytes(const std::string& text)
{
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        bytes += static_cast<char>(static_cast<uint8_t>(HexTextToInt(text.substr(i, 2))));
    return bytes;
}

std::string BytesToHex(const std::string& bytes, bool spaced, bool prefixed)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (prefixed) out += "0x";
        out += digits[b >> 4];
        out += digits[b & 15];
        if (spaced) {
            out += ' ';
            if ((i + 1) % 8 == 0) out += ' ';
        }
    }
    return out;
}

namespace {
const std::string kScrambleMarker = "Scrambled=01";
}

std::string ScrambleTextWithKey(const std::string& input, bool scramble, bool hex, int key)
{
    if (input.empty()) return input;
    std::string text = (hex && !scramble) ? HexToBytes(input) : input;
    const bool marked = text.compare(0, kScrambleMarker.size(), kScrambleMarker) == 0;
    if (marked == scramble) return input;

    if (marked) {
        // A bare marker carries no key and no text.
        if (text.size() <= kScrambleMarker.size()) return "";
        key = static_cast<unsigned char>(text[kScrambleMarker.size()]);
        text.erase(0, kScrambleMarker.size() + 1);
    }
    for (size_t i = 1; i <= text.size(); ++i) {
        text[i - 1] = static_cast<char>(static_cast<uint8_t>(text[i - 1]) ^
                                        static_cast<uint8_t>(static_cast<int64_t>(i) + key));
        key = -key;
    }
    if (!scramble) return text;
    std::string result = kScrambleMarker + static_cast<char>(key < 0 ? -key : key) + text;
    return hex ? BytesToHex(result, false, false) : result;
}

std::string ScrambleText(const std::string& text, bool scramble, bool hex)
{
    static std::minstd_rand rng{ClockSeed()};
    std::uniform_int_distribution<int> keys(33, 122);
    return ScrambleTextWithKey(text, scramble, hex, keys(rng));
}

bool DeveloperDiagnostics()
{
    static int state = -1;  // not yet asked
    if (state < 0) {
        const char* v = std::getenv("DVX");
        state = (v && std::string(v) == "739") ? 1 : 0;
    }
    return state == 1;
}

void CenterInRect(int left, int top, int right, int bottom, int width, int height, int& x, int& y)
{
    x = left + (right - left - width) / 2;
    y = top + (bottom - top - height) / 2;
}
