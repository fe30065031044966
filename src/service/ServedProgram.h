#pragma once

#include "serial/EventHandOver.h"
#include "service/ProgramFileLines.h"
#include "service/TaskLane.h"
#include "session/ProgramLines.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace feedrail {

// The program a served machine asked for, as the send reads it: lines
// streamed from its file in place of the window's editor, and the line being
// sent for the status. Nothing is ever typed, received or renumbered into it.
// The file is opened and read on the machine's file lane, a bounded stretch
// ahead of the send, so that a slow folder holds the send but never the
// machine's loop.
class ServedProgram : public ProgramLines {
public:
    // The file, read by one thread at a time.
    struct Source {
        std::mutex Mutex;
        ProgramFileLines Lines;
    };
    // Lines read ahead: those from `From` on, and why the next one could not
    // be read, if it could not.
    struct Stretch {
        int From = 1;
        std::vector<std::string> Lines;
        std::string Failure;
    };
    // A requested program opened on the file lane.
    struct Opened {
        std::string Path;
        // Empty, or why it cannot be sent.
        std::string Error;
        std::shared_ptr<Source> File;
        int Count = 0;
        std::uint64_t TextBytes = 0;
        Stretch First;
    };

    ServedProgram(TaskLane& files, EventHandOver& loop);

    // The file lane: opens the program, which must lie inside `folder`
    // whatever links its name goes through, and reads its first lines;
    // `stop` ends the reading early.
    static Opened Open(const std::string& path, const std::string& folder,
                       const std::stop_token& stop);
    // The program opened is the one Load may take.
    void Prepare(Opened opened);
    // The program prepared for `path` becomes the one sent; empty, or why it
    // cannot be sent.
    std::string Load(const std::string& path);
    const std::string& Path() const { return path_; }

    std::string GetEditorLine(int line) const override;
    bool EditorLineReady(int line) const override;
    int EditorLineCount() const override { return count_; }
    std::uint64_t EditorTextBytes() const override { return textBytes_; }
    // The send's progress says where it stands.
    void HighlightEditorLine(int) override {}

    // What is read ahead of the line sent, about; a line longer is read
    // whole.
    static constexpr std::size_t AheadBytes = 64 * 1024;

private:
    static Stretch Read(Source& file, int from);
    // Asks the lane for the lines from `from` on, unless it reads already.
    void ReadAhead(int from) const;
    void Arrived(unsigned generation, Stretch stretch) const;
    bool Holds(int line) const;

    TaskLane& files_;
    EventHandOver& loop_;
    std::optional<Opened> prepared_;
    std::shared_ptr<Source> file_;
    std::string path_;
    int count_ = 0;
    std::uint64_t textBytes_ = 0;
    // Each program loaded has its own number, so that what was read for an
    // earlier one is dropped.
    unsigned generation_ = 0;
    // The lines read ahead, from first_ on; the send reads them in order.
    mutable std::deque<std::string> ahead_;
    mutable int first_ = 1;
    mutable std::size_t aheadBytes_ = 0;
    mutable bool reading_ = false;
    mutable int failedAt_ = 0;
    mutable std::string failure_;
};

} // namespace feedrail
