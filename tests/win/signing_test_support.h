// Authenticode material for the Wine tests: throwaway code-signing
// certificates made by openssl and files signed by osslsigncode, both run on
// the Linux side in VEL_SIGN_DIR (seen from Wine through Z:).
//
// Wine starts a Unix program from CreateProcess but hands back no process
// to wait on, so each job leaves its exit status in a file that the test
// waits for.
#pragma once

#include <windows.h>

#include <string>

#include "pkgtool/certificate.h"
#include "win/http_test_support.h"  // WinePath, ReadAll, WriteAll

namespace signing_test {

inline std::string UnixFolder()
{
    return VEL_SIGN_DIR;
}

// Runs `script` under /bin/sh in UnixFolder; true when it ended with 0 within
// a minute. `log` gets its output.
inline bool RunShell(const std::string& script, std::string* log = nullptr)
{
    static int counter = 0;
    CreateDirectoryA(http_test::WinePath(UnixFolder()).c_str(), nullptr);
    const std::string job = "job" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
    const std::string unixJob = UnixFolder() + "/" + job;
    const std::string status = http_test::WinePath(unixJob + ".status");
    DeleteFileA(status.c_str());
    http_test::WriteAll(http_test::WinePath(unixJob + ".sh"),
                        "cd '" + UnixFolder() + "' || exit 1\n( set -e\n" + script + "\n) >'" + unixJob +
                            ".log' 2>&1\necho $? >'" + unixJob + ".status.tmp'\nmv '" + unixJob +
                            ".status.tmp' '" + unixJob + ".status'\n");
    std::string line = "/bin/sh \"" + unixJob + ".sh\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hThread) CloseHandle(pi.hThread);
    if (pi.hProcess) CloseHandle(pi.hProcess);
    for (int i = 0; i < 600 && GetFileAttributesA(status.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    if (log) *log = http_test::ReadAll(http_test::WinePath(unixJob + ".log"));
    return http_test::ReadAll(status).rfind("0", 0) == 0;
}

// A self-signed code-signing certificate NAME.pem (with NAME.key and
// NAME.der) in UnixFolder, made once for the build folder (valid ten years).
inline bool MakeCertificate(const std::string& name)
{
    const std::string pem = http_test::WinePath(UnixFolder() + "/" + name + ".pem");
    if (GetFileAttributesA(pem.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    return RunShell("openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj '/CN=Velmora Test " + name +
                    "' -addext extendedKeyUsage=codeSigning -keyout " + name + ".key -out " + name +
                    ".tmp\nopenssl x509 -in " + name + ".tmp -outform DER -out " + name + ".der\nmv " + name +
                    ".tmp " + name + ".pem");
}

// SHA-256 thumbprint of certificate NAME, as pkgtool stores it.
inline std::string Thumbprint(const std::string& name)
{
    std::string hex, error;
    CertificateThumbprint(http_test::ReadAll(http_test::WinePath(UnixFolder() + "/" + name + ".der")), hex,
                          error);
    return hex;
}

// `package` with its package end stored in the DOS header, so that a
// signature appended behind it leaves the package readable.
inline std::string WithStoredEnd(std::string package)
{
    const uint64_t end = package.size();
    for (int i = 0; i < 4; ++i) {
        package[248 + i] = static_cast<char>((end >> 32) >> (8 * i));
        package[252 + i] = static_cast<char>(end >> (8 * i));
    }
    return package;
}

// `package` (stored end added) signed with certificate NAME; "" on failure.
inline std::string Signed(const std::string& package, const std::string& name)
{
    static int counter = 0;
    const std::string stem = "sign" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
    http_test::WriteAll(http_test::WinePath(UnixFolder() + "/" + stem + ".in"), WithStoredEnd(package));
    std::string log;
    if (!MakeCertificate(name) || !RunShell("osslsigncode sign -certs " + name + ".pem -key " + name +
                                                ".key -h sha256 -in " + stem + ".in -out " + stem + ".out",
                                            &log))
        return "";
    return http_test::ReadAll(http_test::WinePath(UnixFolder() + "/" + stem + ".out"));
}

}  // namespace signing_test
