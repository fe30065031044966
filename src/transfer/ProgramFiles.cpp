#include "transfer/ProgramFiles.h"

#include "common/FileDescriptor.h"
#include "common/LocalTime.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace feedrail {
namespace {

namespace fs = std::filesystem;

// The most digits a program number has.
constexpr std::size_t MostDigits = 16;
// Saving gives up after this many names taken.
constexpr int MostSuffixes = 9999;

bool Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && Blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && Blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool Digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The program-number word at the start of `line` and what follows it.
std::optional<std::pair<std::string, std::string_view>> SplitNumberLine(std::string_view line) {
    line = Trimmed(line);
    // ISO controls may write ":" for the letter O.
    if (line.size() < 2 || (line[0] != 'O' && line[0] != 'o' && line[0] != ':') ||
        !Digit(line[1])) {
        return std::nullopt;
    }
    std::size_t end = 1;
    while (end < line.size() && Digit(line[end])) {
        ++end;
    }
    // A number that long is no program number a control gives, and would
    // not fit a file name.
    if (end - 1 > MostDigits) {
        return std::nullopt;
    }
    return std::pair{"O" + std::string(line.substr(1, end - 1)), Trimmed(line.substr(end))};
}

bool Comment(std::string_view text) {
    return text.empty() || (text.front() == '(' && text.back() == ')');
}

int WriteNew(const std::string& path, std::string_view content) {
    FileDescriptor file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
    if (!file.Valid()) {
        return errno;
    }
    while (!content.empty()) {
        const ssize_t count = ::write(file.Get(), content.data(), content.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            const int error = count < 0 ? errno : EIO;
            ::unlink(path.c_str());
            return error;
        }
        content.remove_prefix(static_cast<std::size_t>(count));
    }
    if (::fsync(file.Get()) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        return error;
    }
    return 0;
}

} // namespace

std::optional<std::string> ProgramNumberOfLine(std::string_view line) {
    if (const auto split = SplitNumberLine(line)) {
        return split->first;
    }
    return std::nullopt;
}

std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::optional<std::string> ProgramNumber(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (const auto number = ProgramNumberOfLine(line)) {
            return number;
        }
    }
    return std::nullopt;
}

std::optional<std::string> RequestedNumber(const std::vector<std::string>& lines) {
    std::optional<std::string> number;
    for (const std::string& line : lines) {
        const std::string_view text = Trimmed(line);
        if (text.empty() || text == "%") {
            continue;
        }
        const auto split = SplitNumberLine(text);
        if (number || !split || !Comment(split->second)) {
            return std::nullopt;
        }
        number = split->first;
    }
    return number;
}

std::string UnnumberedName(std::chrono::system_clock::time_point when) {
    return LocalTimeText(when, "received-%Y%m%d-%H%M%S");
}

NewProgramFile SaveNewProgram(const std::string& folder, const std::string& name,
                              const std::string& extension, std::string_view content) {
    NewProgramFile saved;
    for (int suffix = 1; suffix <= MostSuffixes; ++suffix) {
        const std::string tail = suffix == 1 ? "" : "-" + std::to_string(suffix);
        saved.path = folder + name + tail + extension;
        saved.error = WriteNew(saved.path, content);
        if (saved.error != EEXIST) {
            return saved;
        }
    }
    return saved;
}

bool SameProgramNumber(std::string_view a, std::string_view b) {
    const auto digits = [](std::string_view number) {
        number.remove_prefix(1);
        while (number.size() > 1 && number.front() == '0') {
            number.remove_prefix(1);
        }
        return number;
    };
    return a.size() > 1 && b.size() > 1 && digits(a) == digits(b);
}

NewProgramFile MoveNewProgram(const std::string& file, const std::string& folder,
                              const std::string& name, const std::string& extension) {
    NewProgramFile moved;
    for (int suffix = 1; suffix <= MostSuffixes; ++suffix) {
        const std::string tail = suffix == 1 ? "" : "-" + std::to_string(suffix);
        moved.path = folder + name + tail + extension;
        // A second name for the file never replaces one that is there.
        if (::link(file.c_str(), moved.path.c_str()) == 0) {
            ::unlink(file.c_str());
            moved.error = 0;
            return moved;
        }
        moved.error = errno;
        if (moved.error == EEXIST) {
            continue;
        }
        // File systems without hard links: a rename, once the name is free.
        std::error_code error;
        if (moved.error == EPERM || moved.error == ENOTSUP || moved.error == ENOSYS) {
            if (fs::exists(moved.path, error)) {
                continue;
            }
            moved.error = ::rename(file.c_str(), moved.path.c_str()) == 0 ? 0 : errno;
        }
        return moved;
    }
    return moved;
}

} // namespace feedrail
