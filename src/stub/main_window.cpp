#include "stub/main_window.h"

#include "net/download_abort.h"
#include "base/trace_log.h"
#include "base/paths.h"

bool IsRightToLeftCharset(int charset)
{
    return charset == 177 || charset == 178;
}

TMainWindowLayout MainWindowLayout(int charset)
{
    const bool rtl = IsRightToLeftCharset(charset);
    TMainWindowLayout l;
    l.Label = {rtl ? 122 : 70, 20, 340, 18};
    l.Progress = {70, 38, 392, 13};
    l.Activity = {rtl ? 70 : 416, 20, 46, 13};
    return l;
}

void CenterInWorkArea(int left, int top, int right, int bottom, int& x, int& y)
{
    x = left + (right - left - kMainWindowWidth) / 2;
    y = top + (bottom - top - kMainWindowHeight) / 2;
}

std::string MainWindowClassName(bool agent_mode, const std::string& program_path)
{
    if (!agent_mode) return program_path;
    return kAgentClassPrefix + FileNameWithoutExt(program_path, false);
}

bool CloseMainWindow()
{
    Trace(".. CloseMainWindow() - Start");
    bool close = true;
    if (!DownloadAbortRequested()) {
        SetDownloadAbort(true);
        close = false;
    }
    Trace(".. CloseMainWindow() - End");
    return close;
}
