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

bool FakeWindowHost::RunLoop(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        if (OnPoll) {
            OnPoll();
        }
        handOver_.RunPending();
        RunDeferred();
        const auto now = std::chrono::steady_clock::now();
        for (auto& [time, work] : Timed) {
            due_.emplace(now + time, std::move(work));
        }
        Timed.clear();
        if (!due_.empty() && due_.begin()->first <= now) {
            const auto work = std::move(due_.begin()->second);
            due_.erase(due_.begin());
            work();
        } else {
            // Hand-overs come at any time: a look every millisecond at most.
            const auto next =
                due_.empty() ? now + std::chrono::milliseconds(1)
                             : std::min(due_.begin()->first, now + std::chrono::milliseconds(1));
            std::this_thread::sleep_until(next);
        }
    }
    return true;
}

bool FakeWindowHost::RunSend() {
    return RunLoop([this] { return !Session.Sending(); });
}

} // namespace feedrail::test
