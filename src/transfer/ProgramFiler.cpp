#include "transfer/ProgramFiler.h"

#include "common/LocalTime.h"
#include "transfer/ProgramFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
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

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            if (count == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

std::string ReadBack(int fd) {
    std::string content;
    char block[ChunkBytes];
    for (off_t at = 0;;) {
        const ssize_t count = ::pread(fd, block, sizeof block, at);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return content;
        }
        content.append(block, static_cast<std::size_t>(count));
        at += count;
    }
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
    // A program cut short by the end of the program stays as far as it came.
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
    lines_ = 0;
    bytes_ = 0;
    inMemory_ = false;
    if (keep_) {
        OpenTemporary();
    }
    ProgramText("%\n");
}

void ProgramFiler::OpenTemporary() {
    for (folder_ = 0; folder_ < folders_.size(); ++folder_) {
        const std::string& folder = folders_[folder_];
        if (folder == LastResortFolder()) {
            std::error_code ignored;
            std::filesystem::create_directories(folder, ignored);
        }
        std::string path = folder + ".feedrail-receiving-XXXXXX";
        fd_ = ::mkostemp(path.data(), O_CLOEXEC);
        if (fd_ >= 0) {
            temporary_ = std::move(path);
            return;
        }
        error_ = errno;
        refused_.push_back(Refusal(folder, error_));
    }
    inMemory_ = true;
}

void ProgramFiler::ProgramText(std::string_view text) {
    bytes_ += text.size();
    lines_ += static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
    if (head_.size() < ChunkBytes) {
        head_.append(text.substr(0, ChunkBytes - head_.size()));
    }
    if (keep_) {
        buffer_.append(text);
        if (!inMemory_ && buffer_.size() >= ChunkBytes) {
            Flush();
        }
    }
}

// A folder that fails in the middle (a full disk) hands what it holds on to
// memory; the program is then saved in the next folder that takes it.
void ProgramFiler::Flush() {
    if (fd_ < 0 || buffer_.empty()) {
        return;
    }
    if (WriteAll(fd_, buffer_)) {
        buffer_.clear();
        return;
    }
    error_ = errno;
    refused_.push_back(Refusal(folders_[folder_], error_));
    buffer_ = ReadBack(fd_) + buffer_;
    Discard();
    inMemory_ = true;
}

void ProgramFiler::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

// A whole program ends in its "%" line; one cut short does not, so that no
// control takes it for whole.
void ProgramFiler::ProgramEnds(Ending ending) {
    if (ending == Ending::Complete) {
        ProgramText("%\n");
    }
    Flush();
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

std::optional<std::string> ProgramFiler::NumberSoFar() const {
    return ProgramNumber(TextLines(head_));
}

std::string ProgramFiler::Name(const FiledProgram& filed) const {
    std::string name = ProgramNumber(TextLines(head_)).value_or(UnnumberedName(now_()));
    if (filed.Ending != Ending::Complete) {
        name += LocalTimeText(now_(), "-incomplete-%Y%m%d-%H%M%S");
    }
    return name;
}

void ProgramFiler::Place(FiledProgram& filed, const std::string& name) {
    std::size_t next = 0;
    if (!inMemory_) {
        const std::string& folder = folders_[folder_];
        if (::fsync(fd_) == 0) {
            const NewProgramFile moved = MoveNewProgram(temporary_, folder, name, extension_);
            if (moved.error == 0) {
                ::close(fd_);
                fd_ = -1;
                temporary_.clear();
                filed.Path = moved.path;
                filed.Refused = refused_;
                return;
            }
            error_ = moved.error;
        } else {
            error_ = errno;
        }
        refused_.push_back(Refusal(folder, error_));
        buffer_ = ReadBack(fd_);
        Discard();
        next = folder_ + 1;
    } else if (fd_ < 0 && temporary_.empty() && folder_ >= folders_.size()) {
        // No folder took the start of it: each may take it now.
        refused_.clear();
    } else {
        next = folder_ + 1;
    }
    for (; next < folders_.size(); ++next) {
        const NewProgramFile saved = SaveNewProgram(folders_[next], name, extension_, buffer_);
        if (saved.error == 0) {
            filed.Path = saved.path;
            break;
        }
        error_ = saved.error;
        refused_.push_back(Refusal(folders_[next], error_));
    }
    filed.Refused = refused_;
    filed.Error = filed.Path.empty() ? error_ : 0;
}

} // namespace feedrail
