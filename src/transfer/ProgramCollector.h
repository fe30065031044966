#pragma once

#include "transfer/TapeLineAssembler.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace feedrail {

// Where the programs a collector cuts from a tape go, line by line as they
// come, so that a program of any size passes through without being held.
class ProgramSink {
public:
    enum class Ending {
        // Its record went on to another program, a "%" line or DC4.
        Complete,
        // A new DC2 or the end of listening cut it short.
        Interrupted,
        // It grew past the most bytes a program may have.
        TooLong,
    };

    virtual ~ProgramSink() = default;
    virtual void ProgramBegins() = 0;
    // The program's bytes: whole lines with their line feeds, and the parts
    // of a very long line as they come.
    virtual void ProgramText(std::string_view text) = 0;
    virtual void ProgramEnds(Ending ending) = 0;
};

// Cuts what a machine punches (decoded characters) into programs by the rules
// of a tape. A record starts at DC2 or at a line of "%" alone and ends at DC4;
// within it a "%" line ends the program before it (and the next line that
// holds something begins another), and a line that starts
// with a program number ("O1234", ":1234") begins a program of its own once
// the one before has its number. A "%" anywhere else in a line is text.
// Carriage returns (which ISO's parity may let through), blank tape and the
// flow-control characters are no part of a line, and a program of nothing
// but empty lines is none: its lines wait until one holds something.
class ProgramCollector {
public:
    ProgramCollector(ProgramSink& sink, std::uint64_t mostBytes)
        : sink_(sink), mostBytes_(mostBytes) {}

    // A line is handed on in parts of this size at the most.
    static constexpr std::size_t PartBytes = 64 * 1024;

    void Take(char character);
    // A program has begun and not ended.
    bool Collecting() const { return state_ == State::Program; }
    // Ends a program begun so far as interrupted, and the record with it.
    void Interrupt();
    void SetMostBytes(std::uint64_t bytes) { mostBytes_ = bytes; }

private:
    enum class State {
        // Outside a record: only DC2 or a "%" line starts one.
        Outside,
        // In a record, between programs.
        Between,
        Program,
        // The rest of a program that grew too long, up to its end.
        Skipping,
    };

    void TakeText(char character);
    void EndLine();
    // The start of a line that holds something other than "%": whether it
    // belongs to a program (begun here when need be).
    bool StartContent(std::string_view line);
    void Begin();
    // Hands on text of the program, with the empty lines held back before it.
    void Add(std::string_view text, bool lineEnds);
    void End(ProgramSink::Ending ending, State next);

    ProgramSink& sink_;
    std::uint64_t mostBytes_;
    State state_ = State::Outside;
    bool numbered_ = false;
    std::uint64_t bytes_ = 0;
    // Empty lines at the start of a program wait for one that holds
    // something.
    std::uint64_t emptyLines_ = 0;
    // Parts of the current line have gone to the sink already.
    bool midLine_ = false;
    TapeLineAssembler line_{PartBytes};
};

} // namespace feedrail
