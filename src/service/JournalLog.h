#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace feedrail {

// The service's messages, one line each on standard error with the priority
// prefix the systemd journal reads ("<4>"); lines of several machines
// written at once never mix.
class JournalLog {
public:
    enum Priority { Error = 3, Warning = 4, Notice = 5, Info = 6 };

    explicit JournalLog(std::FILE* out = stderr) : out_(out) {}

    void Write(Priority priority, std::string_view text);

private:
    std::mutex mutex_;
    std::FILE* out_;
};

// `text` as one journal line: line breaks and other control characters
// become blanks.
std::string JournalLine(JournalLog::Priority priority, std::string_view text);

} // namespace feedrail
