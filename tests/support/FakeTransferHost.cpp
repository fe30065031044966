#include "support/FakeTransferHost.h"

#include <thread>

namespace feedrail::test {

void FakeTransferHost::EnableButtons() {
    ButtonsEnabled = true;
    ClearButtonEnabled = true;
    ClearCaption = "Clear";
}

bool FakeTransferHost::EscapePressed() {
    ++Polls;
    handOver_.RunPending();
    return OnPoll && OnPoll();
}

void FakeTransferHost::Idle(std::chrono::milliseconds time) {
    handOver_.RunPending();
    std::this_thread::sleep_for(time);
}

void FakeTransferHost::AppendReceivedLine(const std::string& text) {
    Lines.push_back(text);
    const int receivedLines = ReceivedLines != nullptr ? *ReceivedLines : 4;
    if (receivedLines < 4 && receivedLines <= static_cast<int>(Lines.size()) &&
        Lines[static_cast<std::size_t>(receivedLines - 1)].empty()) {
        Lines.erase(Lines.begin() + (receivedLines - 1));
    }
}

void FakeTransferHost::RunDeferred() {
    while (!Deferred.empty()) {
        auto work = std::move(Deferred.front());
        Deferred.pop_front();
        work();
    }
}

} // namespace feedrail::test
