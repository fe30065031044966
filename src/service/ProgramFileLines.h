#pragma once

#include "common/FileDescriptor.h"

#include <cstdint>
#include <ctime>
#include <deque>
#include <stop_token>
#include <string>
#include <string_view>

namespace feedrail {

// A program file read a line at a time, so that one of any size is sent
// without being held whole. Lines end as in the editor, which drops the CR
// before an LF and then ends a line at LF, CR LF or a CR alone: so CR CR LF
// is one line end. A line end at the end of the file starts no line.
class ProgramFileLines {
public:
    // Counts the file's lines; 0, or the errno of the failure (ECANCELED
    // once `stop` is asked).
    int Open(const std::string& path, const std::stop_token& stop = {});
    void Close();
    const std::string& Path() const { return path_; }
    // The real path of the file as opened, whatever links its name went
    // through.
    std::string RealPath() const;
    int Count() const { return count_; }
    // The bytes of the lines' text, their line ends not counted.
    std::uint64_t TextBytes() const { return textBytes_; }
    // The first line longer than `MaxLineBytes`, 0 when none is: such a line
    // would be held whole while it is sent.
    int FirstOverlongLine() const { return overlong_; }
    static constexpr std::size_t MaxLineBytes = 1 << 20;
    // Line `line`, from 1; the lines are read in order, and an earlier one
    // reads the file again from its start. Empty past the end. Throws
    // std::runtime_error when the file can no longer be read, or has changed
    // since it was opened: its lines would no longer be the ones counted.
    std::string Line(int line);

private:
    // Cuts bytes into lines by the editor's rule.
    class Splitter {
    public:
        // `keep` false only counts.
        explicit Splitter(bool keep) : keep_(keep) {}
        void Take(std::string_view bytes);
        void End();
        // Runs of empty lines are held as one entry of their count, so that
        // a file of line ends costs no memory per line.
        struct Run {
            std::string Text;
            int Times = 1;
        };
        std::deque<Run> Lines;
        int Count = 0;
        std::uint64_t TextBytes = 0;
        // The first line past MaxLineBytes, from 1; 0 when none is.
        int Overlong = 0;

    private:
        void Emit(int lines);

        bool keep_;
        std::string current_;
        std::size_t length_ = 0;
        // A line has begun that no line end has ended yet.
        bool open_ = false;
        int crs_ = 0;
    };

    bool Rewind();
    bool Fill();
    // Throws when the file is no longer the one opened.
    void CheckUnchanged(std::uint64_t readTo) const;

    std::string path_;
    FileDescriptor fd_;
    std::uint64_t size_ = 0;
    timespec changed_{};
    std::uint64_t read_ = 0;
    int count_ = 0;
    std::uint64_t textBytes_ = 0;
    int overlong_ = 0;
    int next_ = 1;
    Splitter splitter_{true};
    bool ended_ = false;
};

} // namespace feedrail
