#pragma once

#include "common/FileDescriptor.h"
#include "serial/device/LineLease.h"
#include "serial/device/LineRules.h"
#include "serial/device/LineServed.h"
#include "serial/device/SerialDevice.h"
#include "serial/device/WritePacing.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace feedrail {

// What every device with a line thread shares: the input and output queues,
// the events and their wait, and the rules for a received byte. The line
// thread, one of the process's shared ones (LineThreads), drains the line
// into the input queue (bounded by the input size) and feeds queued output to
// the line, paced so that a control that sends XOFF sees at most a few more
// characters. A device supplies how bytes leave and enter its line;
// everything here runs with mutex_ held.
class BufferedSerialDevice : public SerialDevice {
public:
    // Received bytes taken in while the lock is held once; a flood of input
    // is taken a batch at a time, and others have the lock between batches.
    static constexpr std::size_t InputBatch = 4096;

    int GetSettings(SerialSettings& settings) override;
    int SetTimeouts() override;
    int SetQueueSizes(std::uint32_t inputBytes, std::uint32_t outputBytes) override;
    int SetEventMask(std::uint32_t mask) override;
    void SetEventListener(std::function<void()> listener) override;
    int TakeEvents(std::uint32_t& events) override;
    void SetThreadNiceness(int niceness) override;
    void WatchLine(bool on) override;
    std::vector<TappedBytes> TakeLineTraffic(std::uint64_t& dropped) override;
    int Write(const char* data, std::size_t count, int timeoutMs, std::size_t& written) override;
    int Read(char* data, std::size_t count, std::size_t& read) override;
    void Unread(const char* data, std::size_t count) override;

protected:
    using Clock = std::chrono::steady_clock;

    // Throws std::system_error when no wake-up descriptor can be made.
    explicit BufferedSerialDevice(WritePacing::Reach reach);

    // Moves what the line has received into input_.
    virtual void DrainInput() = 0;
    // Hands pending_ to the line as far as pacing and holds allow; the errno
    // of a failed write, 0 otherwise.
    virtual int PushPending(Clock::time_point now) = 0;
    // A read made room in an input queue that was full.
    virtual void InputRoomMade() { Wake(); }
    // Work that only the line thread will do, left by a write.
    virtual bool LineThreadDue() const { return false; }
    // The errno with which a write of `count` more bytes is refused, 0 when
    // it is taken.
    virtual int Refusal([[maybe_unused]] std::size_t count) const { return 0; }

    // How long a line's passes rest after a batch of input that left more
    // waiting, when others wait for the lock: long enough for a thread woken
    // from a wait on changed_ to take the lock, short enough that 4 MB/s
    // still flow, far more than any serial line carries.
    static constexpr std::chrono::milliseconds FloodPause{1};
    // How long the line thread lets those waiting for the lock go first, at
    // most (a thread on a busy machine may take a while to be run).
    static constexpr std::chrono::milliseconds WaiterLimit{50};
    // A machine that punches sends its characters one by one: while nothing
    // goes out, whose XOFF must be seen at once, the input of a pass that
    // took some is next taken this much later rather than at the next
    // character: 5 ms, or 16 characters' time at slow rates, never more
    // than 50 ms, which an operator would see. It waits in the driver or the
    // socket meanwhile, far more room than a line fills by then (58
    // characters at 115200 baud).
    Clock::duration InputGathering() const {
        return std::clamp<Clock::duration>(pacing_.CharTime() * 16, std::chrono::milliseconds(5),
                                           std::chrono::milliseconds(50));
    }
    bool Gathering(bool tookInput) const { return tookInput && pending_.empty() && !txBusy_; }

    // Has `served`'s passes run on a shared line thread. Throws
    // std::system_error when no thread or descriptor can be had.
    void StartSharedLine(LineServed& served);
    // Marks the device closed and waits for its last pass on the shared line
    // thread; false when it was closed already. The pass is told to stop
    // before the mutex is taken, so that one busy with a flood of input ends
    // at its next batch rather than whenever the lock comes free.
    bool StopLineThread();
    // mutex_, for any thread but the line thread: it counts as waiting while
    // it waits, so that a line thread busy with a flood of input lets it have
    // the lock before its next batch (WaitersFirst).
    std::unique_lock<std::mutex> Hold() const;
    // For a pass, which may not wait for those waiting in Hold: before it
    // takes the lock, whether they still go first, since a batch of input
    // was cut at `cutAt`.
    bool WaitersFirst(Clock::time_point cutAt, Clock::time_point now) const {
        return waiting_.load(std::memory_order_relaxed) > 0 && now - cutAt < WaiterLimit;
    }
    // Close has begun: the line thread ends at its next look. Read without
    // mutex_, so that it can be told while the line thread holds the lock.
    bool Stopping() const { return stopping_.load(std::memory_order_acquire); }

    void TakeInputByte(char byte, bool dsrOn);
    // Keeps bytes that crossed the line for a watcher, if one watches.
    void Tapped(bool sent, const char* data, std::size_t count) {
        if (watching_) {
            tap_.Record(sent, data, count, std::chrono::system_clock::now());
        }
    }
    // Tells the listener when an event of the mask has happened.
    void NotifyIfEvents();
    // What a line-thread pass owes: the listener told of events, and Write
    // woken while one waits. A wake for nobody costs a thread switch at
    // every character.
    void NotifyWaiters();
    // Wakes the line thread.
    void Wake();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    int writeError_ = 0;

    SerialSettings settings_;
    WritePacing pacing_;
    std::deque<char> input_;
    std::size_t inputLimit_ = 4096;
    // The last DrainInput stopped at InputBatch with more perhaps waiting.
    bool inputCut_ = false;
    std::deque<char> pending_;
    std::uint64_t handed_ = 0;
    bool xoffReceived_ = false;
    bool xoffForced_ = false;
    bool txBusy_ = false;
    int writeWaiters_ = 0;

    std::uint32_t eventMask_ = 0;
    std::uint32_t events_ = 0;
    std::uint32_t errors_ = 0;

private:
    std::function<void()> listener_;
    bool watching_ = false;
    LineTap tap_;
    // The listener has been told and TakeEvents has not come since.
    bool announced_ = false;
    std::atomic<bool> stopping_{false};
    mutable std::atomic<int> waiting_{0};
    FileDescriptor wake_;
    LineLease lease_;
};

} // namespace feedrail
