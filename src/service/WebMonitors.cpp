#include "service/WebMonitors.h"

#include "line/TrafficText.h"
#include "service/StatusJson.h"

#include <algorithm>
#include <cstdio>

namespace feedrail {
namespace {

std::string LineJson(const char* way, const std::string& text) {
    return std::string("{\"way\":\"") + way + "\",\"text\":" + JsonString(text) + "}";
}

std::string LinesJson(const std::vector<TappedBytes>& pieces, std::uint64_t lost,
                      const std::string& first) {
    std::string json = "[";
    const auto add = [&json](const std::string& line) {
        json += (json.size() > 1 ? ",\n" : "") + line;
    };
    if (!first.empty()) {
        add(LineJson("note", first));
    }
    if (lost != 0) {
        add(LineJson("note", TrafficDroppedText(lost)));
    }
    for (const TappedBytes& piece : pieces) {
        for (const TrafficLine& line : TrafficLines(piece, TrafficView::Text)) {
            add(LineJson(line.Sent ? "sent" : "received", TrafficLineText(line)));
        }
    }
    return json + "]";
}

std::string AnswerJson(const std::string& watch, const std::string& lines,
                       const std::optional<std::string>& ended) {
    return "{\"watch\":" + (watch.empty() ? std::string("null") : JsonString(watch)) +
           ",\"lines\":" + lines + ",\"ended\":" + (ended ? JsonString(*ended) : "null") + "}\n";
}

} // namespace

WebMonitors::WebMonitors(Watch watch) : watch_(std::move(watch)), sweeper_([this] { Sweep(); }) {}

WebMonitors::~WebMonitors() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    sweeper_.join();
}

WebMonitors::Answer WebMonitors::Poll(const std::string& machine, const std::string& watch) {
    std::shared_ptr<TrafficQueue> queue = Find(machine, watch);
    std::string name = watch;
    std::string first;
    if (!queue) {
        if (const auto refused = Refusal(machine)) {
            return {503, "{\"error\":" + JsonString(*refused) + "}\n"};
        }
        LineWatch started = watch_(machine, QueueLimit);
        if (!started.Queue) {
            return {200, AnswerJson({}, "[]", started.Refusal)};
        }
        queue = std::move(started.Queue);
        // Another page may have taken the last place meanwhile.
        std::string refused;
        name = Add(machine, queue, refused);
        if (name.empty()) {
            return {503, "{\"error\":" + JsonString(refused) + "}\n"};
        }
        first = "watching " + machine + " on " + started.Port;
        if (!watch.empty()) {
            first += "; what passed while this page was away is not shown";
        }
        queue->Wait(Clock::now() + FirstWait);
    }
    std::uint64_t lost = 0;
    const std::vector<TappedBytes> pieces = queue->Take(MostBytesAnswered, lost);
    const std::optional<std::string> ended = queue->Ended();
    if (ended) {
        const std::lock_guard lock(mutex_);
        monitors_.erase(name);
    }
    return {200, AnswerJson(name, LinesJson(pieces, lost, first), ended)};
}

std::shared_ptr<TrafficQueue> WebMonitors::Find(const std::string& machine,
                                                const std::string& watch) {
    const std::lock_guard lock(mutex_);
    DropExpired();
    const auto found = monitors_.find(watch);
    if (found == monitors_.end() || found->second.Machine != machine) {
        return nullptr;
    }
    found->second.Until = Clock::now() + Expiry;
    return found->second.Queue;
}

std::optional<std::string> WebMonitors::Refusal(const std::string& machine) const {
    const std::lock_guard lock(mutex_);
    return RefusalHeld(machine);
}

std::optional<std::string> WebMonitors::RefusalHeld(const std::string& machine) const {
    if (monitors_.size() >= MaxWatches) {
        return "the web pages already watch " + std::to_string(MaxWatches) +
               " lines: close a machine's page and try again";
    }
    const auto watching = std::count_if(monitors_.begin(), monitors_.end(), [&](const auto& entry) {
        return entry.second.Machine == machine;
    });
    if (static_cast<std::size_t>(watching) >= MaxPerMachine) {
        return std::to_string(MaxPerMachine) + " pages already watch " + machine +
               "'s line: close one and try again";
    }
    return std::nullopt;
}

std::string WebMonitors::Add(const std::string& machine, std::shared_ptr<TrafficQueue> queue,
                             std::string& refused) {
    const std::lock_guard lock(mutex_);
    if (const auto refusal = RefusalHeld(machine)) {
        refused = *refusal;
        return {};
    }
    char name[20];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(names_()));
    monitors_[name] = {machine, std::move(queue), Clock::now() + Expiry};
    return name;
}

void WebMonitors::DropExpired() {
    const auto now = Clock::now();
    std::erase_if(monitors_, [now](const auto& entry) { return entry.second.Until <= now; });
}

// A page that stops polling (closed, gone to sleep, its network gone) says
// nothing: its watch goes when it has not polled for Expiry.
void WebMonitors::Sweep() {
    std::unique_lock lock(mutex_);
    while (!stop_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; })) {
        DropExpired();
    }
}

} // namespace feedrail
