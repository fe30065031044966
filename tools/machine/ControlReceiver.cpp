#include "machine/ControlReceiver.h"

#include "common/ControlChars.h"
#include "transfer/TapeCode.h"

#include <algorithm>
#include <utility>

namespace feedrail::machine {
namespace {

using namespace ControlChar;

bool IsTapeControl(char c) {
    return c == Nul || c == Xon || c == Dc2 || c == Xoff || c == Dc4 || c == '\r';
}

} // namespace

ControlReceiver::ControlReceiver(ReceiverConfig config) : config_(config) {}

std::string ControlReceiver::Start(Clock::time_point now) {
    lastDrain_ = now;
    lastCharacter_ = now;
    lastXon_ = now;
    return config_.xonXoff && config_.xonAtStart ? std::string(1, Xon) : std::string();
}

std::string ControlReceiver::Receive(std::string_view bytes, Clock::time_point now) {
    for (const char byte : bytes) {
        ++buffered_;
        if (xoffSent_ && ++afterXoff_ > config_.overrunLimit) {
            alarm_ = true;
        }
        Decode(byte);
    }
    if (!bytes.empty()) {
        lastCharacter_ = now;
    }
    mostAfterXoff_ = std::max(mostAfterXoff_, afterXoff_);
    return FlowReply(now);
}

std::string ControlReceiver::Tick(Clock::time_point now) {
    drainCredit_ +=
        std::chrono::duration<double>(now - lastDrain_).count() * config_.drainPerSecond;
    lastDrain_ = now;
    const auto drained = std::min(buffered_, static_cast<std::size_t>(drainCredit_));
    buffered_ -= drained;
    drainCredit_ = buffered_ == 0 ? 0 : drainCredit_ - static_cast<double>(drained);
    std::string reply = FlowReply(now);
    // A control that waits for data asks again now and then.
    if (config_.xonXoff && config_.xonRepeat.count() > 0 && !xoffSent_ &&
        now - lastCharacter_ >= config_.xonRepeat && now - lastXon_ >= config_.xonRepeat) {
        lastXon_ = now;
        reply += Xon;
    }
    return reply;
}

std::vector<std::string> ControlReceiver::TakePrograms() {
    return std::exchange(programs_, {});
}

void ControlReceiver::Decode(char byte) {
    const auto character = DecodeTapeByte(static_cast<unsigned char>(byte), config_.punchType);
    if (!character || IsTapeControl(*character)) {
        return;
    }
    if (!inProgram_) {
        if (*character == '%') {
            inProgram_ = true;
            lineBlank_ = false;
            program_ = "%";
        }
        return;
    }
    program_ += *character;
    // A "%" inside a block, a comment's, is text to the control.
    if (*character == '%' && lineBlank_) {
        programs_.push_back(program_ + "\n");
        inProgram_ = false;
        program_.clear();
    }
    if (*character == '\n') {
        lineBlank_ = true;
    } else if (*character != ' ') {
        lineBlank_ = false;
    }
}

std::string ControlReceiver::FlowReply(Clock::time_point now) {
    if (!config_.xonXoff) {
        return {};
    }
    if (!xoffSent_ && buffered_ >= config_.highMark) {
        xoffSent_ = true;
        afterXoff_ = 0;
        return std::string(1, Xoff);
    }
    if (xoffSent_ && buffered_ <= config_.lowMark) {
        xoffSent_ = false;
        lastXon_ = now;
        return std::string(1, Xon);
    }
    return {};
}

} // namespace feedrail::machine
