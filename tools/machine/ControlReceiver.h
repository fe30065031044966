#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace feedrail::machine {

using Clock = std::chrono::steady_clock;

struct ReceiverConfig {
    std::int32_t punchType = 3;
    bool xonXoff = true;
    // Sends DC1 when ready to read.
    bool xonAtStart = true;
    // Repeats DC1 after this long without a character; zero never repeats.
    std::chrono::milliseconds xonRepeat{0};
    std::size_t bufferSize = 256;
    std::size_t highMark = 192;
    std::size_t lowMark = 64;
    double drainPerSecond = 200;
    // More characters than this after an XOFF raise the overrun alarm.
    std::size_t overrunLimit = 10;
};

// The tape reader of a control: a buffer drained at the control's own pace,
// XOFF when it fills and XON when it has room again, the count of characters
// that still arrive after each XOFF, and the programs read, decoded in the
// control's tape code from "%" to a "%" line.
class ControlReceiver {
public:
    explicit ControlReceiver(ReceiverConfig config);

    // Each returns the bytes the control sends back.
    std::string Start(Clock::time_point now);
    std::string Receive(std::string_view bytes, Clock::time_point now);
    std::string Tick(Clock::time_point now);

    // Programs read to their closing "%", each ending with a line feed.
    std::vector<std::string> TakePrograms();
    bool Alarm() const { return alarm_; }
    // The most characters that arrived after one XOFF.
    std::size_t MostAfterXoff() const { return mostAfterXoff_; }
    std::size_t Buffered() const { return buffered_; }

private:
    void Decode(char byte);
    std::string FlowReply(Clock::time_point now);

    ReceiverConfig config_;
    std::size_t buffered_ = 0;
    double drainCredit_ = 0;
    Clock::time_point lastDrain_{};
    Clock::time_point lastCharacter_{};
    Clock::time_point lastXon_{};
    bool xoffSent_ = false;
    std::size_t afterXoff_ = 0;
    std::size_t mostAfterXoff_ = 0;
    bool alarm_ = false;
    bool inProgram_ = false;
    // Nothing but blanks yet on the program's current line.
    bool lineBlank_ = false;
    std::string program_;
    std::vector<std::string> programs_;
};

} // namespace feedrail::machine
