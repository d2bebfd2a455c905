// The extraction engine's host for the native build: no window system, so
// no pumping, a disk prompt counts as cancelled and errors go to stderr.
#ifndef _WIN32

#include "package/unpack.h"

#include <iostream>
#include <unistd.h>

TUnPackHost DefaultUnPackHost()
{
    TUnPackHost host;
    host.ShowError = [](const std::string& text) { std::cerr << text << std::endl; };
    host.ConfirmOkCancel = [](const std::string&, const std::string&, int, const std::string&) {
        return false;
    };
    host.ProcessId = [] { return static_cast<unsigned long>(getpid()); };
    return host;
}

#endif
