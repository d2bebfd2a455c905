// The inflate side of zlib for the file records of a package (RFC 1950
// streams). The only exception this system raises itself is EZLibError.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <exception>
#include <string>

// A standard error with its own copy of the message: std::runtime_error would
// bring the runtime's second string implementation into the launcher.
class EZLibError : public std::exception {
public:
    explicit EZLibError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Inflates a whole zlib stream. Raises EZLibError with zlib's message on a
// damaged, truncated or dictionary-bound stream.
std::string InflateToString(const std::string& compressed);

// Inflates a zlib stream fed in pieces, handing the output on in pieces of
// bounded size, so a record of any size needs only a fixed amount of memory.
class TInflater {
public:
    using TOutput = std::function<void(const char* data, std::size_t count)>;

    TInflater();
    ~TInflater();
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;

    // Inflates the next piece of input; raises EZLibError on a bad stream.
    // Input after the end of the stream is ignored.
    void Feed(const char* data, std::size_t count, const TOutput& output);
    // True once the end of the stream was reached.
    bool Finished() const { return finished_; }

private:
    struct TState;
    std::unique_ptr<TState> state_;
    bool finished_ = false;
};
