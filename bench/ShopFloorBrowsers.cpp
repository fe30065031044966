#include "ShopFloorBrowsers.h"

#include <chrono>
#include <httplib.h>

namespace feedrail::bench {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

} // namespace

ShopFloorBrowsers::ShopFloorBrowsers(int port, std::size_t count,
                                     const std::vector<std::string>& machines)
    : port_(port) {
    for (std::size_t browser = 0; browser < count; ++browser) {
        if (browser % 4 == 3 && !machines.empty()) {
            const std::string machine = machines[(browser / 4) % machines.size()];
            browsers_.emplace_back([this, machine] { Machine(machine); });
        } else {
            browsers_.emplace_back([this] { Floor(); });
        }
    }
}

ShopFloorBrowsers::~ShopFloorBrowsers() {
    stopping_ = true;
    for (std::thread& browser : browsers_) {
        browser.join();
    }
}

bool ShopFloorBrowsers::Get(const std::string& path, std::string* body) {
    httplib::Client client("127.0.0.1", port_);
    client.set_connection_timeout(2);
    client.set_read_timeout(5);
    const auto result = client.Get(path.c_str());
    ++requests_;
    if (!result || result->status != 200) {
        ++failures_;
        return false;
    }
    if (body != nullptr) {
        *body = result->body;
    }
    return true;
}

void ShopFloorBrowsers::Floor() {
    Get("/");
    for (auto next = Clock::now(); !stopping_;) {
        Get("/api/machines");
        next += 1500ms;
        std::this_thread::sleep_until(next);
    }
}

// The page's two timers, on one thread: the machine every 1.5 s (and its
// transfers every fourth time), the line every 0.5 s after the last answer.
void ShopFloorBrowsers::Machine(const std::string& machine) {
    Get("/machine/" + machine);
    const std::string line = "/api/machines/" + machine + "/line";
    std::string watch;
    auto status = Clock::now();
    for (int tick = 0; !stopping_;) {
        if (Clock::now() >= status) {
            Get("/api/machines");
            if (tick++ % 4 == 0) {
                Get("/api/machines/" + machine + "/transfers");
            }
            status += 1500ms;
        }
        std::string answer;
        if (Get(watch.empty() ? line : line + "?watch=" + watch, &answer)) {
            const auto start = answer.find("\"watch\":\"");
            watch = start == std::string::npos
                        ? std::string()
                        : answer.substr(start + 9, answer.find('"', start + 9) - start - 9);
        }
        std::this_thread::sleep_for(500ms);
    }
}

} // namespace feedrail::bench
