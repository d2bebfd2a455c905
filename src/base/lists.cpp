#include "base/lists.h"

#include "base/text_utils.h"

#include <algorithm>

namespace {

// Delimiters tried in order when a list is given a delimiter of its own.
constexpr char kDelimiterCandidates[] = {'|', '*', '~', '^', '!', '@', '#', '$', '&', '\xFF'};

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCopy(const std::string& s)
{
    std::string r(s);
    for (char& c : r) c = LowerAscii(c);
    return r;
}

bool EqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix)
{
    return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}

bool SameItem(const std::string& a, const std::string& b)
{
    return EqualNoCase(TrimBlanks(a), TrimBlanks(b));
}

bool ContainsItem(const std::vector<std::string>& items, const std::string& s)
{
    for (const std::string& i : items)
        if (SameItem(i, s)) return true;
    return false;
}

// Joins items with `d` on both ends; no items gives "".
std::string Join(const std::vector<std::string>& items, char d)
{
    if (items.empty()) return "";
    std::string r(1, d);
    for (const std::string& i : items) {
        r += i;
        r += d;
    }
    return r;
}

// Assembles the items NUL-delimited and gives the list its own delimiter.
// NUL bytes inside items would split them, so they are dropped.
std::string BuildNormalized(const std::vector<std::string>& items)
{
    std::string r(1, '\0');
    for (const std::string& i : items) {
        for (char c : i)
            if (c != '\0') r += c;
        r += '\0';
    }
    return NormalizeList(r);
}

bool AnyContains(const std::vector<std::string>& items, char d)
{
    for (const std::string& i : items)
        if (i.find(d) != std::string::npos) return true;
    return false;
}

std::vector<std::string> DropEmptyTail(std::vector<std::string> items)
{
    while (!items.empty() && items.back().empty()) items.pop_back();
    return items;
}

}  // namespace

std::vector<std::string> ListSplit(const std::string& list)
{
    std::vector<std::string> items;
    if (list.size() < 2) return items;
    const char d = list[0];
    size_t start = 1;
    for (size_t i = 1; i < list.size(); ++i) {
        if (list[i] == d) {
            items.push_back(list.substr(start, i - start));
            start = i + 1;
        }
    }
    return items;
}

int ListCount(const std::string& list)
{
    if (list.size() < 2 || list.back() != list.front()) return 0;
    int n = 0;
    for (size_t i = 1; i < list.size(); ++i)
        if (list[i] == list[0]) ++n;
    return n;
}

std::string ListItem(const std::string& list, int index, const std::string& def)
{
    if (list.size() < 2 || index < -1) return def;
    const char d = list[0];
    if (index == -1) {
        // The last item is the text between the last two delimiters.
        size_t last = list.rfind(d);
        if (last == 0) return def;
        size_t prev = list.rfind(d, last - 1);
        std::string item = list.substr(prev + 1, last - prev - 1);
        return item.empty() ? def : item;
    }
    int current = 0;
    size_t start = 1;
    for (size_t i = 1; i < list.size(); ++i) {
        if (list[i] != d) continue;
        if (current == index) {
            std::string item = list.substr(start, i - start);
            return item.empty() ? def : item;
        }
        ++current;
        start = i + 1;
    }
    return def;
}

int64_t ListItemInt64(const std::string& list, int index, int64_t def)
{
    return DecimalOr(ListItem(list, index, ""), def);
}

std::string ListValue(const std::string& list, const std::string& key, const std::string& def,
                      const std::string& emptyValue)
{
    if (list.size() < 3 || list.back() != list.front()) return def;
    const char d = list[0];
    std::string pattern(1, d);
    pattern += key;
    if (key == "=" || key.empty() || key.back() != '=') pattern += '=';

    std::string work;
    // Blanks around keys are ignored; a space-delimited list keeps its spaces.
    if (d != ' ' && list.find(' ') != std::string::npos) {
        std::string pass;
        pass.reserve(list.size());
        for (size_t i = 0; i < list.size(); ++i) {
            pass += list[i];
            if (list[i] == d && i + 1 < list.size() && list[i + 1] == ' ') ++i;
        }
        work.reserve(pass.size());
        for (char c : pass) {
            if (c == '=')
                while (!work.empty() && work.back() == ' ') work.pop_back();
            work += c;
        }
    } else {
        work = list;
    }

    const size_t pos = LowerCopy(work).find(LowerCopy(pattern));
    if (pos == std::string::npos) return def;
    const size_t start = pos + pattern.size();
    size_t end = work.find(d, start);
    if (end == std::string::npos) end = work.size();
    std::string value = work.substr(start, end - start);
    return value.empty() ? emptyValue : value;
}

int ListIndexOf(const std::string& list, const std::string& item, int def, bool prefixOnly)
{
    const std::vector<std::string> items = ListSplit(list);
    const std::string trimmed = TrimBlanks(item);
    for (size_t i = 0; i < items.size(); ++i) {
        const bool hit = prefixOnly
                             ? (StartsWithNoCase(items[i], item) || StartsWithNoCase(items[i], trimmed))
                             : (EqualNoCase(items[i], item) || EqualNoCase(items[i], trimmed));
        if (hit) return static_cast<int>(i);
    }
    return def;
}

