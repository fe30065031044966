#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

namespace feedrail::bench {

// Browsers that keep the service's web pages open, each asking what the
// page's script asks, as often: the shop floor polls /api/machines every
// 1.5 s; a machine's page polls it too, its transfers every fourth time and
// its line monitor every 0.5 s. Every fourth browser shows a machine's page,
// the machines taken in turn (their names as they are in a path: M1, M2 ...);
// the rest the shop floor.
class ShopFloorBrowsers {
public:
    ShopFloorBrowsers(int port, std::size_t count, const std::vector<std::string>& machines);
    ~ShopFloorBrowsers();
    ShopFloorBrowsers(const ShopFloorBrowsers&) = delete;
    ShopFloorBrowsers& operator=(const ShopFloorBrowsers&) = delete;

    std::size_t Requests() const { return requests_; }
    std::size_t Failures() const { return failures_; }

private:
    void Floor();
    void Machine(const std::string& machine);
    bool Get(const std::string& path, std::string* body = nullptr);

    int port_;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> requests_{0};
    std::atomic<std::size_t> failures_{0};
    std::vector<std::thread> browsers_;
};

} // namespace feedrail::bench
