// One SHA-256 computation in the platform's crypto library: the system
// provider on Windows, libgcrypt elsewhere. Sha256OfData and Sha256OfFile
// (net/sha256.h) feed it; nothing else needs it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class TSha256Context {
public:
    TSha256Context();
    ~TSha256Context();
    TSha256Context(const TSha256Context&) = delete;
    TSha256Context& operator=(const TSha256Context&) = delete;

    // False where the library offers no SHA-256.
    bool Available() const;
    bool Add(const char* data, std::size_t count);
    // The digest as 64 lower-case hexadecimal digits.
    bool Finish(std::string& hex);

private:
    struct TState;
    std::unique_ptr<TState> state_;
};
