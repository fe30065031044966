#pragma once

#include "common/FileDescriptor.h"
#include "line/TrafficText.h"
#include "service/TrafficQueue.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace feedrail {

// One connection to the service's socket, served without ever waiting for
// it: the request line it sends, then a finite answer (the status, a
// refusal) or, for a monitor, a machine's traffic in words as it passes.
// What it costs is bounded: the request line, one take of its queue in
// words, the queue itself.
class ServiceClient {
public:
    using Clock = std::chrono::steady_clock;

    ServiceClient(FileDescriptor socket, Clock::time_point now);

    int Fd() const { return socket_.Get(); }
    // What to poll it for.
    short Events() const;
    // Reads what came: the request, or, later, what is read to notice the
    // client's going.
    void Readable();
    void Writable() { Flush(); }
    // The client has gone.
    void Hungup() { stage_ = Stage::Done; }
    // The request line, once, when it is whole: what came before the client
    // shut its end counts as one, and nothing within SilentWait as
    // "status", as every client was answered before there were requests.
    std::optional<std::string> TakeRequest(Clock::time_point now);
    // Answers with `text` and closes.
    void Answer(std::string text, Clock::time_point now);
    // Answers with `header`, then the queue's traffic in `view`'s words.
    void Watch(std::string header, std::shared_ptr<TrafficQueue> queue, TrafficView view);
    // Moves the traffic on and keeps the time limits.
    void Tick(Clock::time_point now);
    // Best effort, without waiting: the service ends.
    void Farewell(const std::string& reason);

    bool Watching() const { return stage_ == Stage::Watching; }
    bool Done() const { return stage_ == Stage::Done; }
    // When Tick has to come next, but for a watcher's traffic.
    Clock::time_point Due() const;

    static constexpr std::size_t RequestLimit = 256;
    static constexpr std::chrono::milliseconds SilentWait{250};
    static constexpr std::chrono::milliseconds RequestWait{2000};
    static constexpr std::chrono::milliseconds AnswerWait{5000};
    // Bytes of the line taken into words at once.
    static constexpr std::size_t TakeLimit = 16 * 1024;
    // What a monitor's answer ends with, before the reason.
    static constexpr std::string_view EndWord = "end: ";

private:
    enum class Stage { Requesting, Answering, Watching, Done };

    void Flush();
    bool Refill();
    void Finish(std::string text, Clock::time_point now);

    FileDescriptor socket_;
    Stage stage_ = Stage::Requesting;
    Clock::time_point accepted_;
    Clock::time_point answerBy_;
    std::string request_;
    bool requestWhole_ = false;
    bool heard_ = false;
    bool readShut_ = false;
    std::string out_;
    std::size_t written_ = 0;
    std::shared_ptr<TrafficQueue> queue_;
    TrafficView view_ = TrafficView::Text;
};

} // namespace feedrail
