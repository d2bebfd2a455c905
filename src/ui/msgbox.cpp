#include "ui/msgbox.h"

#include "base/debug_stream.h"
#include <utility>

#include "base/lists.h"

namespace {

TMsgBoxFont& FontState()
{
    static TMsgBoxFont font;
    return font;
}

TMsgBoxHook& Hook()
{
    static TMsgBoxHook hook;
    return hook;
}

std::string OrDefault(const std::string& value, const std::string& def)
{
    return value.empty() ? def : value;
}

std::string DefaultCaption(int item)
{
    return ListItem(kDefaultCaptions, item);
}

}  // namespace

#ifndef _WIN32
int PresentMsgBox(const TMsgBoxRequest& request)
{
    DebugOut() << "MsgBox [" << request.Caption << "] " << ApplyMessageMarkup(request.Text).Text << DebugEndl;
    return 0;
}
#endif

void SetMsgBoxFont(const std::string& face, int point_size, int charset)
{
    TMsgBoxFont& font = FontState();
    font.Face = face;
    font.Charset = charset;
    if (point_size != 0) font.PointSize = point_size;
}

TMsgBoxFont MsgBoxFont()
{
    return FontState();
}

void SetMsgBoxHook(TMsgBoxHook hook)
{
    Hook() = std::move(hook);
}

int ShowMsgBox(intptr_t owner_code, const std::string& text, const std::string& caption, int timeout_ms,
               uint32_t flags, int charset, const std::string& button_texts)
{
    TMsgBoxRequest request;
    request.OwnerCode = owner_code;
    request.Text = ComposeMsgBoxBody(owner_code, text, caption);
    request.Caption = caption;
    request.TimeoutMs = timeout_ms;
    request.Flags = ComposeMsgBoxFlags(owner_code, flags, charset);
    request.Charset = charset;
    request.ButtonTexts = button_texts;
    if (Hook()) return Hook()(request);
    return PresentMsgBox(request);
}

void MsgError(intptr_t owner_code, const std::string& text, const std::string& caption, int charset,
              const std::string& button_texts)
{
    ShowMsgBox(owner_code, text, OrDefault(caption, DefaultCaption(0)), 0, 0x10, charset,
               OrDefault(button_texts, kDefaultButtonTexts));
}

void MsgAttention(intptr_t owner_code, const std::string& text, const std::string& caption, int timeout_ms,
                  int charset, const std::string& button_texts)
{
    ShowMsgBox(owner_code, text, OrDefault(caption, DefaultCaption(1)), timeout_ms, 0x30, charset,
               OrDefault(button_texts, kDefaultButtonTexts));
}

bool MsgConfirm(intptr_t owner_code, const std::string& text, const std::string& caption, int timeout_ms,
                int charset, const std::string& button_texts)
{
    return ShowMsgBox(owner_code, text, OrDefault(caption, DefaultCaption(2)), timeout_ms, 0x24, charset,
                      OrDefault(button_texts, kDefaultButtonTexts)) == 6;
}

bool MsgConfirmOkCancel(intptr_t owner_code, const std::string& text, const std::string& caption, int charset,
                        const std::string& button_texts)
{
    return ShowMsgBox(owner_code, text, OrDefault(caption, DefaultCaption(2)), 0, 0x21, charset,
                      OrDefault(button_texts, kDefaultButtonTexts)) == 1;
}
