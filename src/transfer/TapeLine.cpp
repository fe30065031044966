#include "transfer/TapeLine.h"

#include "common/ControlChars.h"
#include "transfer/TapeCode.h"

namespace feedrail {

std::string TapeLineBytes(std::string_view editorText, std::int32_t punchType, std::int32_t eob,
                          bool leader) {
    std::string text(editorText);
    const std::size_t dollar = text.find('$');
    const std::size_t percent = text.find('%');
    if (leader && dollar != std::string::npos && percent != std::string::npos && dollar < percent) {
        text.insert(percent, LeaderLength, LeaderChar);
    }
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text.pop_back();
    }
    return EncodeTapeText(text, punchType) + EndOfLineBytes(eob, punchType);
}

std::string TapeTrailer() {
    return std::string(TrailerLength, LeaderChar) + ControlChar::Dc4;
}

} // namespace feedrail
