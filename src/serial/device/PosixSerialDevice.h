#pragma once

#include "common/FileDescriptor.h"
#include "serial/device/LineRules.h"
#include "serial/device/SerialDevice.h"
#include "serial/device/WritePacing.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <linux/serial.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace feedrail {

// A serial port, USB serial adapter or pseudo-terminal through termios.
//
// A line thread of the device's own drains received bytes into the device's
// input queue (bounded by the input size; when it is full the terminal's own
// flow control holds the sender) and feeds queued output to the line, however
// busy the program's other threads are. Output XON/XOFF is done here rather
// than by the terminal: XON and XOFF are taken out of the input and hold the
// output, and output is kept only a couple of bytes ahead of the line (paced
// by the baud rate and the driver's queue), so that a control that sends XOFF
// sees at most a few more characters, whatever the adapter's driver does with
// the bytes it holds.
class PosixSerialDevice : public SerialDevice {
public:
    // Opens `path` exclusively; nullptr and `error` (errno) when it cannot.
    static std::shared_ptr<PosixSerialDevice> Open(const std::string& path, int& error);
    ~PosixSerialDevice() override;

    int GetSettings(SerialSettings& settings) override;
    int SetSettings(const SerialSettings& settings) override;
    int SetTimeouts() override;
    int SetQueueSizes(std::uint32_t inputBytes, std::uint32_t outputBytes) override;
    int SetEventMask(std::uint32_t mask) override;
    int WaitEvent(std::uint32_t& events) override;
    void CancelWait() override;
    int Write(const char* data, std::size_t count, int timeoutMs, std::size_t& written) override;
    int Read(char* data, std::size_t count, std::size_t& read) override;
    int ClearError(std::uint32_t& errors, ComStat& stat) override;
    int Purge(std::uint32_t flags) override;
    int EscapeFunction(int function) override;
    int GetModemStatus(std::uint32_t& status) override;
    void Close() override;

private:
    using Clock = std::chrono::steady_clock;

    PosixSerialDevice(FileDescriptor fd, FileDescriptor wake);

    void LineLoop();

    // All of these run with mutex_ held.
    void DrainInput();
    void TakeInputByte(char byte, bool dsrOn);
    // The lines and XOFF state the hold rules look at; lines that cannot be
    // read count as on when `unreadableOn`, as off otherwise.
    OutputLineState OutputState(bool unreadableOn);
    bool OutputAllowed();
    std::size_t Backlog(Clock::time_point now) const;
    int PushPending(Clock::time_point now);
    void PollLineChanges();
    void PollErrorCounters();
    void CheckTxEmpty(Clock::time_point now);
    Clock::duration WaitLimit(Clock::time_point now);
    int ModemLines(int& lines);
    int SetLine(int line, bool on);
    int ApplyDtrAction(LineAction action);
    int ApplyRtsAction(LineAction action);
    // Wakes the line thread.
    void Wake();
    // Wakes WaitEvent when an event it waits for has happened.
    void NotifyIfEvents();

    // Waits, with mutex_ released, until a descriptor is readable or `limit`
    // (Clock::duration::max(): none) has passed.
    // The events of the input descriptor, 0 when it had none.
    static short WaitForActivity(int wakeFd, int inputFd, Clock::duration limit);
    // The device has gone: reported once as CE_HANGUP, and no longer polled.
    void MarkHungUp();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::thread lineThread_;
    FileDescriptor fd_;
    FileDescriptor wake_;
    bool closed_ = false;
    bool hungUp_ = false;
    bool cancelRequested_ = false;
    int writeError_ = 0;

    SerialSettings settings_;
    WritePacing pacing_;
    std::deque<char> input_;
    std::size_t inputLimit_ = 4096;
    std::deque<char> pending_;
    std::uint64_t handed_ = 0;
    bool xoffReceived_ = false;
    bool xoffForced_ = false;
    bool txBusy_ = false;
    bool dtrHeldLow_ = false;
    // The flag word whose line modes are in effect; none before the first
    // settings write, which sets both lines whatever the open left them at.
    std::optional<std::uint32_t> lineFlags_;

    std::uint32_t eventMask_ = 0;
    std::uint32_t events_ = 0;
    std::uint32_t errors_ = 0;
    bool modemLinesKnown_ = true;
    int lastLines_ = 0;
    bool countersKnown_ = true;
    serial_icounter_struct lastCounters_{};
};

} // namespace feedrail
