#include "utilities/ListingFile.h"

#include <cerrno>
#include <system_error>
#include <utility>

namespace feedrail {

ListingFile::ListingFile(std::string path)
    : path_(std::move(path)), file_(std::fopen(path_.c_str(), "rb")) {
    if (!file_) {
        throw std::system_error(errno, std::generic_category());
    }
}

bool ListingFile::AtEnd() {
    if (!carried_.empty()) {
        return false;
    }
    const int next = std::getc(file_.get());
    if (next == EOF) {
        ThrowIfFailed();
        return true;
    }
    std::ungetc(next, file_.get());
    return false;
}

std::string ListingFile::NextLine() {
    std::string line = std::exchange(carried_, {});
    for (int next = std::getc(file_.get()); next != EOF && next != '\n';
         next = std::getc(file_.get())) {
        if (line.size() == MaxLineBytes && !EndsLine(next)) {
            carried_ = static_cast<char>(next);
            return line;
        }
        line += static_cast<char>(next);
    }
    ThrowIfFailed();
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// A carriage return ends the line when only a line feed or the end of the
// file follows it.
bool ListingFile::EndsLine(int next) {
    if (next != '\r') {
        return false;
    }
    const int after = std::getc(file_.get());
    if (after != EOF && after != '\n') {
        std::ungetc(after, file_.get());
        return false;
    }
    ThrowIfFailed();
    if (after == '\n') {
        std::ungetc(after, file_.get());
    }
    return true;
}

void ListingFile::Rewind() {
    carried_.clear();
    if (std::fseek(file_.get(), 0, SEEK_SET) != 0) {
        throw std::system_error(errno, std::generic_category());
    }
    std::clearerr(file_.get());
}

void ListingFile::ThrowIfFailed() const {
    if (std::ferror(file_.get()) != 0) {
        throw std::system_error(errno, std::generic_category());
    }
}

} // namespace feedrail
