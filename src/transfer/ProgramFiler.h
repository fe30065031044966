#pragma once

#include "transfer/EarlierVersions.h"
#include "transfer/ProgramCollector.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace feedrail {

// What became of one program the machine punched.
struct FiledProgram {
    // Where it was saved; empty when it was not.
    std::string Path;
    // With versions kept, where the program that had its name went.
    std::string EarlierVersion;
    // It holds only a program number: the machine asks for that program.
    std::optional<std::string> Request;
    std::uint64_t Lines = 0;
    std::uint64_t Bytes = 0;
    ProgramSink::Ending Ending = ProgramSink::Ending::Complete;
    // Each place that refused it before Path took it (or all of them), with
    // the reason: "/nc/in/: Permission denied".
    std::vector<std::string> Refused;
    // errno of the last refusal when no place took it.
    int Error = 0;
};

// Files the programs a collector cuts, each between "%" lines: each streams
// into a hidden file in the
// first folder that takes it, so that memory stays flat and a crash leaves a
// partial file rather than nothing, and is renamed into place when it ends,
// after its program number, never replacing a file. An interrupted program
// is kept as "O5001-incomplete-20261209-071500.nc".
class ProgramFiler : public ProgramSink {
public:
    using Clock = std::chrono::system_clock;

    ProgramFiler(std::function<void(FiledProgram)> filed,
                 std::function<Clock::time_point()> now = Clock::now);
    ~ProgramFiler() override;
    ProgramFiler(const ProgramFiler&) = delete;
    ProgramFiler& operator=(const ProgramFiler&) = delete;

    // The folders tried in turn (each with its trailing "/"), the
    // extension, whether programs are kept at all, and whether a program of
    // a number alone is a request rather than a program.
    // A program filed under a name that is taken takes it; the earlier file
    // moves to versions/ beside it.
    void KeepVersions(bool keep) { versions_ = keep; }
    void SetPlaces(std::vector<std::string> folders, std::string extension, bool keep,
                   bool requests);

    void ProgramBegins() override;
    void ProgramText(std::string_view text) override;
    void ProgramEnds(Ending ending) override;
    // Writes what has come so far to the hidden file, so that a crash loses
    // no more than the last moments of a punch.
    void Flush();

    // The program being filed: its lines and bytes so far, the time since it
    // began, and its number once its first lines have shown it.
    std::uint64_t LinesSoFar() const { return lines_; }
    std::uint64_t BytesSoFar() const { return bytes_; }
    std::chrono::milliseconds ElapsedSoFar() const;
    std::optional<std::string> NumberSoFar() const;

    // A request is no longer than this.
    static constexpr std::size_t RequestBytes = 4096;
    // What came is written at least this often.
    static constexpr std::chrono::seconds FlushInterval{1};
    // The most of a program held in memory when no folder takes it.
    static constexpr std::size_t MemoryBytes = std::size_t{16} << 20;
    // The start of the hidden files' names.
    static constexpr std::string_view HiddenPrefix = ".feedrail-receiving-";
    // In the name of a program cut short, after its number.
    static constexpr std::string_view IncompleteMark = "-incomplete-";

private:
    void OpenTemporary(std::size_t from);
    void Refuse(const std::string& place, int error);
    void HoldInMemory(std::uint64_t elsewhere);
    void MoveOn();
    void Discard();
    void Place(FiledProgram& filed, const std::string& name);
    int MoveIntoPlace(FiledProgram& filed, const std::string& name);
    void SaveFromMemory(FiledProgram& filed, const std::string& name);
    EarlierVersion FreeName(const std::string& folder, const std::string& name) const;
    std::string Name(const FiledProgram& filed) const;

    std::function<void(FiledProgram)> filed_;
    std::function<Clock::time_point()> now_;
    std::vector<std::string> folders_;
    std::string extension_;
    bool keep_ = false;
    bool requests_ = false;
    bool versions_ = false;

    int fd_ = -1;
    std::string temporary_;
    // Bytes the hidden file holds.
    std::uint64_t written_ = 0;
    std::size_t folder_ = 0;
    std::vector<std::string> refused_;
    int error_ = 0;
    // Bytes on their way to the file; all of the program when no file took it.
    std::string buffer_;
    bool inMemory_ = false;
    // Why the program cannot be saved whole, once that is so.
    std::string lost_;
    Clock::time_point flushed_{};
    Clock::time_point began_{};
    // The program's first bytes, where its number stands.
    std::string head_;
    std::uint64_t lines_ = 0;
    std::uint64_t bytes_ = 0;
};

// The folder of last resort for received programs: feedrail/received/ in the
// user's data folder ($XDG_DATA_HOME, else ~/.local/share).
std::string LastResortFolder();

} // namespace feedrail
