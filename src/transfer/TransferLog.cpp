#include "transfer/TransferLog.h"

#include "common/FileDescriptor.h"
#include "common/LocalTime.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace feedrail {
namespace {

std::string Field(std::string_view text) {
    std::string field(text);
    std::replace_if(
        field.begin(), field.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; },
        ' ');
    return field;
}

} // namespace

std::string TransferLogLine(const TransferRecord& record,
                            std::chrono::system_clock::time_point when) {
    return LocalTimeText(when, "%Y-%m-%d %H:%M:%S") + '\t' + Field(record.Machine) + '\t' +
           Field(record.Direction) + '\t' + (record.File.empty() ? "-" : Field(record.File)) +
           '\t' + std::to_string(record.Lines) + " lines\t" + std::to_string(record.Bytes) +
           " bytes\t" + Field(record.Result) + '\n';
}

int AppendTransferLog(const std::string& path, std::string_view line) {
    FileDescriptor file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOCTTY | O_CLOEXEC, 0666));
    if (!file.Valid()) {
        return errno;
    }
    ssize_t count = -1;
    do {
        count = ::write(file.Get(), line.data(), line.size());
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        return errno;
    }
    return static_cast<std::size_t>(count) == line.size() ? 0 : EIO;
}

} // namespace feedrail
