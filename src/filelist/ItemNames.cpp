#include "filelist/ItemNames.h"

#include "filelist/OperationError.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace feedrail {
namespace {

// A name, not a path: no "/", and not "." or "..".
bool IsPlainName(const std::string& name) {
    return name.find('/') == std::string::npos && name != "." && name != "..";
}

} // namespace

int RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system that cannot refuse by itself: look first.
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0) {
        return EEXIST;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::string RenameItem(const std::string& path, const std::string& newName) {
    const std::filesystem::path old(path);
    if (newName.empty() || newName == old.filename().string()) {
        return {};
    }
    const std::string action = "rename " + path + " to";
    if (!IsPlainName(newName)) {
        return OperationError(action, newName, EINVAL);
    }
    const int error = RenameNoReplace(path, PathIn(old.parent_path().string(), newName));
    return error == 0 ? std::string() : OperationError(action, newName, error);
}

std::string CreateFolder(const std::string& folder, const std::string& name) {
    const std::string path = PathIn(folder, name);
    if (!IsPlainName(name) || name.empty()) {
        return OperationError("create the folder", path, EINVAL);
    }
    return ::mkdir(path.c_str(), 0777) == 0 ? std::string()
                                            : OperationError("create the folder", path, errno);
}

std::string PathIn(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

} // namespace feedrail
