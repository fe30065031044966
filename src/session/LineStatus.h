#pragma once

#include <cstdint>
#include <string>

namespace feedrail {

// What a machine's line tells of itself.
enum class StatusCode {
    // A send.
    NotEncodable,
    WaitingForXon,
    WaitingForCts,
    MachineXon,
    Sending,
    PausedByMachine,
    SendFinished,
    // Stopped between lines, the trailer still sent.
    SendStoppedBetweenLines,
    SendCancelled,
    ServiceEnds,
    // A receive.
    WaitingForData,
    Receiving,
    ReceiveFinished,
    LineTooLong,
    ReadFailed,
    LineError,
    // Auto Receive and Remote Request.
    LeftoverKept,
    LeftoverNotKept,
    LogNotWritten,
    ProgramNotKept,
    ProgramNotSaved,
    ProgramSaved,
    RequestNotFound,
    RequestNotAnswered,
    // The device.
    PortGone,
    ConnectionLost,
    ConnectionNotMade,
    PortBack,
    // The port did not open when the machine was chosen; Reason says why.
    PortNotOpened,
};

// The line's status as a fact, with the values it names; the window and the
// service each put it in words (StatusText), the window with its key hints.
struct LineStatus {
    StatusCode Code = StatusCode::WaitingForData;
    // A file: a program filed or kept, the transfer log.
    std::string Path{};
    // A program's number, as the machine asked for it.
    std::string Program{};
    // The port as messages name it ("COM2"), and the device it opened, when
    // that is another name ("/dev/ttyUSB0").
    std::string Port{};
    std::string Device{};
    // Words that go to the transfer log as well (why a program cannot be
    // sent, why a request goes unanswered, the places that refused a
    // program), or a device server's reason.
    std::string Reason{};
    // A line of the program, counted from 1.
    int Line = 0;
    // An errno value.
    int Error = 0;
    // The line-error flag (CommErrorBit).
    std::uint32_t LineErrorFlag = 0;
    // A program filed: cut short; the transfer log could not take it.
    bool Incomplete = false;
    bool LogFailed = false;
    // The device is tried again until it is back.
    bool Retrying = false;

    bool operator==(const LineStatus&) const = default;
};

} // namespace feedrail
