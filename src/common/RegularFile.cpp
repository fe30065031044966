#include "common/RegularFile.h"

#include "common/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

RegularFileRead Failure(int error) {
    RegularFileRead result;
    result.outcome = error == ENOENT ? RegularFileRead::Missing : RegularFileRead::Failed;
    result.error = error;
    return result;
}

} // namespace

RegularFileRead ReadRegularFile(const std::string& path) {
    RegularFileRead result;
    result.error =
        ReadRegularFile(path, [&result](std::string_view piece) { result.content.append(piece); });
    if (result.error != 0) {
        return Failure(result.error);
    }
    result.outcome = RegularFileRead::Read;
    return result;
}

int ReadRegularFile(const std::string& path, const std::function<void(std::string_view)>& take) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.Valid()) {
        return errno;
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) {
        return errno;
    }
    if (!S_ISREG(info.st_mode)) {
        return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.Get(), buffer, sizeof buffer);
        if (count == 0) {
            return 0;
        }
        if (count < 0 && errno != EINTR) {
            return errno;
        }
        if (count > 0) {
            take(std::string_view(buffer, static_cast<std::size_t>(count)));
        }
    }
}

} // namespace feedrail
