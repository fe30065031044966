#pragma once

#include "app/Buttons.h"
#include "app/EditorLines.h"
#include "app/KeyPoll.h"
#include "app/StatusLine.h"
#include "app/UiHandOver.h"
#include "support/QueueHandOver.h"
#include "transfer/ReceiveTransfer.h"
#include "transfer/SendTransfer.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace feedrail::test {

// The main window as its features see it, for tests: an editor of lines,
// recorded status texts and button states, and a key poll that runs the
// serial hand-overs and asks the test whether Esc is pressed now.
class FakeWindowHost : public StatusLine,
                       public Buttons,
                       public KeyPoll,
                       public EditorLines,
                       public UiHandOver {
public:
    explicit FakeWindowHost(QueueHandOver& handOver) : handOver_(handOver) {}

    void ShowStatus(const std::string& text) override { Statuses.push_back(text); }
    void ShowProgress(const std::string& text) override { Progress.push_back(text); }
    void EnableButtons() override;
    void DisableButtons() override { ButtonsEnabled = false; }
    void ShowStopButton() override { ClearCaption = "Stop"; }
    bool ClearButtonReadsClear() const override { return ClearCaption == "Clear"; }
    void DisableClearButton() override { ClearButtonEnabled = false; }
    void ClearEditorAndFileName() override { Lines.clear(); }
    void ArmCommOpenTimer() override { ++TimerArmed; }
    bool EscapePressed() override;
    void Idle(std::chrono::milliseconds time) override;
    void ForgetEscape() override { ++EscapesForgotten; }
    void Defer(std::function<void()> work) override { Deferred.push_back(std::move(work)); }
    std::string GetEditorLine(int line) const override { return Lines.at(line - 1); }
    void SetEditorLines(int first, const std::vector<std::string>& lines) override;
    void BeginUndoStep() override {
        ++UndoStepsOpen;
        ++UndoStepsBegun;
    }
    void EndUndoStep() override { --UndoStepsOpen; }
    int EditorLineCount() const override { return static_cast<int>(Lines.size()); }
    void HighlightEditorLine(int line) override { Highlighted.push_back(line); }
    void AppendReceivedLine(const std::string& text) override;

    // This fake as each transfer's hosts.
    SendHosts ForSend() {
        return {*this, *this, *this, *this, *this, [this] { return LeaderOn; }};
    }
    ReceiveHosts ForReceive() { return {*this, *this, *this, *this}; }

    // Runs the work deferred until after a handler, as the event loop would.
    void RunDeferred();

    // Asked at every key poll; returning true is the operator pressing Esc.
    std::function<bool()> OnPoll;
    // The receive's line counter, for AppendReceivedLine's tidy-up.
    const int* ReceivedLines = nullptr;

    std::vector<std::string> Lines;
    std::vector<std::string> Statuses;
    std::vector<std::string> Progress;
    std::vector<int> Highlighted;
    std::deque<std::function<void()>> Deferred;
    std::string ClearCaption = "Clear";
    bool ButtonsEnabled = true;
    bool ClearButtonEnabled = true;
    bool LeaderOn = false;
    int TimerArmed = 0;
    int Polls = 0;
    int EscapesForgotten = 0;
    int UndoStepsOpen = 0;
    int UndoStepsBegun = 0;

private:
    QueueHandOver& handOver_;
};

} // namespace feedrail::test
