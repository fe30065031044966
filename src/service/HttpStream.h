#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <httplib.h>

namespace feedrail {

// One HTTP connection as the library reads and writes it, held to a
// deadline and a byte budget for all it reads, so that a client that sends
// slowly or endlessly costs a worker no more than both.
class HttpStream : public httplib::Stream {
public:
    using Clock = std::chrono::steady_clock;

    HttpStream(int socket, Clock::time_point deadline, std::size_t budget)
        : socket_(socket), deadline_(deadline), budget_(budget) {}

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, std::size_t size) override;
    ssize_t write(const char* ptr, std::size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    int socket() const override { return socket_; }

private:
    bool Wait(short events) const;

    int socket_;
    Clock::time_point deadline_;
    std::size_t budget_;
    // The library reads a request line a byte at a time.
    std::array<char, 4096> buffer_{};
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

} // namespace feedrail
