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

// Creates a new temporary file beside the target. Its mode follows the
// umask, like any new file.
FileDescriptor CreateTemporary(const std::string& target, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path targetPath(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = (targetPath.parent_path() /
                ("." + targetPath.filename().string() + "." + std::to_string(::getpid()) + "." +
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

int FillTemporary(FileDescriptor& file, const std::string& target, std::string_view content) {
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        }
        if (::fchmod(file.Get(), info.st_mode & 07777) != 0) {
            return errno;
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
    return path;
}

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

int ReplaceFileContent(const std::string& target, std::string_view content) {
    std::string temporary;
    FileDescriptor file = CreateTemporary(target, temporary);
    if (!file.Valid()) {
        return errno;
    }
    int error = FillTemporary(file, target, content);
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
