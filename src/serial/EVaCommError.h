#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace feedrail {

// The one error every failure of the serial port component raises.
class EVaCommError : public std::runtime_error {
public:
    explicit EVaCommError(const std::string& message, std::string advice = {})
        : std::runtime_error(message), advice_(std::move(advice)) {}

    // What the operator can do about the failure, where the failure tells;
    // empty otherwise.
    const std::string& Advice() const { return advice_; }

    // A message of the form "<text> (%d), %s", filled with an errno value and
    // the system's text for it, without trailing blanks, full stops or
    // control characters.
    static EVaCommError WithCode(const std::string& format, int code);
    // A message of the form "<text> COM%d" (or "(COM%d)"), filled with a port number.
    static EVaCommError WithPort(const std::string& format, int port);

private:
    std::string advice_;
};

// The fixed message texts.
namespace CommErrorText {
inline constexpr const char* PortOpen = "Can't perform this operation when port is open";
inline constexpr const char* InvalidPort = "Invalid port number (COM%d)";
inline constexpr const char* CantOpen = "Can't open device COM%d";
inline constexpr const char* ReadDcb = "Error reading dcb (%d), %s";
inline constexpr const char* WriteDcb = "Error writing dcb (%d), %s";
inline constexpr const char* Timeouts = "Error setting timeouts (%d), %s";
inline constexpr const char* Buffers = "Error initializing buffers (%d), %s";
inline constexpr const char* EventMask = " Error setting EventMask (%d), %s";
inline constexpr const char* Purge = "Error clearing buffers (%d), %s";
inline constexpr const char* CommFunction = "Error calling comm function (%d), %s";
inline constexpr const char* ModemState = "Error reading modem state (%d), %s";
inline constexpr const char* Statistics = "Error retrieving statistics (%d), %s";
inline constexpr const char* Write = "Write error (%d), %s";
inline constexpr const char* Read = "Read error (%d), %s";
inline constexpr const char* ManualDtr = "Manual DTR line updates not allowed.";
inline constexpr const char* ManualRts = "Manual RTS line updates not allowed.";
} // namespace CommErrorText

} // namespace feedrail