bool ListContains(const std::string& list, const std::string& item, bool trim, bool ignoreCase)
{
    if (list.empty()) return false;
    const char d = list[0];
    std::string needle(1, d);
    needle += trim ? TrimBlanks(item) : item;
    needle += d;
    if (ignoreCase) return LowerCopy(list).find(LowerCopy(needle)) != std::string::npos;
    return list.find(needle) != std::string::npos;
}

std::string ListKeys(const std::string& list)
{
    std::vector<std::string> keys;
    for (const std::string& i : ListSplit(list)) keys.push_back(i.substr(0, i.find('=')));
    return BuildNormalized(keys);
}

std::string ListValues(const std::string& list)
{
    std::vector<std::string> values;
    for (const std::string& i : ListSplit(list)) {
        const size_t eq = i.find('=');
        values.push_back(eq == std::string::npos ? std::string() : i.substr(eq + 1));
    }
    return BuildNormalized(values);
}

std::string ListZip(const std::string& keys, const std::string& values, bool dropEmptyTail)
{
    std::vector<std::string> k = ListSplit(keys);
    std::vector<std::string> v = ListSplit(values);
    if (dropEmptyTail) {
        k = DropEmptyTail(std::move(k));
        v = DropEmptyTail(std::move(v));
    }
    const size_t n = std::max(k.size(), v.size());
    std::vector<std::string> pairs;
    pairs.reserve(n);
    for (size_t i = 0; i < n; ++i)
        pairs.push_back((i < k.size() ? k[i] : std::string()) + "=" + (i < v.size() ? v[i] : std::string()));
    return BuildNormalized(pairs);
}

std::string ListDelete(const std::string& list, int index)
{
    if (index < 0 || index >= ListCount(list)) return list;
    std::vector<std::string> items = ListSplit(list);
    items.erase(items.begin() + index);
    std::string r = Join(items, list[0]);
    return r.empty() ? std::string() : r;
}

std::string ListSetItem(const std::string& list, int index, const std::string& value)
{
    if (index < 0) return list;
    const std::string base = list.empty() ? std::string("|") : list;
    std::vector<std::string> items = ListSplit(base);
    if (static_cast<size_t>(index) >= items.size()) items.resize(static_cast<size_t>(index) + 1);
    items[static_cast<size_t>(index)] = value;
    const char d = base[0];
    if (d == '\0' || value.find(d) != std::string::npos) return BuildNormalized(items);
    return Join(items, d);
}

std::string ListFromArray(const std::vector<std::string>& strings, bool unique)
{
    if (!unique) return BuildNormalized(strings);
    std::vector<std::string> kept;
    for (const std::string& s : strings)
        if (!ContainsItem(kept, s)) kept.push_back(s);
    return BuildNormalized(kept);
}

std::string ListAppend(const std::string& list, const std::vector<std::string>& strings, bool unique)
{
    std::vector<std::string> items = ListSplit(list);
    for (const std::string& s : strings)
        if (!unique || !ContainsItem(items, s)) items.push_back(s);
    if (list.empty() || list[0] == '\0' || AnyContains(strings, list[0])) return BuildNormalized(items);
    return Join(items, list[0]);
}

std::string ListReverse(const std::string& list)
{
    std::vector<std::string> items = ListSplit(list);
    if (items.empty()) return list.size() < 2 ? std::string() : list;
    return Join(std::vector<std::string>(items.rbegin(), items.rend()), list[0]);
}

std::string ListUnique(const std::string& list)
{
    std::vector<std::string> kept;
    for (const std::string& s : ListSplit(list))
        if (!s.empty() && !ContainsItem(kept, s)) kept.push_back(s);
    return kept.empty() ? std::string() : Join(kept, list[0]);
}

std::string ListTrim(const std::string& list, bool trailing, bool leading)
{
    std::vector<std::string> items = ListSplit(list);
    size_t b = 0, e = items.size();
    if (leading)
        while (b < e && items[b].empty()) ++b;
    if (trailing)
        while (e > b && items[e - 1].empty()) --e;
    if (b == e) return "";
    return Join(std::vector<std::string>(items.begin() + static_cast<std::ptrdiff_t>(b),
                                         items.begin() + static_cast<std::ptrdiff_t>(e)),
                list[0]);
}

std::string ListSetDelimiter(const std::string& list, char delimiter)
{
    if (list.empty()) return "";
    std::string r(list);
    const char d = list[0];
    for (char& c : r)
        if (c == d) c = delimiter;
    return r;
}

std::string NormalizeList(const std::string& list)
{
    if (list.empty()) return "";
    std::string r(list);
    if (r.find('\0') == std::string::npos) {
        const char d = r[0];
        for (char& c : r)
            if (c == d) c = '\0';
    }
    if (r.size() <= 1) return "";
    char chosen = '\0';
    for (char c : kDelimiterCandidates) {
        if (r.find(c) == std::string::npos) {
            chosen = c;
            break;
        }
    }
    // All usual delimiters in use: any free byte keeps the list readable.
    for (int c = 1; chosen == '\0' && c < 256; ++c)
        if (r.find(static_cast<char>(c)) == std::string::npos) chosen = static_cast<char>(c);
    if (chosen == '\0') return "";
    for (char& c : r)
        if (c == '\0') c = chosen;
    return r;
}
