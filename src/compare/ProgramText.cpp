#include "compare/ProgramText.h"

#include "common/RegularFile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace feedrail {

ProgramText::ProgramText(std::string bytes) : bytes_(std::move(bytes)) {
    const char* const begin = bytes_.data();
    const char* const end = begin + bytes_.size();
    for (const char* line = begin; line < end;) {
        starts_.push_back(static_cast<std::size_t>(line - begin));
        const void* newline = std::memchr(line, '\n', static_cast<std::size_t>(end - line));
        line = newline != nullptr ? static_cast<const char*>(newline) + 1 : end;
    }
    for (std::size_t i = 0; i < starts_.size(); ++i) {
        longest_ = std::max(longest_, Line(i).size());
    }
}

std::string_view ProgramText::Line(std::size_t index) const {
    const std::size_t begin = starts_[index];
    std::size_t end = index + 1 < starts_.size() ? starts_[index + 1] : bytes_.size();
    if (end > begin && bytes_[end - 1] == '\n') {
        --end;
        if (end > begin && bytes_[end - 1] == '\r') {
            --end;
        }
    }
    return std::string_view(bytes_).substr(begin, end - begin);
}

ProgramTextRead ReadProgramText(const std::string& path) {
    std::string bytes;
    // Read into room made at once: growing by doubling would copy a big
    // program again and again.
    std::error_code unknown;
    if (const auto size = std::filesystem::file_size(path, unknown); !unknown) {
        bytes.reserve(size);
    }
    if (const int error =
            ReadRegularFile(path, [&bytes](std::string_view piece) { bytes.append(piece); });
        error != 0) {
        return {{}, error};
    }
    return {ProgramText(std::move(bytes)), 0};
}

} // namespace feedrail
