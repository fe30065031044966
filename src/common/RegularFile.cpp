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
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.Valid()) {
        return Failure(errno);
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) {
        return Failure(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return Failure(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    }
    RegularFileRead result;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.Get(), buffer, sizeof buffer);
        if (count == 0) {
            result.outcome = RegularFileRead::Read;
            return result;
        }
        if (count < 0 && errno != EINTR) {
            return Failure(errno);
        }
        if (count > 0) {
            result.content.append(buffer, static_cast<std::size_t>(count));
        }
    }
}

} // namespace feedrail
