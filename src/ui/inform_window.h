// The inform window ("VRichEditBox"): a resizable window that shows an
// announcement of the update agent in a read-only rich-text control (the text
// may be rich text), with an optional link button on a bar at the bottom.
//
// The link comes from a downloaded, unauthenticated file, so only http:// and
// https:// links are ever handed to the shell.
#pragma once

#include <string>

constexpr const char* kInformWindowClass = "VRichEditBox";

constexpr int kInformTextLeft = 3;    // left margin of the text
constexpr int kInformBarHeight = 43;  // the button bar
constexpr int kInformButtonWidth = 160;
constexpr int kInformButtonHeight = 25;
constexpr int kInformButtonFromBottom = 33;
constexpr int kInformTextFontHeight = 15;  // cell height in pixels

struct TInformRect {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const TInformRect&) const = default;
};
struct TInformLayout {
    TInformRect Text;
    TInformRect Button;  // empty without a link
};

// Text and button in a client area of cw x ch.
TInformLayout InformLayout(int cw, int ch, bool hasLink);

// The text's face: "Verdana", unless the given face is set and is not
// exactly "Tahoma" (the default face of the agent's boxes).
std::string InformTextFace(const std::string& face);

// A link the window may open: http:// or https:// (any case) followed by an
// address without blanks, control characters or quotes.
bool IsOpenableLink(const std::string& link);

// The window size from the description file, held between the smallest size
// of a captioned window and the work area.
int ClampInformExtent(int requested, int minimum, int workArea);

#ifdef _WIN32
#include <windows.h>

// With a text: shows the window, owned by `owner` (not disabled), until it is
// closed (close box, Alt+F4 or the button, which opens the link first);
// true. Without a text: opens the link and returns true, or false when there
// is none. False too when the window cannot be created or one is already up.
bool ShowInformWindow(HWND owner, const std::string& caption, const std::string& buttonText, int charset,
                      int fontSize, const std::string& fontName, int width, int height,
                      const std::string& link, const std::string& text);
#endif
