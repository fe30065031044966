#pragma once

#include "common/FileDescriptor.h"
#include "serial/device/BufferedSerialDevice.h"

#include <linux/serial.h>
#include <memory>
#include <optional>
#include <string>

namespace feedrail {

// A serial port, USB serial adapter or pseudo-terminal through termios.
//
// When the input queue is full the terminal's own flow control holds the
// sender. Output XON/XOFF is done by the line thread rather than by the
// terminal, and output is paced by the baud rate and the driver's queue, so
// that a control that sends XOFF sees at most a few more characters, whatever
// the adapter's driver does with the bytes it holds. Its line thread is one
// of the process's shared ones (LineThreads).
class PosixSerialDevice : public BufferedSerialDevice, private LineServed {
public:
    // Opens `path` exclusively; nullptr and `error` (errno) when it cannot.
    static std::shared_ptr<PosixSerialDevice> Open(const std::string& path, int& error);
    ~PosixSerialDevice() override;

    int SetSettings(const SerialSettings& settings) override;
    int ClearError(std::uint32_t& errors, ComStat& stat) override;
    int Purge(std::uint32_t flags) override;
    int EscapeFunction(int function) override;
    int GetModemStatus(std::uint32_t& status) override;
    void Close() override;
    int SetLowLatency() override;
    // Once the device has gone, no if bytes were still to be written then.
    int OutputDelivered(bool& delivered) override;

private:
    explicit PosixSerialDevice(FileDescriptor fd);

    LineWait LinePass(bool lineGone) override;

    // All of these run with mutex_ held.
    void DrainInput() override;
    int PushPending(Clock::time_point now) override;
    // The lines and XOFF state the hold rules look at; lines that cannot be
    // read count as on when `unreadableOn`, as off otherwise.
    OutputLineState OutputState(bool unreadableOn);
    bool OutputAllowed();
    std::size_t Backlog(Clock::time_point now) const;
    void PollLineChanges();
    void PollErrorCounters();
    void CheckTxEmpty(Clock::time_point now);
    Clock::time_point NextPass(Clock::time_point now);
    int ModemLines(int& lines);
    int SetLine(int line, bool on);
    int ApplyDtrAction(LineAction action);
    int ApplyRtsAction(LineAction action);
    // One of the EscapeCode functions, with mutex_ held.
    int SetLineFunction(int function);
    // The device has gone: reported once as CE_HANGUP, and no longer polled.
    void MarkHungUp();
    // What is still to be written to a device that has gone goes nowhere.
    void DropOutput();

    FileDescriptor fd_;
    bool hungUp_ = false;
    bool outputDropped_ = false;
    bool dtrHeldLow_ = false;
    // The flag word whose line modes are in effect; none before the first
    // settings write, which sets both lines whatever the open left them at.
    std::optional<std::uint32_t> lineFlags_;

    bool modemLinesKnown_ = true;
    int lastLines_ = 0;
    bool countersKnown_ = true;
    serial_icounter_struct lastCounters_{};
    // When a pass last cut a batch of input; the passes' own, read before
    // the lock is taken (they never overlap).
    Clock::time_point inputCutAt_{};
};

} // namespace feedrail
