#include "service/ServedProgram.h"

#include "transfer/ProgramIndex.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace feedrail {
namespace {

// Why the program at `path`, opened in `file`, is not sent; empty when it is.
std::string Refusal(const std::string& path, const std::string& realFolder, ProgramFileLines& file,
                    const std::stop_token& stop) {
    // Looked at before anything is opened: opening a device, even to refuse
    // it, moves its lines.
    if (!RealPathInside(path, realFolder)) {
        return "Not sending " + path + ": it leads out of the machine's folder";
    }
    if (const int error = file.Open(path, stop)) {
        return "Cannot read " + path + ": " + std::strerror(error);
    }
    // No control reads such a line; sent, it would be held whole in memory.
    if (const int line = file.FirstOverlongLine()) {
        return "Not sending " + path + ": its line " + std::to_string(line) + " is longer than " +
               std::to_string(ProgramFileLines::MaxLineBytes >> 20) + " MiB";
    }
    // Checked on what was opened, so that a name changed meanwhile cannot
    // lead elsewhere.
    const std::string real = file.RealPath();
    if (!real.starts_with(realFolder + "/")) {
        return "Not sending " + path + ": it leads out of the machine's folder, to " + real;
    }
    return {};
}

} // namespace

ServedProgram::ServedProgram(TaskLane& files, EventHandOver& loop) : files_(files), loop_(loop) {}

ServedProgram::Opened ServedProgram::Open(const std::string& path, const std::string& folder,
                                          const std::stop_token& stop) {
    Opened opened;
    opened.Path = path;
    char realFolder[PATH_MAX];
    if (::realpath(folder.c_str(), realFolder) == nullptr) {
        opened.Error = "Cannot read " + folder + ": " + std::strerror(errno);
        return opened;
    }
    auto file = std::make_shared<Source>();
    opened.Error = Refusal(path, realFolder, file->Lines, stop);
    if (!opened.Error.empty()) {
        return opened;
    }
    opened.Count = file->Lines.Count();
    opened.TextBytes = file->Lines.TextBytes();
    opened.First = Read(*file, 1);
    opened.File = std::move(file);
    return opened;
}

// A failure is kept for the line it stopped at: the send fails there, as it
// would have reading the file itself.
ServedProgram::Stretch ServedProgram::Read(Source& file, int from) {
    const std::lock_guard lock(file.Mutex);
    Stretch stretch{from, {}, {}};
    std::size_t bytes = 0;
    for (int line = from; line <= file.Lines.Count() && bytes < AheadBytes; ++line) {
        try {
            stretch.Lines.push_back(file.Lines.Line(line));
        } catch (const std::exception& error) {
            stretch.Failure = error.what();
            break;
        }
        bytes += stretch.Lines.back().size();
    }
    return stretch;
}

void ServedProgram::Prepare(Opened opened) {
    prepared_ = std::move(opened);
}

std::string ServedProgram::Load(const std::string& path) {
    std::optional<Opened> opened = std::exchange(prepared_, std::nullopt);
    if (!opened || opened->Path != path) {
        return "Cannot read " + path + ": it was not opened for the request";
    }
    if (!opened->Error.empty()) {
        return opened->Error;
    }
    ++generation_;
    file_ = std::move(opened->File);
    path_ = path;
    count_ = opened->Count;
    textBytes_ = opened->TextBytes;
    ahead_.clear();
    aheadBytes_ = 0;
    reading_ = false;
    failedAt_ = 0;
    failure_.clear();
    Arrived(generation_, std::move(opened->First));
    return {};
}

bool ServedProgram::Holds(int line) const {
    return line >= first_ && line < first_ + static_cast<int>(ahead_.size());
}

std::string ServedProgram::GetEditorLine(int line) const {
    if (line < 1 || line > count_) {
        return {};
    }
    if (Holds(line)) {
        for (; first_ < line; ++first_) {
            aheadBytes_ -= ahead_.front().size();
            ahead_.pop_front();
        }
        const int next = first_ + static_cast<int>(ahead_.size());
        if (aheadBytes_ < AheadBytes / 2 && next <= count_ && failedAt_ == 0) {
            ReadAhead(next);
        }
        return ahead_.front();
    }
    if (line == failedAt_) {
        throw std::runtime_error(failure_);
    }
    // Only the EIA look before a send reads past what was read ahead: it
    // reads on the loop.
    const std::lock_guard lock(file_->Mutex);
    return file_->Lines.Line(line);
}

// The send's pump comes back for a line not yet read rather than wait for
// it.
bool ServedProgram::EditorLineReady(int line) const {
    if (line < 1 || line > count_ || Holds(line) || (failedAt_ != 0 && line >= failedAt_)) {
        return true;
    }
    ReadAhead(line < first_ ? line : first_ + static_cast<int>(ahead_.size()));
    return false;
}

void ServedProgram::ReadAhead(int from) const {
    if (std::exchange(reading_, true)) {
        return;
    }
    files_.Post([this, file = file_, from, generation = generation_] {
        Stretch stretch = Read(*file, from);
        loop_.Post([this, generation, stretch = std::move(stretch)]() mutable {
            Arrived(generation, std::move(stretch));
        });
    });
}

// What arrives goes after the lines held, or in their place when the send
// asked elsewhere meanwhile.
void ServedProgram::Arrived(unsigned generation, Stretch stretch) const {
    if (generation != generation_) {
        return;
    }
    reading_ = false;
    if (stretch.From != first_ + static_cast<int>(ahead_.size())) {
        ahead_.clear();
        aheadBytes_ = 0;
        first_ = stretch.From;
    }
    for (std::string& line : stretch.Lines) {
        aheadBytes_ += line.size();
        ahead_.push_back(std::move(line));
    }
    if (!stretch.Failure.empty()) {
        failedAt_ = first_ + static_cast<int>(ahead_.size());
        failure_ = std::move(stretch.Failure);
    }
}

} // namespace feedrail
