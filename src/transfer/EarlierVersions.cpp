#include "transfer/EarlierVersions.h"

#include "common/FileDescriptor.h"
#include "common/LocalTime.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

// Gives up after this many versions of one program in one second.
constexpr int MostSuffixes = 999;

std::chrono::system_clock::time_point ModifiedAt(const struct stat& file) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(file.st_mtim.tv_sec) +
            std::chrono::nanoseconds(file.st_mtim.tv_nsec)));
}

// The folder itself, held open: what is linked into it cannot be sent
// elsewhere by a link put in its place.
FileDescriptor OpenVersionsFolder(const std::string& folder, int& error) {
    const std::string versions = folder + VersionsFolder;
    if (::mkdir(versions.c_str(), 0777) != 0 && errno != EEXIST) {
        error = errno;
        return FileDescriptor();
    }
    FileDescriptor fd(::open(versions.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    error = fd.Valid() ? 0 : (errno == ELOOP ? ENOTDIR : errno);
    return fd;
}

// A second name never replaces one that is there; then the first goes.
int MoveWithoutReplacing(const std::string& from, int toFolder, const std::string& to) {
    if (::linkat(AT_FDCWD, from.c_str(), toFolder, to.c_str(), 0) == 0) {
        return ::unlink(from.c_str()) == 0 ? 0 : errno;
    }
    const int error = errno;
    if (error != EPERM && error != ENOTSUP && error != ENOSYS) {
        return error;
    }
    // File systems without hard links: a rename, once the name is free.
    struct stat taken {};
    if (::fstatat(toFolder, to.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
        return EEXIST;
    }
    return ::renameat(AT_FDCWD, from.c_str(), toFolder, to.c_str()) == 0 ? 0 : errno;
}

} // namespace

EarlierVersion KeepEarlierVersion(const std::string& folder, const std::string& name,
                                  const std::string& extension) {
    const std::string path = folder + name + extension;
    struct stat file {};
    if (::lstat(path.c_str(), &file) != 0) {
        return {errno == ENOENT ? 0 : errno, {}};
    }
    if (!S_ISREG(file.st_mode)) {
        return {EINVAL, {}};
    }
    int error = 0;
    const FileDescriptor versions = OpenVersionsFolder(folder, error);
    if (error != 0) {
        return {error, {}};
    }
    const std::string stem = name + "-" + LocalTimeText(ModifiedAt(file), "%Y%m%d-%H%M%S");
    for (int suffix = 1; suffix <= MostSuffixes; ++suffix) {
        const std::string moved =
            stem + (suffix == 1 ? "" : "-" + std::to_string(suffix)) + extension;
        error = MoveWithoutReplacing(path, versions.Get(), moved);
        if (error != EEXIST) {
            return {error, error == 0 ? folder + VersionsFolder + "/" + moved : std::string()};
        }
    }
    return {EEXIST, {}};
}

int RestoreEarlierVersion(const EarlierVersion& version, const std::string& path) {
    if (version.Path.empty()) {
        return 0;
    }
    if (::link(version.Path.c_str(), path.c_str()) != 0) {
        return errno;
    }
    return ::unlink(version.Path.c_str()) == 0 ? 0 : errno;
}

} // namespace feedrail
