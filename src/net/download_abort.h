// The process-wide download-abort flag: the download loop reads it after every
// chunk; the main window sets it on the first close request, on destroy and
// when its message loop ends; the agent and the web install clear it before a
// download.
#pragma once

void SetDownloadAbort(bool abort);
bool DownloadAbortRequested();
