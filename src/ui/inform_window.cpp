#include "ui/inform_window.h"

#include <algorithm>

#include "base/text_utils.h"

TInformLayout InformLayout(int cw, int ch, bool hasLink)
{
    TInformLayout layout;
    layout.Text = {kInformTextLeft, 0, cw - kInformTextLeft, hasLink ? ch - kInformBarHeight : ch};
    if (hasLink)
        layout.Button = {(cw - kInformButtonWidth) / 2, ch - kInformButtonFromBottom, kInformButtonWidth,
                         kInformButtonHeight};
    return layout;
}

std::string InformTextFace(const std::string& face)
{
    return face.empty() || face == "Tahoma" ? "Verdana" : face;
}

bool IsOpenableLink(const std::string& link)
{
    const std::string upper = AnsiUpperCase(link);
    size_t scheme = 0;
    if (upper.rfind("HTTP://", 0) == 0)
        scheme = 7;
    else if (upper.rfind("HTTPS://", 0) == 0)
        scheme = 8;
    if (scheme == 0 || link.size() == scheme) return false;
    // A blank or a quote would let the address carry arguments for the browser.
    return std::none_of(link.begin(), link.end(),
                        [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == 0x7F; });
}

int ClampInformExtent(int requested, int minimum, int workArea)
{
    return std::max(minimum, std::min(requested, workArea));
}
