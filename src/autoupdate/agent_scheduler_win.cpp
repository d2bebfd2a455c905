// The agent's step on Windows: the description files, the message boxes and
// the main window of the running agent.
#include "autoupdate/agent_scheduler.h"

#include <windows.h>

#include "base/debug_stream.h"

#include "autoupdate/agent_control.h"
#include "autoupdate/agent_requests.h"
#include "autoupdate/agent_settings.h"
#include "autoupdate/test_mode.h"
#include "autoupdate/update_decision.h"
#include "base/text_utils.h"
#include "lang/sysinfo.h"
#include "net/http_client.h"
#include "ui/msgbox.h"

namespace {

void DebugLine(const std::string& line)
{
    DebugOut() << line << DebugEndl;
}

// The .INFO file from the update location, with the stage and the events around it.
bool FetchInfo(const TAgentDeps& deps, std::string& error)
{
    SetAgentStage(kAgentStageReadingInfo);
    NotifyController(kNotifyInfoFile, 1);
    const bool fetched =
        DownloadFileAU(deps, deps.UpdateUrl ? deps.UpdateUrl() : "", InfoFilePath(), kFetchInfo, error);
    NotifyController(kNotifyInfoFile, 2);
    return fetched;
}

}  // namespace

void JustDownloadInfoFile(const TAgentDeps& deps)
{
    std::string error;
    FetchInfo(deps, error);
}

void AskCheckNow(const TAgentDeps& deps, int& status)
{
    const bool testMode = CheckTestMode(true);
    const std::string location = testMode ? TestLocation() : (deps.UpdateUrl ? deps.UpdateUrl() : "");
    const std::string text = CheckNowText(GetAgentText("s22"), GetAgentText("s23"), GetAgentText("s24"),
                                          location, testMode, GetOriginalProgramName());
    if (!MsgConfirm(1, text, GetConfirmCaption(), 0, GetCharSet(), GetBtnText())) status = 0;
}

void PerformShot(const TAgentDeps& deps)
{
    const TAgentTime start = NowLocalDateTime();
    DebugLine(" Fire  " + ReadableAgentTime(start));
    CheckTestMode(true);

    std::string fetchError;
    const bool fetched = FetchInfo(deps, fetchError);
    SetProbeSecondsLast(NowLocalDateTime());

    int code = 0;
    std::string reason;
    const bool ok = GetOkToPerformAU(fetched, code, reason);
    if (ok) {
        DebugLine(" ==== PerformShot-1 ====");
        // The publication counts as offered once the user saw the offer or
        // its file arrived; a probe that failed silently offers it again.
        TAgentDeps cycle = deps;
        bool marked = false;
        cycle.MarkOffered = [&marked] {
            if (marked) return;
            marked = true;
            SetReAskSecondsLast(NowLocalDateTime());
            SetOriginalStamp(GetNewStamp());
        };
        if (GetAutoInform()) {
            PerformAutoInform(cycle);
        } else if (PerformAutoUpdate(cycle)) {
            ReStartAutoUpdateExe(cycle);
        }
        DebugLine(" ==== PerformShot-2 ====");
    }

    if (AgentCheckMode() != kCheckByUser) return;
    deps.Setup.WaitPumping(1000);
    if (HWND w = deps.MainWindow ? deps.MainWindow() : nullptr) ShowWindow(w, SW_HIDE);
    if (ok) return;
    const bool testMode = TestModeOn();
    std::string connectionError;
    const bool connected = IsInternetConnected(connectionError);
    DebugLine(std::string(" TestMode=") + BoolText(testMode) + " InternetConnected=" + BoolText(connected));
    const int charset = GetCharSet();
    const std::string buttons = GetBtnText();
    if (!testMode && !connected) {
        std::string text = GetAgentText("s2");
        if (!connectionError.empty()) text += "<P><P>" + connectionError;
        MsgError(0, text, GetErrorCaption(), charset, buttons);
    } else if (!testMode && !fetchError.empty()) {
        MsgError(0, fetchError, GetErrorCaption(), charset, buttons);
    } else {
        std::string text = GetAgentText("s21");
        if (DeveloperDiagnostics()) text += "<P><P>(" + std::to_string(code) + " - " + reason + ")";
        MsgAttention(1, text, GetAttentionCaption(), 0, charset, buttons);
    }
}

void AgentTimerStep(const TAgentDeps& deps)
{
    TAgentStepActions act;
    act.Debug = DebugLine;
    act.JustDownloadInfoFile = [&deps] { JustDownloadInfoFile(deps); };
    act.SetMsgBoxFont = [] { SetMsgBoxFont(GetFontName(), GetFontSize(), GetCharSet()); };
    act.PostQuit = [] { PostQuitMessage(0); };
    act.CheckTestMode = [](bool force) { CheckTestMode(force); };
    act.ShotTimeStatus = ShotTimeStatus;
    act.AskCheckNow = [&deps](int& status) { AskCheckNow(deps, status); };
    act.PerformShot = [&deps] { PerformShot(deps); };
    AgentTimerStepWith(act);
}
