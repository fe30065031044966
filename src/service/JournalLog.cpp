#include "service/JournalLog.h"

namespace feedrail {

std::string JournalLine(JournalLog::Priority priority, std::string_view text) {
    std::string line = "<" + std::to_string(static_cast<int>(priority)) + ">";
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        line += byte < 0x20 || byte == 0x7f ? ' ' : character;
    }
    return line + "\n";
}

void JournalLog::Write(Priority priority, std::string_view text) {
    const std::string line = JournalLine(priority, text);
    const std::lock_guard lock(mutex_);
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
}

} // namespace feedrail
