// Windows hand-on of debug chunks: the viewer window and shared file appends.
#include <windows.h>

#include "base/debug_stream.h"

namespace {

// Synchronous like a plain send, but a hung viewer cannot stall the program forever.
constexpr UINT kViewerTimeoutMs = 5000;

CRITICAL_SECTION* DebugSection()
{
    static CRITICAL_SECTION* section = [] {
        auto* cs = new CRITICAL_SECTION;
        InitializeCriticalSection(cs);
        return cs;
    }();
    return section;
}

UINT ViewerMessage()
{
    static const UINT message = RegisterWindowMessageA(kDebugViewerMessage);
    return message;
}

// Registered when the module initialises, as the viewer protocol expects.
const bool kRegistered = (DebugSection(), ViewerMessage(), true);

}  // namespace

void LockDebugStream()
{
    EnterCriticalSection(DebugSection());
}
void UnlockDebugStream()
{
    LeaveCriticalSection(DebugSection());
}

void SendToDebugViewer(const std::string& chunk)
{
    if (chunk.empty() || ViewerMessage() == 0) return;
    HWND viewer = FindWindowA(kDebugViewerClass, nullptr);
    if (!viewer) return;
    const ATOM atom = GlobalAddAtomA(chunk.c_str());
    if (!atom) return;
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(viewer, ViewerMessage(), 1, atom, SMTO_NORMAL | SMTO_ABORTIFHUNG, kViewerTimeoutMs,
                        &answer);
    GlobalDeleteAtom(atom);
}

bool DebugAppendToFile(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER;
    DWORD written = 0;
    ok = ok && WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
    CloseHandle(file);
    return ok;
}
