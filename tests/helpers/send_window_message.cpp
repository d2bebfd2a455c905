// Sends one message to the top-level window of a class from another process,
// as a controller does, and ends with the answer as its exit code.
//   send_window_message CLASS MESSAGE WPARAM LPARAM
// Exit code 9999 when no such window exists or the send fails.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 5) return 9998;
    HWND window = FindWindowA(argv[1], nullptr);
    if (!window) return 9999;
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, static_cast<UINT>(std::strtoul(argv[2], nullptr, 10)),
                             static_cast<WPARAM>(std::strtoll(argv[3], nullptr, 10)),
                             static_cast<LPARAM>(std::strtoll(argv[4], nullptr, 10)), SMTO_NORMAL, 20000,
                             &answer))
        return 9999;
    std::printf("%ld\n", static_cast<long>(answer));
    return static_cast<int>(answer);
}
