#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace feedrail {

// A text file read line by line from its start, as often as needed, and
// never held in memory as a whole. A line ends at a line feed, and a
// carriage return right before it belongs to the line end; a last line
// without a line feed still counts. A line longer than MaxLineBytes comes in
// pieces of that length, one per call, so that a file without line breaks
// is listed in full on rows of its own and never held whole. Errors opening
// or reading the file leave by std::system_error.
class ListingFile {
public:
    static constexpr std::size_t MaxLineBytes = 256;

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
    bool EndsLine(int next);

    std::string path_;
    std::unique_ptr<std::FILE, Closer> file_;
    // The first byte of a long line's next piece, already read.
    std::string carried_;
};

} // namespace feedrail
