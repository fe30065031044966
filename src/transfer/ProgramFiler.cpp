#include "transfer/ProgramFiler.h"

#include "common/FileDescriptor.h"
#include "common/LocalTime.h"
#include "transfer/EarlierVersions.h"
#include "transfer/ProgramFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace feedrail {
namespace {

// Bytes gathered before they go to the file, and the most of a program's
// start kept for its number.
constexpr std::size_t ChunkBytes = 64 * 1024;

std::string Refusal(const std::string& folder, int error) {
    return folder + ": " + std::strerror(error);
}

// Writes all of `bytes`; `written` says how many went when it fails.
bool WriteAll(int fd, std::string_view bytes, std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            if (count == 0) {
                errno = EIO;
            }
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

// A hidden file of our own in `folder`, made as Save makes files, so that the
// umask and not a temporary file's private mode decides who may read it.
int OpenHidden(const std::string& folder, std::string& path) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[16];
        std::snprintf(name, sizeof name, "%08x", static_cast<unsigned>(random()));
        path = folder + std::string(ProgramFiler::HiddenPrefix) + name;
        const int fd = ::open(path.c_str(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// A hidden file under its writer's lock, which tells a later start whether
// the writer is gone. One that a start looking for leftovers locked first
// (between the file's making and its lock) is left to it for a new one.
int OpenLockedHidden(const std::string& folder, std::string& path) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = OpenHidden(folder, path);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) {
            // A file system without locks keeps the file unlocked.
            return fd;
        }
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

// Hands the first `size` bytes of `from` to `consume` a block at a time;
// false when they cannot all be read.
bool ReadBack(int from, std::uint64_t size, const std::function<bool(std::string_view)>& consume) {
    char block[ChunkBytes];
    for (std::uint64_t at = 0; at < size;) {
        const ssize_t count = ::pread(from, block, std::min<std::uint64_t>(sizeof block, size - at),
                                      static_cast<off_t>(at));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            errno = count == 0 ? EIO : errno;
            return false;
        }
        if (!consume({block, static_cast<std::size_t>(count)})) {
            return false;
        }
        at += static_cast<std::uint64_t>(count);
    }
    return true;
}

} // namespace

std::string LastResortFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string base;
    if (data != nullptr && data[0] == '/') {
        base = data;
    } else if (home != nullptr && home[0] != '\0') {
        base = std::string(home) + "/.local/share";
    } else {
        return {};
    }
    return base + "/feedrail/received/";
}

ProgramFiler::ProgramFiler(std::function<void(FiledProgram)> filed,
                           std::function<Clock::time_point()> now)
    : filed_(std::move(filed)), now_(std::move(now)) {}

ProgramFiler::~ProgramFiler() {
    // A program cut short by the end of the program stays as far as it came;
    // the next start finds it and keeps it as incomplete.
    if (fd_ >= 0) {
        Flush();
        ::close(fd_);
    }
}

void ProgramFiler::SetPlaces(std::vector<std::string> folders, std::string extension, bool keep,
                             bool requests) {
    folders_.clear();
    for (std::string& folder : folders) {
        if (!folder.empty() &&
            std::find(folders_.begin(), folders_.end(), folder) == folders_.end()) {
            folders_.push_back(std::move(folder));
        }
    }
    extension_ = std::move(extension);
    keep_ = keep;
    requests_ = requests;
}

void ProgramFiler::ProgramBegins() {
    Discard();
    refused_.clear();
    error_ = 0;
    buffer_.clear();
    head_.clear();
    lost_.clear();
    lines_ = 0;
    bytes_ = 0;
    inMemory_ = false;
    flushed_ = now_();
    began_ = flushed_;
    if (keep_) {
        OpenTemporary(0);
    }
    ProgramText("%\n");
}

void ProgramFiler::OpenTemporary(std::size_t from) {
    for (folder_ = from; folder_ < folders_.size(); ++folder_) {
        const std::string& folder = folders_[folder_];
        if (folder == LastResortFolder()) {
            std::error_code ignored;
            std::filesystem::create_directories(folder, ignored);
        }
        std::string path;
        fd_ = OpenLockedHidden(folder, path);
        if (fd_ >= 0) {
            temporary_ = std::move(path);
            written_ = 0;
            inMemory_ = false;
            return;
        }
        Refuse(folder, errno);
    }
    inMemory_ = true;
}

void ProgramFiler::Refuse(const std::string& place, int error) {
    error_ = error;
    std::string refusal = Refusal(place, error);
    if (std::find(refused_.begin(), refused_.end(), refusal) == refused_.end()) {
        refused_.push_back(std::move(refusal));
    }
}

void ProgramFiler::ProgramText(std::string_view text) {
    bytes_ += text.size();
    lines_ += static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
    if (head_.size() < ChunkBytes) {
        head_.append(text.substr(0, ChunkBytes - head_.size()));
    }
    if (!keep_ || !lost_.empty()) {
        return;
    }
    buffer_.append(text);
    if (inMemory_) {
        HoldInMemory(0);
    } else if (buffer_.size() >= ChunkBytes || now_() - flushed_ >= FlushInterval) {
        Flush();
    }
}

// A program no folder takes is held in memory only up to a bound.
void ProgramFiler::HoldInMemory(std::uint64_t elsewhere) {
    if (elsewhere + buffer_.size() > MemoryBytes) {
        lost_ = "no folder took it, and it is longer than the " +
                std::to_string(MemoryBytes >> 20) + " MiB held in memory";
        buffer_.clear();
        buffer_.shrink_to_fit();
    }
}

