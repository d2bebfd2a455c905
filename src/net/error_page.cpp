#include "net/error_page.h"

#include "base/text_utils.h"
#include "package/files.h"

bool IsErrorPage(const std::string& path, const std::string& content)
{
    std::string text = content;
    if (!path.empty() && FileExists(path)) text = ReadFileToString(path, kErrorPageWindow);
    if (text.size() > kErrorPageWindow) text.resize(kErrorPageWindow);

    const int title = PosText("<TITLE", text);
    const int code = PosText("404", text);
    const int titleEnd = PosText("</TITLE>", text);
    if (title > 0 && title < code && code < titleEnd) return true;

    const int html = PosText("<HTML>", text);
    const int head = PosText("<HEAD>", text);
    const int titleTag = PosText("<TITLE>", text);
    return html > 0 && html < head && head < titleTag && titleTag < titleEnd;
}

std::string NotFoundPageMessage(const std::string& url)
{
    return "<B>404 File Not Found...</B><P><P>URL:  " + url + "." +
           "<P><P>Please make sure the file is available and access is allowed to this file.";
}

std::string ErrorPageMessage(const std::string& path, const std::string& content, const std::string& url,
                             const std::string& defaultMessage)
{
    return IsErrorPage(path, content) ? NotFoundPageMessage(url) : defaultMessage;
}
