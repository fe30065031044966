#include "filelist/Trash.h"

#include "common/FileDescriptor.h"
#include "common/LocalTime.h"
#include "filelist/ItemNames.h"
#include "filelist/OperationError.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

// Bytes other than these are written %XX in a .trashinfo Path.
bool Unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == '~' || c == '/';
}

std::string PercentEncoded(const std::string& path) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char byte : path) {
        const auto c = static_cast<unsigned char>(byte);
        if (Unreserved(c)) {
            encoded += byte;
        } else {
            encoded += '%';
            encoded += Hex[c >> 4];
            encoded += Hex[c & 0x0F];
        }
    }
    return encoded;
}

int MakeFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) {
        struct stat info {};
        return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    }
    return errno;
}

int WriteAll(int fd, const std::string& text) {
    std::string_view rest = text;
    while (!rest.empty()) {
        const ssize_t count = ::write(fd, rest.data(), rest.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return count < 0 ? errno : EIO;
        }
        rest.remove_prefix(static_cast<std::size_t>(count));
    }
    return 0;
}

} // namespace

std::string HomeTrashFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') {
        return std::string(data) + "/Trash";
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] != '\0' ? std::string(home) + "/.local/share/Trash"
                                              : std::string();
}

std::string MoveToTrash(const std::string& path, const std::string& trash,
                        std::chrono::system_clock::time_point now) {
    const auto failure = [&](int error) {
        return OperationError("move", path + " to the trash", error);
    };
    struct stat item {};
    if (::lstat(path.c_str(), &item) != 0) {
        return failure(errno);
    }
    if (trash.empty()) {
        return failure(ENOENT);
    }
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(trash).parent_path(), ignored);
    for (const std::string& folder : {trash, trash + "/files", trash + "/info"}) {
        if (const int error = MakeFolder(folder)) {
            return failure(error);
        }
    }
    const std::string absolute = std::filesystem::absolute(path, ignored).lexically_normal();
    const std::string name = std::filesystem::path(absolute).filename();
    const std::string info = "[Trash Info]\nPath=" + PercentEncoded(absolute) +
                             "\nDeletionDate=" + LocalTimeText(now, "%Y-%m-%dT%H:%M:%S") + "\n";
    for (int n = 1; n < 10000; ++n) {
        const std::string stored = n == 1 ? name : name + "." + std::to_string(n);
        const std::string infoPath = trash + "/info/" + stored + ".trashinfo";
        FileDescriptor file(
            ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600));
        if (!file.Valid() && errno == EEXIST) {
            continue;
        }
        if (!file.Valid()) {
            return failure(errno);
        }
        int error = WriteAll(file.Get(), info);
        if (error == 0) {
            error = RenameNoReplace(path, trash + "/files/" + stored);
        }
        if (error != 0) {
            ::unlink(infoPath.c_str());
        }
        // An item of that name left in the trash without its info: another.
        if (error == EEXIST) {
            continue;
        }
        return error == 0 ? std::string() : failure(error);
    }
    return failure(EEXIST);
}

} // namespace feedrail
