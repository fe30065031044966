#include "service/ProgramFileLines.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
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
            ++TextBytes;
            if (++length_ > MaxLineBytes && Overlong == 0) {
                Overlong = Count + 1;
            }
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
    length_ = 0;
    Count += lines;
    if (keep_) {
        Lines.push_back({std::move(current_), 1});
        current_.clear();
        if (lines > 1) {
            Lines.push_back({{}, lines - 1});
        }
    }
}

int ProgramFileLines::Open(const std::string& path, const std::stop_token& stop) {
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
    std::uint64_t read = 0;
    for (std::string piece; !(piece = ReadPiece(fd_.Get(), error)).empty();) {
        if (stop.stop_requested()) {
            error = ECANCELED;
            break;
        }
        counter.Take(piece);
        read += piece.size();
    }
    counter.End();
    // Written to while it was counted: its count would not hold.
    if (error == 0 && read != static_cast<std::uint64_t>(file.st_size)) {
        error = EAGAIN;
    }
    if (error != 0 || !Rewind()) {
        error = error != 0 ? error : errno;
        fd_.Reset();
        return error;
    }
    path_ = path;
    size_ = read;
    changed_ = file.st_mtim;
    count_ = counter.Count;
    textBytes_ = counter.TextBytes;
    overlong_ = counter.Overlong;
    return 0;
}

std::string ProgramFileLines::RealPath() const {
    char real[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd_.Get());
    const ssize_t length = ::readlink(link.c_str(), real, sizeof real);
    return length > 0 ? std::string(real, static_cast<std::size_t>(length)) : std::string();
}

void ProgramFileLines::Close() {
    fd_.Reset();
    path_.clear();
    count_ = 0;
    textBytes_ = 0;
}

bool ProgramFileLines::Rewind() {
    if (::lseek(fd_.Get(), 0, SEEK_SET) != 0) {
        return false;
    }
    splitter_ = Splitter(true);
    ended_ = false;
    read_ = 0;
    next_ = 1;
    return true;
}

bool ProgramFileLines::Fill() {
    if (ended_) {
        return false;
    }
    int error = 0;
    const std::string piece = ReadPiece(fd_.Get(), error);
    if (error != 0) {
        throw std::runtime_error("cannot read " + path_ + ": " + std::strerror(error));
    }
    read_ += piece.size();
    CheckUnchanged(read_);
    if (piece.empty()) {
        splitter_.End();
        ended_ = true;
    } else {
        splitter_.Take(piece);
    }
    return true;
}

void ProgramFileLines::CheckUnchanged(std::uint64_t readTo) const {
    struct stat file {};
    if (::fstat(fd_.Get(), &file) != 0 || static_cast<std::uint64_t>(file.st_size) != size_ ||
        file.st_mtim.tv_sec != changed_.tv_sec || file.st_mtim.tv_nsec != changed_.tv_nsec ||
        readTo > size_) {
        throw std::runtime_error(path_ + " was changed while it was sent");
    }
}

std::string ProgramFileLines::Line(int line) {
    if (line < 1 || line > count_ || !fd_.Valid() || (line < next_ && !Rewind())) {
        return {};
    }
    for (;;) {
        while (!splitter_.Lines.empty()) {
            Splitter::Run& run = splitter_.Lines.front();
            const bool wanted = next_++ == line;
            std::string text = --run.Times == 0 ? std::move(run.Text) : run.Text;
            if (run.Times == 0) {
                splitter_.Lines.pop_front();
            }
            if (wanted) {
                return text;
            }
        }
        if (!Fill()) {
            // Fewer lines than were counted: the file is not the one opened.
            throw std::runtime_error(path_ + " was changed while it was sent");
        }
    }
}

} // namespace feedrail
