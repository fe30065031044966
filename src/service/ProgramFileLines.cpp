#include "service/ProgramFileLines.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

constexpr std::size_t PieceBytes = 64 * 1024;

// A piece of the file; empty at its end or on a failure (`error` set).
std::string ReadPiece(int fd, int& error) {
    std::string piece(PieceBytes, '\0');
    ssize_t count = 0;
    do {
        count = ::read(fd, piece.data(), piece.size());
    } while (count < 0 && errno == EINTR);
    error = count < 0 ? errno : 0;
    piece.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return piece;
}

} // namespace

void ProgramFileLines::Splitter::Take(std::string_view bytes) {
    for (const char byte : bytes) {
        if (byte == '\r') {
            ++crs_;
        } else if (byte == '\n') {
            // The CR before the LF is dropped; what CR is left before it
            // makes CR LF, one line end.
            Emit(crs_ >= 2 ? crs_ - 1 : 1);
        } else {
            if (crs_ > 0) {
                Emit(crs_);
            }
            open_ = true;
            if (keep_) {
                current_ += byte;
            }
        }
    }
}

void ProgramFileLines::Splitter::End() {
    if (crs_ > 0) {
        Emit(crs_);
    } else if (open_) {
        Emit(1);
    }
}

// The current line ends, and `lines` - 1 empty ones after it.
void ProgramFileLines::Splitter::Emit(int lines) {
    crs_ = 0;
    open_ = false;
    Count += lines;
    if (keep_) {
        Lines.push_back(std::move(current_));
        current_.clear();
        for (int i = 1; i < lines; ++i) {
            Lines.emplace_back();
        }
    }
}

int ProgramFileLines::Open(const std::string& path) {
    Close();
    fd_.Reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat file {};
    if (!fd_.Valid() || ::fstat(fd_.Get(), &file) != 0) {
        const int error = errno;
        fd_.Reset();
        return error;
    }
    // A pipe or a device under the name is never waited on.
    if (!S_ISREG(file.st_mode)) {
        fd_.Reset();
        return EINVAL;
    }
    Splitter counter(false);
    int error = 0;
    for (std::string piece; !(piece = ReadPiece(fd_.Get(), error)).empty();) {
        counter.Take(piece);
    }
    counter.End();
    if (error != 0 || !Rewind()) {
        error = error != 0 ? error : errno;
        fd_.Reset();
        return error;
    }
    path_ = path;
    count_ = counter.Count;
    return 0;
}

void ProgramFileLines::Close() {
    fd_.Reset();
    path_.clear();
    count_ = 0;
}

bool ProgramFileLines::Rewind() {
    if (::lseek(fd_.Get(), 0, SEEK_SET) != 0) {
        return false;
    }
    splitter_ = Splitter(true);
    ended_ = false;
    next_ = 1;
    return true;
}

bool ProgramFileLines::Fill() {
    if (ended_) {
        return false;
    }
    int error = 0;
    const std::string piece = ReadPiece(fd_.Get(), error);
    if (piece.empty()) {
        splitter_.End();
        ended_ = true;
    } else {
        splitter_.Take(piece);
    }
    return true;
}

std::string ProgramFileLines::Line(int line) {
    if (line < 1 || line > count_ || !fd_.Valid() || (line < next_ && !Rewind())) {
        return {};
    }
    for (;;) {
        while (!splitter_.Lines.empty()) {
            std::string text = std::move(splitter_.Lines.front());
            splitter_.Lines.pop_front();
            if (next_++ == line) {
                return text;
            }
        }
        if (!Fill()) {
            return {};
        }
    }
}

} // namespace feedrail
