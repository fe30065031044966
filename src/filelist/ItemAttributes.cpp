#include "filelist/ItemAttributes.h"

#include "filelist/ItemNames.h"
#include "filelist/OperationError.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

constexpr mode_t AnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

bool MayNotWrite(const std::string& path, const struct stat& info) {
    if ((info.st_mode & AnyWrite) == 0) {
        return true;
    }
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) {
        return false;
    }
    return errno == EACCES || errno == EROFS || errno == EPERM;
}

std::string NameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// The name a change of hidden gives: one leading "." more, or none left (a
// name with two is as hidden as one with one).
std::string HiddenName(const std::string& name, bool hidden) {
    return hidden ? "." + name : name.substr(std::min(name.find_first_not_of('.'), name.size()));
}

} // namespace

ItemAttributes ReadItemAttributes(const std::string& path, const struct stat& info) {
    return {MayNotWrite(path, info), NameOf(path).starts_with('.')};
}

ItemAttributes ReadItemAttributes(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return {false, NameOf(path).starts_with('.')};
    }
    return ReadItemAttributes(path, info);
}

std::string AttributeLetters(const ItemAttributes& attributes) {
    std::string letters;
    if (attributes.ReadOnly) {
        letters += 'R';
    }
    if (attributes.Hidden) {
        letters += 'H';
    }
    return letters;
}

AttributeChange ChangeAttributes(const std::string& path, const ItemAttributes& wanted) {
    AttributeChange change{path, {}};
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        change.Error = OperationError("change the attributes of", path, errno);
        return change;
    }
    const ItemAttributes now = ReadItemAttributes(path, info);
    if (wanted.Hidden != now.Hidden) {
        const std::string name = HiddenName(NameOf(path), wanted.Hidden);
        change.Error = RenameItem(path, name);
        if (!change.Error.empty()) {
            return change;
        }
        change.Path = PathIn(std::filesystem::path(path).parent_path().string(), name);
    }
    if (wanted.ReadOnly != now.ReadOnly) {
        const mode_t mode = wanted.ReadOnly ? info.st_mode & ~AnyWrite : info.st_mode | S_IWUSR;
        if (::chmod(change.Path.c_str(), mode & 07777) != 0) {
            change.Error = OperationError("change the attributes of", change.Path, errno);
        }
    }
    return change;
}

} // namespace feedrail
