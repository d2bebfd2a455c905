// The ceiling of the client under Wine: a bare WinINet read loop (reads of
// the given size, into a file kept open, no progress, no messages).
//   wininet_baseline URL TARGET READ_SIZE   -> "seconds=S"
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 4) return 2;
    const DWORD size = static_cast<DWORD>(std::atoi(argv[3]));
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    HINTERNET session = InternetOpenA("baseline", INTERNET_OPEN_TYPE_PRECONFIG, "", nullptr, 0);
    HINTERNET request = InternetOpenUrlA(session, argv[1], nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    HANDLE out = CreateFileA(argv[2], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (!request || out == INVALID_HANDLE_VALUE) return 1;
    std::vector<char> buffer(size);
    DWORD got = 0, written = 0;
    while (InternetReadFile(request, buffer.data(), size, &got) && got > 0)
        WriteFile(out, buffer.data(), got, &written, nullptr);
    CloseHandle(out);
    QueryPerformanceCounter(&t1);
    InternetCloseHandle(request);
    InternetCloseHandle(session);
    std::printf("seconds=%.3f\n", static_cast<double>(t1.QuadPart - t0.QuadPart) / f.QuadPart);
    return 0;
}