void ProgramFiler::Flush() {
    flushed_ = now_();
    while (fd_ >= 0 && !buffer_.empty()) {
        std::size_t written = 0;
        if (WriteAll(fd_, buffer_, written)) {
            written_ += buffer_.size();
            buffer_.clear();
            return;
        }
        Refuse(folders_[folder_], errno);
        // What went before the failure moves on with the file, never twice.
        written_ += written;
        buffer_.erase(0, written);
        MoveOn();
    }
}

// A folder that fails in the middle (a full disk) hands what its hidden file
// holds, from the program's first byte, to the next folder that takes it,
// else to memory.
void ProgramFiler::MoveOn() {
    const FileDescriptor failed(std::exchange(fd_, -1));
    const std::string failedPath = std::exchange(temporary_, {});
    const std::uint64_t held = written_;
    for (OpenTemporary(folder_ + 1); fd_ >= 0; OpenTemporary(folder_ + 1)) {
        if (ReadBack(failed.Get(), held, [this](std::string_view block) {
                std::size_t written = 0;
                return WriteAll(fd_, block, written);
            })) {
            written_ = held;
            break;
        }
        Refuse(folders_[folder_], errno);
        Discard();
    }
    if (fd_ < 0) {
        HoldInMemory(held);
        std::string kept;
        if (lost_.empty() && ReadBack(failed.Get(), held, [&kept](std::string_view block) {
                kept.append(block);
                return true;
            })) {
            buffer_.insert(0, kept);
        } else if (lost_.empty()) {
            lost_ = "what was written to " + failedPath + " could not be read back";
            buffer_.clear();
        }
    }
    ::unlink(failedPath.c_str());
}

// The name goes before the lock does, so that no start takes the file for
// one whose writer is gone.
void ProgramFiler::Discard() {
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

// A whole program ends in its "%" line; one cut short does not, so that no
// control takes it for whole.
void ProgramFiler::ProgramEnds(Ending ending) {
    if (ending == Ending::Complete) {
        ProgramText("%\n");
    }
    FiledProgram filed;
    filed.Lines = lines_;
    filed.Bytes = bytes_;
    filed.Ending = ending;
    if (requests_ && ending == Ending::Complete && bytes_ <= RequestBytes) {
        filed.Request = RequestedNumber(TextLines(head_));
    }
    if (filed.Request || !keep_) {
        Discard();
    } else {
        Place(filed, Name(filed));
    }
    buffer_.clear();
    filed_(std::move(filed));
}

std::chrono::milliseconds ProgramFiler::ElapsedSoFar() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(now_() - began_);
}

std::optional<std::string> ProgramFiler::NumberSoFar() const {
    return ProgramNumber(TextLines(head_));
}

std::string ProgramFiler::Name(const FiledProgram& filed) const {
    std::string name = ProgramNumber(TextLines(head_)).value_or(UnnumberedName(now_()));
    if (filed.Ending != Ending::Complete) {
        name += std::string(IncompleteMark) + LocalTimeText(now_(), "%Y%m%d-%H%M%S");
    }
    return name;
}

void ProgramFiler::Place(FiledProgram& filed, const std::string& name) {
    for (Flush(); fd_ >= 0 && lost_.empty(); Flush()) {
        const int error = MoveIntoPlace(filed, name);
        if (error == 0) {
            filed.Refused = refused_;
            return;
        }
        Refuse(folders_[folder_], error);
        MoveOn();
    }
    if (lost_.empty()) {
        SaveFromMemory(filed, name);
    } else {
        Discard();
        refused_.push_back(lost_);
        error_ = error_ != 0 ? error_ : EIO;
    }
    filed.Refused = refused_;
    filed.Error = filed.Path.empty() ? error_ : 0;
}

// The hidden file becomes the program once it holds all of it, on the disk.
int ProgramFiler::MoveIntoPlace(FiledProgram& filed, const std::string& name) {
    struct stat file {};
    if (::fsync(fd_) != 0 || ::fstat(fd_, &file) != 0) {
        return errno;
    }
    if (static_cast<std::uint64_t>(file.st_size) != bytes_) {
        return EIO;
    }
    const std::string& folder = folders_[folder_];
    const EarlierVersion earlier = FreeName(folder, name);
    const NewProgramFile moved = MoveNewProgram(temporary_, folder, name, extension_);
    if (moved.error != 0) {
        RestoreEarlierVersion(earlier, folder + name + extension_);
        return moved.error;
    }
    ::close(fd_);
    fd_ = -1;
    temporary_.clear();
    filed.Path = moved.path;
    filed.EarlierVersion = earlier.Path;
    return 0;
}

// An earlier version that cannot be moved keeps its name, and the program
// takes the next free one, as without versions. One moved goes back when
// the program cannot be saved after all: a folder never loses its program.
EarlierVersion ProgramFiler::FreeName(const std::string& folder, const std::string& name) const {
    return versions_ ? KeepEarlierVersion(folder, name, extension_) : EarlierVersion{};
}

// No folder took the program as it came: each may take it now, whole.
void ProgramFiler::SaveFromMemory(FiledProgram& filed, const std::string& name) {
    if (buffer_.size() != bytes_) {
        refused_.push_back("the program held in memory is not whole");
        error_ = EIO;
        return;
    }
    for (const std::string& folder : folders_) {
        const EarlierVersion earlier = FreeName(folder, name);
        const NewProgramFile saved = SaveNewProgram(folder, name, extension_, buffer_);
        if (saved.error == 0) {
            filed.Path = saved.path;
            filed.EarlierVersion = earlier.Path;
            return;
        }
        RestoreEarlierVersion(earlier, folder + name + extension_);
        Refuse(folder, saved.error);
    }
}

} // namespace feedrail
