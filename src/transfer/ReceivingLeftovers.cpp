#include "transfer/ReceivingLeftovers.h"

#include "common/FileDescriptor.h"
#include "common/LocalTime.h"
#include "transfer/ProgramFiler.h"
#include "transfer/ProgramFiles.h"

#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>

namespace feedrail {
namespace {

// A program's number stands within its first bytes.
constexpr std::size_t HeadBytes = 4096;

std::vector<std::string> HiddenFiles(const std::string& folder) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name.starts_with(ProgramFiler::HiddenPrefix)) {
            names.emplace_back(name);
        }
    }
    return names;
}

std::string NameOf(int fd, const struct stat& file) {
    std::string head(HeadBytes, '\0');
    const ssize_t count = ::pread(fd, head.data(), head.size(), 0);
    head.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    const auto changed = std::chrono::system_clock::from_time_t(file.st_mtime);
    return ProgramNumber(TextLines(head)).value_or(UnnumberedName(changed)) +
           LocalTimeText(changed, "-incomplete-%Y%m%d-%H%M%S");
}

// Nothing when the file is another's: a link, not a plain file, or still
// locked by the Feedrail that writes it.
std::optional<Leftover> Recover(const std::string& folder, const std::string& name,
                                const std::string& extension) {
    Leftover leftover{folder + name, {}, 0, 0};
    // Read and write: a lock emulated over NFS is exclusive only then.
    const FileDescriptor fd(
        ::open(leftover.Hidden.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat file {};
    struct stat named {};
    if (!fd.Valid() || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(fd.Get(), &file) != 0 ||
        !S_ISREG(file.st_mode)) {
        return std::nullopt;
    }
    // Filed or dropped by its writer while the lock was waited for.
    if (file.st_nlink == 0 || ::lstat(leftover.Hidden.c_str(), &named) != 0 ||
        named.st_ino != file.st_ino || named.st_dev != file.st_dev) {
        return std::nullopt;
    }
    leftover.Bytes = static_cast<std::uint64_t>(file.st_size);
    if (leftover.Bytes == 0) {
        ::unlink(leftover.Hidden.c_str());
        return std::nullopt;
    }
    const NewProgramFile moved =
        MoveNewProgram(leftover.Hidden, folder, NameOf(fd.Get(), file), extension);
    leftover.Path = moved.error == 0 ? moved.path : std::string();
    leftover.Error = moved.error;
    return leftover;
}

} // namespace

std::vector<Leftover> RecoverLeftovers(const std::vector<std::string>& folders,
                                       const std::string& extension) {
    std::vector<Leftover> found;
    for (const std::string& folder : folders) {
        for (const std::string& name : HiddenFiles(folder)) {
            if (auto leftover = Recover(folder, name, extension)) {
                found.push_back(std::move(*leftover));
            }
        }
    }
    return found;
}

} // namespace feedrail
