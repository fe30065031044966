#include "service/ServiceClient.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace feedrail {

ServiceClient::ServiceClient(FileDescriptor socket, Clock::time_point now)
    : socket_(std::move(socket)), accepted_(now) {}

short ServiceClient::Events() const {
    const short in = readShut_ ? 0 : POLLIN;
    switch (stage_) {
    case Stage::Requesting:
        return in;
    case Stage::Answering:
        return POLLOUT;
    case Stage::Watching:
        return static_cast<short>(in | (written_ < out_.size() ? POLLOUT : 0));
    case Stage::Done:
        break;
    }
    return 0;
}

// After the request, what a client sends is read only to be let go, so
// that a client that sends and sends costs nothing.
void ServiceClient::Readable() {
    char block[512];
    const std::size_t room = stage_ == Stage::Requesting
                                 ? std::min(sizeof block, RequestLimit + 1 - request_.size())
                                 : sizeof block;
    const ssize_t count = ::recv(socket_.Get(), block, room, MSG_DONTWAIT);
    if (count < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            stage_ = Stage::Done;
        }
        return;
    }
    if (count == 0) {
        readShut_ = true;
        requestWhole_ = stage_ == Stage::Requesting;
        return;
    }
    if (stage_ != Stage::Requesting) {
        return;
    }
    heard_ = true;
    request_.append(block, static_cast<std::size_t>(count));
    if (const auto end = request_.find('\n'); end != std::string::npos) {
        request_.resize(end);
        requestWhole_ = true;
    } else if (request_.size() > RequestLimit) {
        Answer("request too long\n", Clock::now());
    }
}

std::optional<std::string> ServiceClient::TakeRequest(Clock::time_point now) {
    if (stage_ != Stage::Requesting) {
        return std::nullopt;
    }
    if (!heard_ && !requestWhole_ && now >= accepted_ + SilentWait) {
        requestWhole_ = true;
        request_ = "status";
    }
    if (!requestWhole_) {
        return std::nullopt;
    }
    if (!request_.empty() && request_.back() == '\r') {
        request_.pop_back();
    }
    // Answered or watching from here on, whatever the caller makes of it.
    stage_ = Stage::Answering;
    answerBy_ = now + AnswerWait;
    return request_.empty() ? std::string("status") : std::move(request_);
}

void ServiceClient::Answer(std::string text, Clock::time_point now) {
    Finish(std::move(text), now);
}

void ServiceClient::Finish(std::string text, Clock::time_point now) {
    stage_ = Stage::Answering;
    answerBy_ = now + AnswerWait;
    out_.erase(0, written_);
    written_ = 0;
    out_ += text;
    Flush();
}

void ServiceClient::Watch(std::string header, std::shared_ptr<TrafficQueue> queue,
                          TrafficView view) {
    stage_ = Stage::Watching;
    queue_ = std::move(queue);
    view_ = view;
    out_ = std::move(header);
    written_ = 0;
    Flush();
}

void ServiceClient::Tick(Clock::time_point now) {
    switch (stage_) {
    case Stage::Requesting:
        if (now >= accepted_ + RequestWait) {
            stage_ = Stage::Done;
        }
        return;
    case Stage::Answering:
        if (now >= answerBy_) {
            stage_ = Stage::Done;
        }
        return;
    case Stage::Watching:
        while (written_ == out_.size() && stage_ == Stage::Watching) {
            if (!Refill()) {
                if (const auto reason = queue_->Ended()) {
                    Finish(std::string(EndWord) + *reason + "\n", now);
                }
                return;
            }
            Flush();
        }
        return;
    case Stage::Done:
        return;
    }
}

// The words of one take of the queue; whether there were any.
bool ServiceClient::Refill() {
    std::uint64_t lost = 0;
    const std::vector<TappedBytes> pieces = queue_->Take(TakeLimit, lost);
    out_.clear();
    written_ = 0;
    if (lost > 0) {
        out_ += TrafficDroppedText(lost) + "\n";
    }
    for (const TappedBytes& piece : pieces) {
        for (const TrafficLine& line : TrafficLines(piece, view_)) {
            out_ += TrafficLineText(line) + "\n";
        }
    }
    return !out_.empty();
}

void ServiceClient::Flush() {
    while (written_ < out_.size()) {
        const ssize_t count = ::send(socket_.Get(), out_.data() + written_, out_.size() - written_,
                                     MSG_DONTWAIT | MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (count <= 0) {
            stage_ = Stage::Done;
            return;
        }
        written_ += static_cast<std::size_t>(count);
    }
    out_.clear();
    written_ = 0;
    if (stage_ == Stage::Answering) {
        stage_ = Stage::Done;
    }
}

void ServiceClient::Farewell(const std::string& reason) {
    if (stage_ == Stage::Watching) {
        out_ += std::string(EndWord) + reason + "\n";
        Flush();
    }
}

ServiceClient::Clock::time_point ServiceClient::Due() const {
    switch (stage_) {
    case Stage::Requesting:
        return heard_ ? accepted_ + RequestWait : accepted_ + SilentWait;
    case Stage::Answering:
        return answerBy_;
    case Stage::Watching:
    case Stage::Done:
        break;
    }
    return Clock::time_point::max();
}

} // namespace feedrail
