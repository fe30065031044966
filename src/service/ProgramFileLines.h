#pragma once

#include "common/FileDescriptor.h"

#include <string>

namespace feedrail {

// A program file read a line at a time, so that one of any size is sent
// without being held whole. Lines end as in the editor: at LF, CR LF or a
// CR alone; a line end at the end of the file starts no further line.
class ProgramFileLines {
public:
    // Counts the file's lines; 0, or the errno of the failure.
    int Open(const std::string& path);
    void Close();
    const std::string& Path() const { return path_; }
    int Count() const { return count_; }
    // Line `line`, from 1; the lines are read in order, and an earlier one
    // reads the file again from its start. Empty past the end or when the
    // file can no longer be read.
    std::string Line(int line);

private:
    bool Rewind();
    bool Fill();
    std::string NextLine();

    std::string path_;
    FileDescriptor fd_;
    int count_ = 0;
    int next_ = 1;
    std::string buffer_;
    std::size_t at_ = 0;
    bool ended_ = false;
};

} // namespace feedrail
