#include "service/ProgramFileLines.h"

#include "common/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

constexpr std::size_t PieceBytes = 64 * 1024;

} // namespace

int ProgramFileLines::Open(const std::string& path) {
    Close();
    int lines = 0;
    bool open = false;
    bool heldCr = false;
    const int error = ReadRegularFile(path, [&](std::string_view piece) {
        for (const char byte : piece) {
            if (byte == '\n' && heldCr) {
                heldCr = false;
                continue;
            }
            heldCr = byte == '\r';
            if (byte == '\n' || byte == '\r') {
                ++lines;
                open = false;
            } else {
                open = true;
            }
        }
    });
    if (error != 0) {
        return error;
    }
    path_ = path;
    count_ = lines + (open ? 1 : 0);
    return Rewind() ? 0 : errno;
}

void ProgramFileLines::Close() {
    fd_.Reset();
    path_.clear();
    count_ = 0;
}

bool ProgramFileLines::Rewind() {
    fd_ = FileDescriptor(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat file {};
    if (!fd_.Valid() || ::fstat(fd_.Get(), &file) != 0) {
        return false;
    }
    if (!S_ISREG(file.st_mode)) {
        fd_.Reset();
        errno = EINVAL;
        return false;
    }
    buffer_.clear();
    at_ = 0;
    ended_ = false;
    next_ = 1;
    return true;
}

std::string ProgramFileLines::Line(int line) {
    if (line < 1 || line > count_) {
        return {};
    }
    if ((line < next_ && !Rewind()) || !fd_.Valid()) {
        return {};
    }
    while (next_ < line) {
        NextLine();
    }
    return NextLine();
}

bool ProgramFileLines::Fill() {
    if (ended_) {
        return false;
    }
    buffer_.erase(0, at_);
    at_ = 0;
    const std::size_t held = buffer_.size();
    buffer_.resize(held + PieceBytes);
    ssize_t count = 0;
    do {
        count = ::read(fd_.Get(), buffer_.data() + held, PieceBytes);
    } while (count < 0 && errno == EINTR);
    buffer_.resize(held + static_cast<std::size_t>(count > 0 ? count : 0));
    ended_ = count <= 0;
    return count > 0;
}

std::string ProgramFileLines::NextLine() {
    ++next_;
    for (std::size_t from = at_;;) {
        const std::size_t end = buffer_.find_first_of("\r\n", from);
        if (end == std::string::npos || (buffer_[end] == '\r' && end + 1 == buffer_.size())) {
            // The line, or a CR that may be a CR LF, goes on in the next piece.
            from = buffer_.size() - at_;
            if (end != std::string::npos) {
                --from;
            }
            if (!Fill()) {
                std::string rest = buffer_.substr(at_);
                if (!rest.empty() && rest.back() == '\r') {
                    rest.pop_back();
                }
                at_ = buffer_.size();
                return rest;
            }
            from += at_;
            continue;
        }
        std::string text = buffer_.substr(at_, end - at_);
        at_ = end + 1;
        if (buffer_[end] == '\r' && at_ < buffer_.size() && buffer_[at_] == '\n') {
            ++at_;
        }
        return text;
    }
}

} // namespace feedrail
