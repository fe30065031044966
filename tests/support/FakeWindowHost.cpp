#include "support/FakeWindowHost.h"

#include <algorithm>
#include <thread>

namespace feedrail::test {

bool FakeWindowHost::EscapePressed() {
    ++Polls;
    handOver_.RunPending();
    return OnPoll && OnPoll();
}

void FakeWindowHost::Idle(std::chrono::milliseconds time) {
    handOver_.RunPending();
    std::this_thread::sleep_for(time);
}

void FakeWindowHost::AppendReceivedLine(const std::string& text) {
    Lines.push_back(text);
    const int receivedLines = ReceivedLines != nullptr ? *ReceivedLines : 4;
    if (receivedLines >= 1 && receivedLines < 4 &&
        receivedLines <= static_cast<int>(Lines.size()) &&
        Lines[static_cast<std::size_t>(receivedLines - 1)].empty()) {
        Lines.erase(Lines.begin() + (receivedLines - 1));
    }
}

void FakeWindowHost::SetEditorLines(int first, const std::vector<std::string>& lines) {
    std::copy(lines.begin(), lines.end(), Lines.begin() + (first - 1));
}

void FakeWindowHost::RunDeferred() {
    while (!Deferred.empty()) {
        auto work = std::move(Deferred.front());
        Deferred.pop_front();
        work();
    }
}

} // namespace feedrail::test
