#include "package/lang_select.h"

#include "package/lang_id.h"
#include "base/lists.h"
#include "base/text_utils.h"

namespace {

std::string& LanguageCache()
{
    static std::string entry;
    return entry;
}

std::string NameKey(const std::string& name)
{
    std::string key = TrimBlanks(name);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

int FindEntry(const std::vector<std::string>& entries, const std::string& name)
{
    const std::string wanted = NameKey(name);
    for (size_t i = 0; i < entries.size(); ++i)
        if (NameKey(ListItem(entries[i], 0)) == wanted) return static_cast<int>(i);
    return -1;
}

}  // namespace

std::string SelectLanguageEntry(const std::string& languageBlock)
{
    const std::vector<std::string> entries = ListSplit(languageBlock);
    const std::string user = UserLanguageName();
    int found = user.empty() ? -1 : FindEntry(entries, user);
    if (found < 0 && entries.size() == 1) found = 0;
    if (found < 0) found = FindEntry(entries, "English");
    if (found < 0) return kNoLanguageEntry;
    const std::string& entry = entries[static_cast<size_t>(found)];
    return HasLanguageEntry(entry) ? entry : kNoLanguageEntry;
}

const std::string& ChosenLanguageEntry(const std::string& languageBlock)
{
    std::string& cache = LanguageCache();
    if (cache.empty()) cache = SelectLanguageEntry(languageBlock);
    return cache;
}

bool HasLanguageEntry(const std::string& entry)
{
    return entry.size() > 1;
}

void ResetLanguageCache()
{
    LanguageCache().clear();
}
