#include "utilities/ListingFile.h"

#include <cerrno>
#include <system_error>

namespace feedrail {

ListingFile::ListingFile(std::string path)
    : path_(std::move(path)), file_(std::fopen(path_.c_str(), "rb")) {
    if (!file_) {
        throw std::system_error(errno, std::generic_category());
    }
}

bool ListingFile::AtEnd() {
    const int next = std::getc(file_.get());
    if (next == EOF) {
        ThrowIfFailed();
        return true;
    }
    std::ungetc(next, file_.get());
    return false;
}

std::string ListingFile::NextLine() {
    std::string line;
    for (int next = std::getc(file_.get()); next != EOF && next != '\n';
         next = std::getc(file_.get())) {
        line += static_cast<char>(next);
    }
    ThrowIfFailed();
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

void ListingFile::Rewind() {
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
