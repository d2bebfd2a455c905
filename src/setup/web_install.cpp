#include "setup/web_install.h"

#include "base/text_utils.h"
#include "package/lang_keys.h"
#include "package/package_reader.h"
#include "package/token.h"
#include "setup/setup_flow.h"

// The IsAutoUpdateProg byte lies this far before the end of the trailer.
constexpr uint64_t kAgentFlagFromEnd = kPackTrailerSize - offsetof(TPackTrailer, IsAutoUpdateProg);
static_assert(kAgentFlagFromEnd == 5, "IsAutoUpdateProg is the fifth byte from the trailer's end");

std::string WebLocalPath(const std::string& base, const std::string& fileName)
{
    if (!base.empty() && base.back() == '\\') return base + fileName;
    return base + "\\" + fileName;
}

std::string WebDownloadUrl(const std::string& base, const std::string& fileName)
{
    return base + "/" + fileName;
}

std::string DownloadQuestionText(const std::string& question, const std::string& sizeItem)
{
    const double size = static_cast<double>(DecimalOr(sizeItem, 0));
    return ReplaceAll(question, kPlaceholderSize, FormatMegabytes(size), false);
}

std::string NoConnectionText(const std::string& text, const std::string& reason)
{
    return reason.empty() ? text : text + "<P><P>" + reason;
}

std::string WebAgentCopy(std::string image)
{
    const uint64_t size = image.size();
    const uint64_t stored = IsPeImageData(image) ? ReadStoredPackEnd(image) : 0;
    // A stored end of 0 or past the file is no package end: the file's end is.
    const bool storedValid = stored > 0 && stored <= size;
    const uint64_t end = storedValid ? stored : size;
    if (storedValid && stored < size && size - stored < kAgentCopyTailLimit) image.resize(stored);
    if (end > kAgentFlagFromEnd) image[end - kAgentFlagFromEnd] = 1;
    return image;
}

bool WebHashMatches(const std::string& item, const std::string& digest)
{
    if (item.empty()) return true;
    return SameTextTrimmed(item, digest);
}
