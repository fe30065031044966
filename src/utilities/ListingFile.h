#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace feedrail {

// A text file read line by line from its start, as often as needed, and
// never held in memory as a whole. A line ends at a line feed, and a
// carriage return right before it belongs to the line end; a last line
// without a line feed still counts. Errors opening or reading the file leave
// by std::system_error.
class ListingFile {
public:
    explicit ListingFile(std::string path);

    const std::string& Path() const { return path_; }
    bool AtEnd();
    // The next line; empty once the end is reached.
    std::string NextLine();
    // Goes back to the first line.
    void Rewind();

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    void ThrowIfFailed() const;

    std::string path_;
    std::unique_ptr<std::FILE, Closer> file_;
};

} // namespace feedrail
