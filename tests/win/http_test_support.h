// The local test server as the Wine tests see it: its folder through Wine's
// Z: drive (files put into root\ are served), its ports, the URL of a file
// with the server's answer options, and its request log.
// ctest starts the server (fixture http_server_start); by hand:
//   python3 tests/helpers/http_server.py start build/win64/http
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "native/test_package.h"  // Bytes: pseudo-random test data

namespace http_test {

inline std::string WinePath(std::string linux_path)
{
    for (char& c : linux_path)
        if (c == '/') c = '\\';
    return "Z:" + linux_path;
}

inline std::string Folder()
{
    return WinePath(VEL_HTTP_DIR);
}
inline std::string Root()
{
    return Folder() + "\\root";
}

inline std::string ReadAll(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

inline void WriteAll(const std::string& path, const std::string& data)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(data.data(), static_cast<std::streamsize>(data.size()));
}

// The port of "http" or "https"; 0 when the server does not run (or has no TLS).
inline int Port(const std::string& scheme = "http")
{
    std::istringstream lines(ReadAll(Folder() + "\\port"));
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(scheme + "=", 0) == 0) return std::stoi(line.substr(scheme.size() + 1));
    return 0;
}

// A file name no other test or earlier run of this server has used: the
// server counts requests per path.
inline std::string Unique(const std::string& name)
{
    static int counter = 0;
    return "p" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount()) + "_" +
           std::to_string(++counter) + "_" + name;
}

// Serves data under the name (and, with bump=N, `changed` after N requests).
inline void Serve(const std::string& name, const std::string& data, const std::string& changed = "")
{
    WriteAll(Root() + "\\" + name, data);
    if (!changed.empty()) WriteAll(Root() + "\\" + name + ".v2", changed);
}

// Makes the test authority a trusted root of this Wine prefix.
inline bool TrustTestAuthority()
{
    const std::string der = ReadAll(Folder() + "\\tls\\ca.der");
    if (der.empty()) return false;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "ROOT");
    if (!store) return false;
    const BOOL added = CertAddEncodedCertificateToStore(
        store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()),
        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(store, 0);
    return added != FALSE;
}

// "http://127.0.0.1:PORT/OPTIONS/NAME" (OPTIONS "-" for none). Over https
// the host is "localhost": the name the test certificate is made out to
// (Wine matches no IP address of a certificate).
inline std::string Url(const std::string& options, const std::string& name,
                       const std::string& scheme = "http")
{
    const std::string host = scheme == "https" ? "localhost" : "127.0.0.1";
    return scheme + "://" + host + ":" + std::to_string(Port(scheme)) + "/" + options + "/" + name;
}

struct TRequest {
    std::string Path, Agent, Range, IfRange;
    int Status = 0;
    uint64_t Bytes = 0;
    bool Cut = false;
};

// The logged requests of a file name, oldest first.
inline std::vector<TRequest> Requests(const std::string& name)
{
    std::vector<TRequest> found;
    std::istringstream lines(ReadAll(Folder() + "\\requests.log"));
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::size_t at = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', at);
            f.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
            if (tab == std::string::npos) break;
            at = tab + 1;
        }
        if (f.size() != 7) continue;
        const std::string suffix = "/" + name;
        if (f[0].size() < suffix.size() ||
            f[0].compare(f[0].size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        found.push_back({f[0], f[1], f[2], f[3], std::stoi(f[4]), std::stoull(f[5]), f[6] == "cut"});
    }
    return found;
}

// The requests a download made (the probe and the length query use another agent).
inline std::vector<TRequest> Downloads(const std::string& name)
{
    std::vector<TRequest> d;
    for (const TRequest& r : Requests(name))
        if (r.Agent == "HTTP_Connect_3") d.push_back(r);
    return d;
}

}  // namespace http_test
