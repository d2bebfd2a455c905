#include "net/wininet_win.h"

#include "base/safe_library.h"

namespace {

HMODULE g_library = nullptr;

struct TEntry {
    const char* Name;
    FARPROC Proc;
};

TEntry g_connected{"InternetGetConnectedState", nullptr};
TEntry g_open{"InternetOpenA", nullptr};
TEntry g_openUrl{"InternetOpenUrlA", nullptr};
TEntry g_close{"InternetCloseHandle", nullptr};
TEntry g_queryInfo{"HttpQueryInfoA", nullptr};
TEntry g_readFile{"InternetReadFile", nullptr};
TEntry g_setOption{"InternetSetOptionA", nullptr};
TEntry g_lastResponse{"InternetGetLastResponseInfoA", nullptr};

template <typename Fn> Fn Bind(TEntry& entry)
{
    if (!entry.Proc) {
        if (!g_library) g_library = LoadSystemLibrary("wininet.dll");
        if (g_library) entry.Proc = GetProcAddress(g_library, entry.Name);
    }
    if (!entry.Proc) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(entry.Proc));
}

using TGetConnectedState = BOOL(WINAPI*)(LPDWORD, DWORD);
using TOpen = HINTERNET(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD);
using TOpenUrl = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR);
using TClose = BOOL(WINAPI*)(HINTERNET);
using TQueryInfo = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD);
using TReadFile = BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD);
using TSetOption = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, DWORD);
using TGetLastResponseInfo = BOOL(WINAPI*)(LPDWORD, LPSTR, LPDWORD);

}  // namespace

namespace wininet {

BOOL WINAPI GetConnectedState(LPDWORD flags, DWORD reserved)
{
    auto fn = Bind<TGetConnectedState>(g_connected);
    return fn ? fn(flags, reserved) : FALSE;
}

HINTERNET WINAPI Open(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags)
{
    auto fn = Bind<TOpen>(g_open);
    return fn ? fn(agent, access, proxy, bypass, flags) : nullptr;
}

HINTERNET WINAPI OpenUrl(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD headersLength, DWORD flags,
                         DWORD_PTR context)
{
    auto fn = Bind<TOpenUrl>(g_openUrl);
    return fn ? fn(session, url, headers, headersLength, flags, context) : nullptr;
}

BOOL WINAPI Close(HINTERNET handle)
{
    auto fn = Bind<TClose>(g_close);
    return fn ? fn(handle) : FALSE;
}

BOOL WINAPI QueryInfo(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index)
{
    auto fn = Bind<TQueryInfo>(g_queryInfo);
    return fn ? fn(request, level, buffer, length, index) : FALSE;
}

BOOL WINAPI Read(HINTERNET request, LPVOID buffer, DWORD toRead, LPDWORD read)
{
    auto fn = Bind<TReadFile>(g_readFile);
    if (!fn && read) *read = 0;
    return fn ? fn(request, buffer, toRead, read) : FALSE;
}

BOOL WINAPI SetOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length)
{
    auto fn = Bind<TSetOption>(g_setOption);
    return fn ? fn(handle, option, buffer, length) : FALSE;
}

BOOL WINAPI GetLastResponseInfo(LPDWORD error, LPSTR buffer, LPDWORD length)
{
    auto fn = Bind<TGetLastResponseInfo>(g_lastResponse);
    return fn ? fn(error, buffer, length) : FALSE;
}

HMODULE Module()
{
    return g_library;
}

void Free()
{
    for (TEntry* e : {&g_connected, &g_open, &g_openUrl, &g_close, &g_queryInfo, &g_readFile, &g_setOption,
                      &g_lastResponse})
        e->Proc = nullptr;
    if (g_library) FreeLibrary(g_library);
    g_library = nullptr;
}

}  // namespace wininet
