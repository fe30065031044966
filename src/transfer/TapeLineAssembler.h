#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace feedrail {

// Puts a tape's lines together from its decoded characters, the same for a
// receive into the editor and for Auto Receive: a line feed ends a line;
// ISO's carriage return, blank tape (NUL) and the flow-control characters
// XON and XOFF are no part of one. Whether the line so far is blank, or a
// "%" alone, is known at each character without looking back over it, and
// no more than `heldBytes` of a line is ever held: the owner takes a line
// that reaches that as a part and decides what becomes of it.
class TapeLineAssembler {
public:
    explicit TapeLineAssembler(std::size_t heldBytes) : heldBytes_(heldBytes) {}

    // CR, NUL, XON, XOFF.
    static bool NoPartOfALine(char character);

    // Adds a character of text; true when the line now holds `heldBytes`
    // and the owner must take them (TakePart) before the next.
    bool Add(char character);
    // What is held of the line.
    const std::string& Held() const { return held_; }
    // Nothing but spaces and tabs so far, parts taken included.
    bool Blank() const { return !content_; }
    // A "%" alone, with blanks around it at most.
    bool PercentAlone() const { return percents_ == 1 && !other_; }
    std::string TakePart();
    // Ends the line: what is held of it.
    std::string TakeLine();
    void Clear();

private:
    std::size_t heldBytes_;
    std::string held_;
    bool content_ = false;
    bool other_ = false;
    int percents_ = 0;
};

} // namespace feedrail
