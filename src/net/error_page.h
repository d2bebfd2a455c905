// Whether a downloaded file or body is the server's HTML page (typically its
// "404" page) instead of the expected file, and the message that says so.
#pragma once

#include <cstddef>
#include <string>

// Only the first 1,000 bytes are looked at.
constexpr std::size_t kErrorPageWindow = 1000;

// When the path names an existing file, its first 1,000 bytes are examined
// instead of `content`. True when, ignoring case, "<TITLE" comes before
// "404" and "404" before "</TITLE>", or when "<HTML>", "<HEAD>", "<TITLE>"
// and "</TITLE>" come in that order: any HTML page whose head has a title.
bool IsErrorPage(const std::string& path, const std::string& content);

// The markup message naming the URL when IsErrorPage holds, else the default.
std::string ErrorPageMessage(const std::string& path, const std::string& content, const std::string& url,
                             const std::string& defaultMessage);

// The message itself, for a URL.
std::string NotFoundPageMessage(const std::string& url);
