#include "net/download_abort.h"

namespace {
// One GUI thread reads and writes it; message handlers run on that thread too.
bool g_download_abort = false;
}  // namespace

void SetDownloadAbort(bool abort)
{
    g_download_abort = abort;
}

bool DownloadAbortRequested()
{
    return g_download_abort;
}
