#pragma once

#include "serial/device/LineTap.h"
#include "serial/device/SerialSettings.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace feedrail {

// Device event bits, as reported by SerialDevice::TakeEvents.
namespace CommEventBit {
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t EV_RXFLAG = 0x0002;
inline constexpr std::uint32_t EV_TXEMPTY = 0x0004;
inline constexpr std::uint32_t EV_CTS = 0x0008;
inline constexpr std::uint32_t EV_DSR = 0x0010;
inline constexpr std::uint32_t EV_RLSD = 0x0020;
inline constexpr std::uint32_t EV_BREAK = 0x0040;
inline constexpr std::uint32_t EV_ERR = 0x0080;
inline constexpr std::uint32_t EV_RING = 0x0100;
// Ours, not a platform flag: a device that was being reached (Connecting) is.
inline constexpr std::uint32_t EV_REACHED = 0x10000;
} // namespace CommEventBit

// Line-error bits, as returned by SerialDevice::ClearError.
namespace CommErrorBit {
inline constexpr std::uint32_t CE_RXOVER = 0x0001;
inline constexpr std::uint32_t CE_OVERRUN = 0x0002;
inline constexpr std::uint32_t CE_RXPARITY = 0x0004;
inline constexpr std::uint32_t CE_FRAME = 0x0008;
inline constexpr std::uint32_t CE_BREAK = 0x0010;
inline constexpr std::uint32_t CE_TXFULL = 0x0100;
inline constexpr std::uint32_t CE_PTO = 0x0200;
inline constexpr std::uint32_t CE_IOE = 0x0400;
inline constexpr std::uint32_t CE_DNS = 0x0800;
inline constexpr std::uint32_t CE_OOP = 0x1000;
inline constexpr std::uint32_t CE_MODE = 0x8000;
// Ours, not a platform flag: the device has gone (hung up, unplugged).
inline constexpr std::uint32_t CE_HANGUP = 0x10000;
} // namespace CommErrorBit

// Modem status bits, as returned by SerialDevice::GetModemStatus.
namespace ModemStatusBit {
inline constexpr std::uint32_t MS_CTS_ON = 0x0010;
inline constexpr std::uint32_t MS_DSR_ON = 0x0020;
inline constexpr std::uint32_t MS_RING_ON = 0x0040;
inline constexpr std::uint32_t MS_RLSD_ON = 0x0080;
} // namespace ModemStatusBit

// Hold-reason bits of ComStat::Flags.
namespace ComStatBit {
inline constexpr std::uint32_t fCtsHold = 0x01;
inline constexpr std::uint32_t fDsrHold = 0x02;
inline constexpr std::uint32_t fRlsdHold = 0x04;
inline constexpr std::uint32_t fXoffHold = 0x08;
inline constexpr std::uint32_t fXoffSent = 0x10;
} // namespace ComStatBit

// Purge flags.
namespace PurgeFlag {
inline constexpr std::uint32_t PURGE_TXABORT = 0x0001;
inline constexpr std::uint32_t PURGE_RXABORT = 0x0002;
inline constexpr std::uint32_t PURGE_TXCLEAR = 0x0004;
inline constexpr std::uint32_t PURGE_RXCLEAR = 0x0008;
} // namespace PurgeFlag

// Line functions for SerialDevice::EscapeFunction.
namespace EscapeCode {
inline constexpr int SETXOFF = 1;
inline constexpr int SETXON = 2;
inline constexpr int SETRTS = 3;
inline constexpr int CLRRTS = 4;
inline constexpr int SETDTR = 5;
inline constexpr int CLRDTR = 6;
} // namespace EscapeCode

// Queue status: why output is held, and the bytes waiting in each direction.
struct ComStat {
    std::uint32_t Flags = 0;
    std::uint32_t cbInQue = 0;
    std::uint32_t cbOutQue = 0;
};

