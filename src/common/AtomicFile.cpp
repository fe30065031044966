#include "common/AtomicFile.h"

#include "common/FileDescriptor.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

int WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t count = ::write(fd, data.data(), data.size());
        if (count < 0 && errno != EINTR) {
            return errno;
        }
        if (count > 0) {
            data.remove_prefix(static_cast<std::size_t>(count));
        }
    }
    return 0;
}

// As many links as the system follows before it calls them a loop.
constexpr int MostLinkHops = 40;

// Creates a new temporary file beside the target. Its mode follows the
// umask, like any new file.
FileDescriptor CreateTemporary(const std::string& target, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path targetPath(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Short, whatever the target's name: a name near the longest a folder
        // takes would not leave room for more.
        name = (targetPath.parent_path() / (".feedrail-" + std::to_string(::getpid()) + "." +
                                            std::to_string(counter++) + ".tmp"))
                   .string();
        FileDescriptor file(
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
        if (file.Valid() || errno != EEXIST) {
            return file;
        }
    }
    return FileDescriptor(-1);
}

// Whether an existing file may be replaced. The rename needs only a writable
// folder, so the file's own permissions are checked here, for the effective
// user as a write through open() would be. Root passes that check for every
// file; a file without any write bit is one somebody marked read-only on
// purpose, and even root keeps it.
int CheckReplaceable(const std::string& target, const struct stat& info) {
    if (!S_ISREG(info.st_mode)) {
        return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    }
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return EACCES;
    }
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return errno;
    }
    return 0;
}

// EPERM: only root may give a file away, and only to a group the user is in.
// EINVAL: an owner this user namespace cannot name.
bool OwnerRefused(int error) {
    return error == EPERM || error == EINVAL;
}

// Gives the new file the old one's owner and group; a user who may not keeps
// at least the group if they belong to it, and otherwise the file is theirs.
int KeepOwner(int fd, const struct stat& info) {
    if (::fchown(fd, info.st_uid, info.st_gid) == 0) {
        return 0;
    }
    if (!OwnerRefused(errno)) {
        return errno;
    }
    if (::fchown(fd, static_cast<uid_t>(-1), info.st_gid) != 0 && !OwnerRefused(errno)) {
        return errno;
    }
    return 0;
}

// The mode comes after the owner because a change of owner clears the
// set-user and set-group bits.
int TakeOverAttributes(int fd, const struct stat& info) {
    if (const int error = KeepOwner(fd, info)) {
        return error;
    }
    return ::fchmod(fd, info.st_mode & 07777) != 0 ? errno : 0;
}

int FillTemporary(FileDescriptor& file, const struct stat* existing, std::string_view content) {
    if (existing != nullptr) {
        if (const int error = TakeOverAttributes(file.Get(), *existing)) {
            return error;
        }
    }
    if (const int error = WriteAll(file.Get(), content)) {
        return error;
    }
    if (::fsync(file.Get()) != 0 || ::close(file.Release()) != 0) {
        return errno;
    }
    return 0;
}

} // namespace

std::string ResolvedWriteTarget(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    // A link to a file not there yet names the file to write; the link stays.
    std::filesystem::path current(path);
    for (int hops = 0; hops < MostLinkHops; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(current, error)) {
            return current.string();
        }
        const std::filesystem::path target = std::filesystem::read_symlink(current, error);
        if (error) {
            return current.string();
        }
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current.string();
}

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

int ReplaceFileContent(const std::string& target, std::string_view content) {
    struct stat info {};
    // Still a link after ResolvedWriteTarget: links that go round in a loop.
    if (::lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        ::stat(target.c_str(), &info) != 0) {
        return ELOOP;
    }
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists) {
        if (const int error = CheckReplaceable(target, info)) {
            return error;
        }
    }
    std::string temporary;
    FileDescriptor file = CreateTemporary(target, temporary);
    if (!file.Valid()) {
        return errno;
    }
    int error = FillTemporary(file, exists ? &info : nullptr, content);
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    // Make the rename itself survive a crash.
    FileDescriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) {
        ::fsync(folder.Get());
    }
    return 0;
}

} // namespace feedrail
