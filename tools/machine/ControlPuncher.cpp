#include "machine/ControlPuncher.h"

#include "common/ControlChars.h"
#include "transfer/TapeCode.h"
#include "transfer/TapeImage.h"
#include "transfer/TapeLine.h"

#include <algorithm>

namespace feedrail::machine {

ControlPuncher::ControlPuncher(const PunchConfig& config, std::string_view program)
    : charsPerSecond_(config.charsPerSecond) {
    if (config.dcCodes) {
        tape_ += EncodeTapeText("\x12", config.punchType);
    }
    tape_ += std::string(config.leader, LeaderChar);
    tape_ += EncodeProgramText(program, config.punchType, config.eob, false);
    tape_ += std::string(config.trailer, LeaderChar);
    if (config.dcCodes) {
        tape_ += EncodeTapeText(std::string(1, ControlChar::Dc4), config.punchType);
    }
}

std::string ControlPuncher::Next(Clock::time_point now) {
    if (!started_) {
        started_ = true;
        last_ = now;
        credit_ = 1;
    }
    credit_ = std::min(
        credit_ + std::chrono::duration<double>(now - last_).count() * charsPerSecond_, 4.0);
    last_ = now;
    if (held_ || Done()) {
        return {};
    }
    const auto count = std::min(tape_.size() - sent_, static_cast<std::size_t>(credit_));
    credit_ -= static_cast<double>(count);
    const std::string bytes = tape_.substr(sent_, count);
    sent_ += count;
    return bytes;
}

void ControlPuncher::Receive(std::string_view bytes) {
    for (const char byte : bytes) {
        if (byte == ControlChar::Xoff) {
            held_ = true;
        } else if (byte == ControlChar::Xon) {
            held_ = false;
        }
    }
}

} // namespace feedrail::machine
