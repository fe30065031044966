#include "utilities/RenumberRules.h"

namespace feedrail {
namespace {

bool IsNumberCharacter(char c) {
    return c == '\t' || c == '*' || c == '+' || c == '-' || c == '.' || c == '/' ||
           (c >= '0' && c <= '9');
}

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// Where ExtractComment's stretch starts and how long it is; npos when none.
std::pair<std::size_t, std::size_t> CommentSpan(std::string_view block) {
    const std::size_t open = block.find('(');
    const std::size_t close = block.find(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
        return {std::string_view::npos, 0};
    }
    return {open, close - open + 1};
}

// A leading "NE" or the N of "END" would take the number: an "N" of its
// own at the block's start (after a block-delete "/") is taken instead.
bool NeedsOwnAddress(const std::string& block) {
    const std::size_t firstN = block.find('N');
    const std::size_t ne = block.find("NE");
    const std::size_t end = block.find("END");
    return (ne != std::string::npos && firstN == ne) ||
           (end != std::string::npos && firstN == end + 1);
}

void InsertAddress(std::string& block) {
    block.insert(block.starts_with('/') ? 1 : 0, 1, 'N');
}

} // namespace

std::string ExtractComment(std::string_view block) {
    const auto [start, length] = CommentSpan(block);
    return start == std::string_view::npos ? std::string()
                                           : std::string(block.substr(start, length));
}

std::string RemoveComment(std::string_view block) {
    std::string rest(block);
    const auto [start, length] = CommentSpan(block);
    if (start != std::string_view::npos) {
        rest.erase(start, length);
    }
    return rest;
}

AddressSplit SplitAtAddress(char letter, std::string_view block) {
    const std::size_t letterAt = block.find(letter);
    AddressSplit split;
    std::size_t numberAt = 0;
    if (letterAt != std::string_view::npos) {
        split.Before = block.substr(0, letterAt);
        numberAt = letterAt + 1;
    }
    std::size_t restAt = numberAt;
    while (restAt < block.size() && IsNumberCharacter(block[restAt])) {
        ++restAt;
    }
    split.OldNumber = block.substr(numberAt, restAt - numberAt);
    while (restAt < block.size() && IsBlankOrControl(block[restAt])) {
        ++restAt;
    }
    split.Rest = block.substr(restAt);
    return split;
}

RenumberedLine RenumberLine(std::string_view line, std::uint64_t number) {
    std::string block(line.substr(0, RenumberBlockLength));
    std::string tail(line.substr(block.size()));
    if (block.empty() || block[0] == '%' || block[0] == '$' || block[0] == ':') {
        return {RenumberedLine::Skipped, std::string(line)};
    }
    if (block.starts_with('O') || block.starts_with("IF") || block.starts_with("NB")) {
        return {RenumberedLine::SkippedWithKeyCheck, std::string(line)};
    }
    std::string comment;
    if (block.find('(') != std::string::npos) {
        comment = ExtractComment(block);
        block = RemoveComment(block);
    }
    if (block.starts_with('/') && block.find('N') == std::string::npos) {
        InsertAddress(block);
    }
    if (NeedsOwnAddress(block)) {
        InsertAddress(block);
    }
    if (block.size() > RenumberBlockLength) {
        tail.insert(0, block.substr(RenumberBlockLength));
        block.resize(RenumberBlockLength);
    }
    // The comment follows the whole block: put before a kept tail it would
    // land inside the address word the 100 characters cut.
    const AddressSplit split = SplitAtAddress('N', block);
    return {RenumberedLine::Rebuilt,
            split.Before + "N" + std::to_string(number) + " " + split.Rest + tail + comment};
}

} // namespace feedrail
