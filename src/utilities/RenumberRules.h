#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace feedrail {

// The block-number rules of renumbering, as pure functions over text.

// The first "(" to the first ")" of a block, both included; empty when there
// is no ")" or the first ")" stands before the first "(".
std::string ExtractComment(std::string_view block);
// The block without that stretch; unchanged where ExtractComment is empty.
std::string RemoveComment(std::string_view block);

// A block split at the first occurrence of an address letter.
struct AddressSplit {
    // What stands before the letter.
    std::string Before;
    // The number characters right after the letter (tab, "*", "+", "-", ".",
    // "/", digits), or at the block's start when the letter is missing.
    std::string OldNumber;
    // The rest, without leading blanks and control characters.
    std::string Rest;
};
AddressSplit SplitAtAddress(char letter, std::string_view block);

// What renumbering does with one editor line.
struct RenumberedLine {
    enum Outcome {
        // "%", "$" and ":" lines and empty ones: left alone, no key check.
        Skipped,
        // "O", "IF" and "NB" lines: left alone, then the key check.
        SkippedWithKeyCheck,
        // Rebuilt with the number; then the key check.
        Rebuilt,
    };
    Outcome What;
    std::string Text;
};

// Renumbering examines the first 100 characters of a line; what stands past
// them (and what an inserted "N" pushes past them) is kept, appended after
// the rebuilt block unchanged.
inline constexpr std::size_t RenumberBlockLength = 100;

// The line with block number `number` in its N word.
RenumberedLine RenumberLine(std::string_view line, std::uint64_t number);

} // namespace feedrail
