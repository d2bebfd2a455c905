// Console child for the pipe tests: writes OEM text and a large block to standard output,
// a line to standard error, and exits with the code given as its first argument.
// Arguments: exit code, number of filler bytes (default 40000).
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {
void WriteAll(HANDLE h, const std::string& text)
{
    DWORD done = 0;
    size_t at = 0;
    while (at < text.size() &&
           WriteFile(h, text.data() + at, static_cast<DWORD>(text.size() - at), &done, nullptr) && done > 0)
        at += done;
}
}  // namespace

int main(int argc, char** argv)
{
    const int code = argc > 1 ? std::atoi(argv[1]) : 0;
    const long filler = argc > 2 ? std::atol(argv[2]) : 40000;
    // "Gr\x81\xE1" "e" is u-umlaut and sharp s in the OEM code pages 437 and 850.
    std::string out = "OEM:Gr\x81\xE1"
                      "e\r\n";
    out += std::string(static_cast<size_t>(filler), 'x');
    out += "\r\nEND\r\n";
    WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), out);
    WriteAll(GetStdHandle(STD_ERROR_HANDLE), "problem reported\r\n");
    return code;
}