// One open serial device. The port component runs everything through this
// interface, so the same component works on a real port, a pseudo-terminal or
// an in-memory null-modem pair.
//
// Every operation returns 0 or the errno of its failure; after Close() every
// operation fails with EBADF. A device tells its owner that events have
// happened through the listener, from whichever thread finds them, and the
// owner takes them when it comes to it, so no thread ever waits for another
// to handle an event. Implementations are thread-safe, and nothing but Write
// (for at most its time-out) ever blocks.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    virtual int GetSettings(SerialSettings& settings) = 0;
    // The whole record is written each time, but DTR and RTS move only when
    // their own control modes change (LineModeActions): a line that
    // EscapeFunction raised or dropped keeps that state through writes that
    // leave its mode alone.
    // A baud rate the device cannot make fails with ERANGE.
    virtual int SetSettings(const SerialSettings& settings) = 0;
    // Reads return at once with what has arrived; writes have no limit of the
    // device's own (Write's time-out is the only one).
    virtual int SetTimeouts() = 0;
    virtual int SetQueueSizes(std::uint32_t inputBytes, std::uint32_t outputBytes) = 0;
    virtual int SetEventMask(std::uint32_t mask) = 0;

    // Called once when an event of the mask has happened that TakeEvents has
    // not taken, and again only after TakeEvents. It may be called with the
    // device's own lock held: it must only queue work and return, never call
    // the device. None is called once Close or a new listener has returned.
    virtual void SetEventListener(std::function<void()> listener) = 0;
    // Takes the events of the mask that have happened (CommEventBit), at once.
    virtual int TakeEvents(std::uint32_t& events) = 0;

    // Hands `count` bytes to the line. When they cannot all be handed over
    // within `timeoutMs` (flow control holds them), `written` is 0 and the
    // bytes stay queued: they go out later, in order, ahead of any later write.
    virtual int Write(const char* data, std::size_t count, int timeoutMs, std::size_t& written) = 0;
    // Takes up to `count` received bytes without waiting.
    virtual int Read(char* data, std::size_t count, std::size_t& read) = 0;
    // Puts bytes read back before any still waiting, for the next reader.
    virtual void Unread(const char* data, std::size_t count) = 0;

    // Fetches and clears the line-error flags (CommErrorBit), with the queue status.
    virtual int ClearError(std::uint32_t& errors, ComStat& stat) = 0;
    virtual int Purge(std::uint32_t flags) = 0;
    virtual int EscapeFunction(int function) = 0;
    virtual int GetModemStatus(std::uint32_t& status) = 0;

    // Closes the device and wakes any wait; a later call fails with EBADF.
    virtual void Close() = 0;

    // The scheduling priority (a nice value) the device asks for its line
    // thread, if it has one; best effort, as raising it needs privileges.
    virtual void SetThreadNiceness([[maybe_unused]] int niceness) {}

    // Starts or stops keeping what crosses the line each way, raw, with its
    // times (LineTap); stopping drops what was kept. A device without a line
    // of its own keeps nothing.
    virtual void WatchLine([[maybe_unused]] bool on) {}
    // Moves out what was kept since the last take; `dropped` is told the
    // bytes the tap's limit let go meanwhile.
    virtual std::vector<TappedBytes> TakeLineTraffic(std::uint64_t& dropped) {
        dropped = 0;
        return {};
    }

    // Asks the driver to hand on received bytes at once rather than in
    // batches (a USB adapter's latency timer); the errno of a refusal.
    // Devices without such a setting refuse with ENOTTY.
    virtual int SetLowLatency() { return ENOTTY; }

    // The device is still being reached (a network device finding its
    // server, connecting, negotiating): what is written and set meanwhile
    // waits for it. Its success comes as EV_REACHED, its failure as a going
    // (CE_HANGUP).
    virtual bool Connecting() const { return false; }

    // Why the device has gone (CE_HANGUP), in words, when it can tell more
    // than that it went.
    virtual std::string GoneReason() const { return {}; }

    // Whether every byte written so far has got past what this end can see:
    // a network device's queues are empty and the server's TCP has
    // acknowledged every byte, so that a send ends only once a stalled server
    // has either taken it or been given up (the TCP user time-out, reported
    // as CE_HANGUP). A local port's line pacing keeps a writer with its line
    // already: it says yes. Once the device has gone, it says yes if all
    // had been delivered when it went, and fails with the cause otherwise.
    virtual int OutputDelivered(bool& delivered) {
        delivered = true;
        return 0;
    }
};

} // namespace feedrail
