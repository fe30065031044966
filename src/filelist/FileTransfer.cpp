#include "filelist/FileTransfer.h"

#include "common/FileDescriptor.h"
#include "filelist/ItemNames.h"
#include "filelist/OperationError.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

// Where a transfer goes: the target path, whether it replaces a file there,
// and what its failures say ("copy /a/O1000 to /b/").
struct Destination {
    std::string Path;
    bool Replace = false;
    std::string Verb;
    std::string Folder;

    std::string Failure(const std::string& source, int error) const {
        return OperationError(Verb, source + " to " + Folder, error);
    }
    std::string Failure(const std::string& source, const std::string& reason) const {
        return "Cannot " + Verb + " " + source + " to " + Folder + ": " + reason;
    }
};

std::string NameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// "Copy of NAME", then "Copy (2) of NAME" and on, whichever is free.
std::string FreeCopyName(const std::string& folder, const std::string& name) {
    for (int n = 1;; ++n) {
        const std::string copy =
            (n == 1 ? "Copy of " : "Copy (" + std::to_string(n) + ") of ") + name;
        struct stat existing {};
        if (::lstat(PathIn(folder, copy).c_str(), &existing) != 0) {
            return PathIn(folder, copy);
        }
    }
}

FileDescriptor CreateTemporary(const std::string& target, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path path(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Short, whatever the target's name: a name near the longest a folder
        // takes would not leave room for more.
        name = PathIn(path.parent_path().string(), ".feedrail-part-" + std::to_string(::getpid()) +
                                                       "-" + std::to_string(counter++));
        FileDescriptor file(
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600));
        if (file.Valid() || errno != EEXIST) {
            return file;
        }
    }
    errno = EEXIST;
    return FileDescriptor(-1);
}

int CopyContent(int from, int to) {
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(from, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return count < 0 ? errno : 0;
        }
        for (ssize_t written = 0; written < count;) {
            const ssize_t step =
                ::write(to, buffer + written, static_cast<size_t>(count - written));
            if (step < 0 && errno != EINTR) {
                return errno;
            }
            written += step > 0 ? step : 0;
        }
    }
}

// The copy keeps the source's mode and times; it counts as written only once
// it is on the disk and closed.
int FillCopy(const std::string& source, const struct stat& info, FileDescriptor& copy) {
    // Without blocking: a pipe put in the file's place since would hang here.
    FileDescriptor from(::open(source.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    struct stat opened {};
    if (!from.Valid() || ::fstat(from.Get(), &opened) != 0) {
        return errno;
    }
    if (!S_ISREG(opened.st_mode)) {
        return EINVAL;
    }
    if (const int error = CopyContent(from.Get(), copy.Get())) {
        return error;
    }
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (::fchmod(copy.Get(), info.st_mode & 07777) != 0 || ::futimens(copy.Get(), times) != 0 ||
        ::fsync(copy.Get()) != 0 || ::close(copy.Release()) != 0) {
        return errno;
    }
    return 0;
}

std::string CopyFile(const std::string& source, const struct stat& info,
                     const Destination& destination) {
    std::string temporary;
    FileDescriptor copy = CreateTemporary(destination.Path, temporary);
    if (!copy.Valid()) {
        return destination.Failure(source, errno);
    }
    int error = FillCopy(source, info, copy);
    if (error == 0) {
        error = destination.Replace
                    ? (::rename(temporary.c_str(), destination.Path.c_str()) == 0 ? 0 : errno)
                    : RenameNoReplace(temporary, destination.Path);
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return destination.Failure(source, error);
    }
    return {};
}

std::string MoveFile(const std::string& source, const struct stat& info,
                     const Destination& destination) {
    const int error = destination.Replace
                          ? (::rename(source.c_str(), destination.Path.c_str()) == 0 ? 0 : errno)
                          : RenameNoReplace(source, destination.Path);
    if (error != EXDEV) {
        return error == 0 ? std::string() : destination.Failure(source, error);
    }
    if (std::string failure = CopyFile(source, info, destination); !failure.empty()) {
        return failure;
    }
    if (::unlink(source.c_str()) != 0) {
        return OperationError("remove", source + " after copying it to " + destination.Folder,
                              errno);
    }
    return {};
}

} // namespace

std::vector<std::string> FileTransfer::Transfer(const std::vector<std::string>& sources,
                                                const std::string& folder, PasteMode mode) const {
    std::vector<std::string> failures;
    for (const std::string& source : sources) {
        if (std::string failure = TransferOne(source, folder, mode); !failure.empty()) {
            failures.push_back(std::move(failure));
        }
    }
    return failures;
}

std::string FileTransfer::TransferOne(const std::string& source, const std::string& folder,
                                      PasteMode mode) const {
    const bool copy = mode == PasteMode::Copy;
    Destination destination{PathIn(folder, NameOf(source)), false, copy ? "copy" : "move", folder};
    struct stat from {};
    if (::stat(source.c_str(), &from) != 0) {
        return destination.Failure(source, errno);
    }
    if (S_ISDIR(from.st_mode)) {
        return destination.Failure(source, EISDIR);
    }
    // A pipe would hang the copy, a device such as /dev/zero fill the disk.
    if (!S_ISREG(from.st_mode)) {
        return destination.Failure(source, "not a regular file (a pipe, a socket or a device)");
    }
    struct stat to {};
    if (::stat(destination.Path.c_str(), &to) == 0) {
        if (to.st_dev == from.st_dev && to.st_ino == from.st_ino) {
            // Moved onto itself in its own folder it stays; onto a link to it
            // elsewhere nothing could happen, and the operator is told.
            if (!copy && destination.Path == source) {
                return {};
            }
            if (!copy) {
                return destination.Failure(source, "source and target are the same file");
            }
            destination.Path = FreeCopyName(folder, NameOf(source));
        } else if (S_ISDIR(to.st_mode)) {
            return destination.Failure(source, EISDIR);
        } else if (!askReplace_(destination.Path)) {
            return {};
        } else {
            destination.Replace = true;
        }
    }
    return copy ? CopyFile(source, from, destination) : MoveFile(source, from, destination);
}

} // namespace feedrail
