#include "transfer/EarlierVersions.h"

#include "common/LocalTime.h"

#include <cerrno>
#include <chrono>
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

// A real folder, made when missing; 0 or the errno.
int VersionsFolderIn(const std::string& folder) {
    const std::string versions = folder + VersionsFolder;
    if (::mkdir(versions.c_str(), 0777) != 0 && errno != EEXIST) {
        return errno;
    }
    struct stat entry {};
    if (::lstat(versions.c_str(), &entry) != 0) {
        return errno;
    }
    return S_ISDIR(entry.st_mode) ? 0 : ENOTDIR;
}

// A second name never replaces one that is there; then the first goes.
int MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0) {
        return ::unlink(from.c_str()) == 0 ? 0 : errno;
    }
    const int error = errno;
    if (error != EPERM && error != ENOTSUP && error != ENOSYS) {
        return error;
    }
    // File systems without hard links: a rename, once the name is free.
    struct stat taken {};
    if (::lstat(to.c_str(), &taken) == 0) {
        return EEXIST;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

} // namespace

int KeepEarlierVersion(const std::string& folder, const std::string& name,
                       const std::string& extension) {
    const std::string path = folder + name + extension;
    struct stat file {};
    if (::lstat(path.c_str(), &file) != 0) {
        return errno == ENOENT ? 0 : errno;
    }
    if (!S_ISREG(file.st_mode)) {
        return EINVAL;
    }
    if (const int error = VersionsFolderIn(folder)) {
        return error;
    }
    const std::string stem = folder + VersionsFolder + "/" + name + "-" +
                             LocalTimeText(ModifiedAt(file), "%Y%m%d-%H%M%S");
    for (int suffix = 1; suffix <= MostSuffixes; ++suffix) {
        const std::string tail = suffix == 1 ? "" : "-" + std::to_string(suffix);
        const int error = MoveWithoutReplacing(path, stem + tail + extension);
        if (error != EEXIST) {
            return error;
        }
    }
    return EEXIST;
}

} // namespace feedrail
