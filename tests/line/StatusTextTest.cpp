#include "line/StatusText.h"

#include "serial/device/SerialDevice.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

using Code = StatusCode;

// The window's words are the ones its operators, its tests and the help
// manual's table know; the service's are the same without a key to press.
TEST(StatusTextTest, EachStatusReadsAsTheWindowAndTheServiceSayIt) {
    const struct {
        LineStatus status;
        const char* window;
        // Null: as the window says it.
        const char* service;
    } cases[] = {
        {{.Code = Code::NotEncodable,
          .Reason = "line 3, column 2 holds \"@\", which has no EIA code"},
         "Cannot send in EIA: line 3, column 2 holds \"@\", which has no EIA code",
         nullptr},
        {{.Code = Code::WaitingForXon}, "Waiting for Remote Start", nullptr},
        {{.Code = Code::WaitingForCts},
         "Waiting for Remote Start-press esc to cancel",
         "Waiting for Remote Start"},
        {{.Code = Code::MachineXon}, "xon", nullptr},
        {{.Code = Code::Sending}, "Sending Data - press esc to cancel", "Sending Data"},
        {{.Code = Code::PausedByMachine}, "Paused by the machine (XOFF)", nullptr},
        {{.Code = Code::SendFinished}, "Finished Send", nullptr},
        {{.Code = Code::SendStoppedBetweenLines}, "Sending Canceled", nullptr},
        {{.Code = Code::SendCancelled}, "Send Cancelled", nullptr},
        {{.Code = Code::ServiceEnds}, "Stopped: the service ends", nullptr},
        {{.Code = Code::WaitingForData}, "Waiting For Data", nullptr},
        {{.Code = Code::Receiving}, "Receiving Data", nullptr},
        {{.Code = Code::ReceiveFinished}, "Finished Receiving", nullptr},
        {{.Code = Code::LineTooLong, .Line = 2},
         "Receive stopped: line 2 is longer than 1 MiB (is the tape code right?)",
         nullptr},
        {{.Code = Code::ReadFailed}, "Error reading incoming data...", nullptr},
        {{.Code = Code::LineError, .LineErrorFlag = CommErrorBit::CE_RXPARITY},
         "The hardware detected a parity error.",
         nullptr},
        {{.Code = Code::LeftoverKept, .Path = "/nc/O1234.nc"},
         "A punch cut short when Feedrail last ended was kept as /nc/O1234.nc",
         nullptr},
        {{.Code = Code::LeftoverNotKept, .Error = ENOSPC},
         "A punch cut short when Feedrail last ended was not kept: No space left on device",
         nullptr},
        {{.Code = Code::LogNotWritten, .Path = "/nc/transfers.log", .Error = EACCES},
         "Cannot write /nc/transfers.log: Permission denied",
         nullptr},
        {{.Code = Code::ProgramNotKept}, "Received program not kept: Auto Receive is off", nullptr},
        {{.Code = Code::ProgramNotSaved, .Reason = "/nc: disk full; /home/op: read-only"},
         "Cannot save the received program: /nc: disk full; /home/op: read-only",
         nullptr},
        {{.Code = Code::ProgramSaved, .Path = "/nc/O1234.nc"}, "Saved /nc/O1234.nc", nullptr},
        {{.Code = Code::ProgramSaved,
          .Path = "/tmp/O1234.nc",
          .Reason = "/nc: disk full",
          .Incomplete = true,
          .LogFailed = true},
         "Saved /tmp/O1234.nc (incomplete) (/nc: disk full); the transfer log could not be written",
         nullptr},
        {{.Code = Code::RequestNotFound, .Program = "O1234"},
         "Requested program O1234 not found",
         nullptr},
        {{.Code = Code::RequestNotFound,
          .Program = "O1",
          .Reason = "O1.nc leads out of the folder"},
         "Requested program O1 not found; O1.nc leads out of the folder",
         nullptr},
        {{.Code = Code::RequestNotAnswered,
          .Program = "O1234",
          .Reason = "not answered: the program in the editor is not saved"},
         "Request for O1234 not answered: the program in the editor is not saved",
         nullptr},
        {{.Code = Code::PortGone, .Port = "COM2", .Device = "COM2"},
         "The port COM2 is gone: unplugged or switched off?",
         nullptr},
        {{.Code = Code::PortGone, .Port = "COM2", .Device = "/dev/ttyUSB0", .Retrying = true},
         "The port /dev/ttyUSB0 (COM2) is gone: unplugged or switched off? Trying again until it "
         "is back.",
         nullptr},
        {{.Code = Code::ConnectionLost, .Port = "tcp://10.0.4.22:4002", .Reason = "reset by peer"},
         "The connection to tcp://10.0.4.22:4002 is lost: reset by peer.",
         nullptr},
        {{.Code = Code::ConnectionNotMade,
          .Port = "rfc2217://10.0.4.21:4001",
          .Reason = "refused",
          .Retrying = true},
         "The connection to rfc2217://10.0.4.21:4001 cannot be made: refused. Trying again until "
         "it is back.",
         nullptr},
        {{.Code = Code::PortBack, .Port = "COM2", .Device = "/dev/ttyUSB0"},
         "The port /dev/ttyUSB0 (COM2) is back",
         nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StatusText(c.status, StatusAudience::Window), c.window);
        EXPECT_EQ(StatusText(c.status, StatusAudience::Service),
                  c.service != nullptr ? c.service : c.window);
    }
}

} // namespace
} // namespace feedrail
