#pragma once

#include "line/StatusText.h"
#include "session/EditorLines.h"
#include "session/KeyPoll.h"
#include "session/StatusLine.h"
#include "session/TransferSession.h"
#include "session/UiHandOver.h"
#include "support/QueueHandOver.h"
#include "transfer/ReceiveTransfer.h"
#include "transfer/SendTransfer.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace feedrail::test {

// A progress's counts, without what follows the clock or the reckoning of
// a send's total.
inline TransferProgress Counts(TransferProgress progress) {
    progress.TotalBytes = 0;
    progress.Elapsed = {};
    return progress;
}

// The main window as its features see it, for tests: an editor of lines,
// recorded status texts, the session of `state`, and a key poll that runs
// the serial hand-overs and asks the test whether Esc is pressed now.
class FakeWindowHost : public StatusLine, public KeyPoll, public EditorLines, public UiHandOver {
public:
    FakeWindowHost(QueueHandOver& handOver, RunState& state)
        : Session(state), handOver_(handOver) {}

    // As the window words it.
    void ShowStatus(const LineStatus& status) override {
        Statuses.push_back(StatusText(status, StatusAudience::Window));
    }
    void ShowProgress(const TransferProgress& progress) override { Progress.push_back(progress); }
    void ClearEditorAndFileName() override { Lines.clear(); }
    bool EditorModified() const override { return Modified; }
    void ArmCommOpenTimer() override { ++TimerArmed; }
    bool EscapePressed() override;
    void Idle(std::chrono::milliseconds time) override;
    void ForgetEscape() override { ++EscapesForgotten; }
    void Defer(std::function<void()> work) override { Deferred.push_back(std::move(work)); }
    void After(std::chrono::milliseconds time, std::function<void()> work) override {
        Timed.emplace_back(time, std::move(work));
    }
    std::string GetEditorLine(int line) const override { return Lines.at(line - 1); }
    void SetEditorLines(int first, const std::vector<std::string>& lines) override;
    void BeginUndoStep() override {
        ++UndoStepsOpen;
        ++UndoStepsBegun;
    }
    void EndUndoStep() override { --UndoStepsOpen; }
    int EditorLineCount() const override { return static_cast<int>(Lines.size()); }
    std::uint64_t EditorTextBytes() const override {
        std::uint64_t bytes = 0;
        for (const std::string& line : Lines) {
            bytes += line.size();
        }
        return bytes;
    }
    void HighlightEditorLine(int line) override { Highlighted.push_back(line); }
    void AppendReceivedLine(const std::string& text) override;

    // This fake as each transfer's hosts.
    SendHosts ForSend() {
        return {
            .Status = *this, .Program = *this, .Ui = *this, .Session = Session, .Leader = [this] {
                return LeaderOn;
            }};
    }
    ReceiveHosts ForReceive() {
        return {.Status = *this, .Editor = this, .Ui = *this, .Session = Session};
    }

    // Runs the work deferred until after a handler, as the event loop would.
    void RunDeferred();
    // Runs what an event loop would (hand-overs, deferred work, and timed
    // work once its time has come) until `done` says so or `limit` has
    // passed; OnPoll runs at every round, as a machine or an operator acting
    // meanwhile. Whether `done` came.
    bool RunLoop(const std::function<bool()>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(10));
    // RunLoop until no send waits or runs.
    bool RunSend();

    // Asked at every key poll and every round of RunLoop; returning true is
    // the operator pressing Esc (the key poll's only).
    std::function<bool()> OnPoll;
    // The receive's line counter, for AppendReceivedLine's tidy-up.
    const int* ReceivedLines = nullptr;

    std::vector<std::string> Lines;
    std::vector<std::string> Statuses;
    std::vector<TransferProgress> Progress;
    std::vector<int> Highlighted;
    std::deque<std::function<void()>> Deferred;
    // Work for later, with the time it waits for; the test runs it.
    std::vector<std::pair<std::chrono::milliseconds, std::function<void()>>> Timed;
    TransferSession Session;
    bool Modified = false;
    bool LeaderOn = false;
    int TimerArmed = 0;
    int Polls = 0;
    int EscapesForgotten = 0;
    int UndoStepsOpen = 0;
    int UndoStepsBegun = 0;

private:
    QueueHandOver& handOver_;
    // Timed work RunLoop has taken, by when it falls due.
    std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> due_;
};

} // namespace feedrail::test
