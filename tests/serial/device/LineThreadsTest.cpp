#include "serial/device/LineThreads.h"

#include "common/FileDescriptor.h"
#include "serial/device/LinePoller.h"
#include "serial/device/NetworkSerialDevice.h"
#include "serial/device/PosixSerialDevice.h"
#include "support/HostileServer.h"
#include "support/PseudoTerminal.h"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace feedrail {
namespace {

using namespace std::chrono_literals;

std::ptrdiff_t ThreadCount() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                         std::filesystem::directory_iterator());
}

// Bytes of their own for each line and direction, so that a byte lost, doubled
// or crossed into another line shows.
std::string LinePattern(int line, char first) {
    std::string bytes = std::to_string(line) + ":";
    for (int k = 0; k < 600; ++k) {
        bytes += static_cast<char>(first + (line * 7 + k) % 26);
    }
    return bytes;
}

std::shared_ptr<PosixSerialDevice> OpenLine(const test::PseudoTerminal& pty) {
    int error = 0;
    auto device = PosixSerialDevice::Open(pty.SlavePath(), error);
    if (!device) {
        ADD_FAILURE() << "open: errno " << error;
        return nullptr;
    }
    SerialSettings settings;
    settings.BaudRate = 115200;
    settings.Flags = DcbFlag::fBinary;
    EXPECT_EQ(device->SetSettings(settings), 0);
    return device;
}

// A shop's lines served at once: the process gains no more threads than the
// shared line threads, and every line's bytes cross both ways, byte for byte,
// while all the others' do.
TEST(LineThreadsTest, SixtyFourLinesAtOnceShareTheLineThreadsAndLoseNoByte) {
    constexpr int Lines = 64;
    {
        // Counted once a device has been open: a sanitizer starts a thread of
        // its own with the first thread.
        const test::PseudoTerminal first;
        ASSERT_TRUE(OpenLine(first));
    }
    const std::ptrdiff_t before = ThreadCount();
    std::vector<std::unique_ptr<test::PseudoTerminal>> ptys;
    std::vector<std::shared_ptr<PosixSerialDevice>> devices;
    for (int line = 0; line < Lines; ++line) {
        ptys.push_back(std::make_unique<test::PseudoTerminal>());
        devices.push_back(OpenLine(*ptys.back()));
        ASSERT_TRUE(devices.back());
    }
    for (int line = 0; line < Lines; ++line) {
        const std::string out = LinePattern(line, 'a');
        std::size_t written = 0;
        ASSERT_EQ(devices[line]->Write(out.data(), out.size(), 0, written), 0);
        ptys[line]->Write(LinePattern(line, 'A'));
    }
    std::vector<std::string> sent(Lines);
    std::vector<std::string> received(Lines);
    std::ptrdiff_t most = ThreadCount();
    const auto complete = [&] {
        for (int line = 0; line < Lines; ++line) {
            if (sent[line].size() < LinePattern(line, 'a').size() ||
                received[line].size() < LinePattern(line, 'A').size()) {
                return false;
            }
        }
        return true;
    };
    for (const auto end = std::chrono::steady_clock::now() + 30s;
         !complete() && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(1ms);
        for (int line = 0; line < Lines; ++line) {
            char buffer[256];
            std::size_t got = 0;
            ASSERT_EQ(devices[line]->Read(buffer, sizeof buffer, got), 0);
            received[line].append(buffer, got);
            const ssize_t count = ::read(ptys[line]->Master(), buffer, sizeof buffer);
            sent[line].append(buffer, static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
        }
        most = std::max(most, ThreadCount());
    }
    EXPECT_LE(most - before, static_cast<std::ptrdiff_t>(LineThreads::Limit()));
    for (int line = 0; line < Lines; ++line) {
        EXPECT_EQ(sent[line], LinePattern(line, 'a')) << "line " << line;
        EXPECT_EQ(received[line], LinePattern(line, 'A')) << "line " << line;
    }
}

std::shared_ptr<NetworkSerialDevice> OpenNetworkLine(int port) {
    std::string failure;
    auto device = NetworkSerialDevice::Open(
        *ParseDeviceAddress("tcp://127.0.0.1:" + std::to_string(port)), failure);
    if (!device) {
        ADD_FAILURE() << "open: " << failure;
        return nullptr;
    }
    SerialSettings settings;
    settings.BaudRate = 115200;
    settings.Flags = DcbFlag::fBinary;
    EXPECT_EQ(device->SetSettings(settings), 0);
    return device;
}

// The device server's end of the connection the last device opened.
FileDescriptor Accepted(int listener) {
    pollfd ready{listener, POLLIN, 0};
    if (::poll(&ready, 1, 5000) != 1) {
        ADD_FAILURE() << "no connection came";
        return FileDescriptor();
    }
    return FileDescriptor(::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
}

// Machines on device servers are served like local ports: connecting to the
// server and every byte after cost no thread of their own.
TEST(LineThreadsTest, ThirtyTwoNetworkLinesAtOnceShareTheLineThreadsAndLoseNoByte) {
    constexpr int Lines = 32;
    int port = 0;
    const FileDescriptor listener = test::ListenOnLoopback(port);
    ASSERT_TRUE(listener.Valid());
    {
        // Counted once a device has been open: a sanitizer starts a thread of
        // its own with the first thread.
        const auto first = OpenNetworkLine(port);
        ASSERT_TRUE(first);
        ASSERT_TRUE(Accepted(listener.Get()).Valid());
    }
    const std::ptrdiff_t before = ThreadCount();
    std::ptrdiff_t most = before;
    std::vector<std::shared_ptr<NetworkSerialDevice>> devices;
    std::vector<FileDescriptor> servers;
    for (int line = 0; line < Lines; ++line) {
        devices.push_back(OpenNetworkLine(port));
        ASSERT_TRUE(devices.back());
        servers.push_back(Accepted(listener.Get()));
        ASSERT_TRUE(servers.back().Valid());
        most = std::max(most, ThreadCount());
    }
    for (int line = 0; line < Lines; ++line) {
        const std::string out = LinePattern(line, 'a');
        std::size_t written = 0;
        ASSERT_EQ(devices[line]->Write(out.data(), out.size(), 0, written), 0);
        const std::string in = LinePattern(line, 'A');
        ASSERT_EQ(::send(servers[line].Get(), in.data(), in.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(in.size()));
    }
    std::vector<std::string> sent(Lines);
    std::vector<std::string> received(Lines);
    const auto complete = [&] {
        for (int line = 0; line < Lines; ++line) {
            if (sent[line].size() < LinePattern(line, 'a').size() ||
                received[line].size() < LinePattern(line, 'A').size()) {
                return false;
            }
        }
        return true;
    };
    for (const auto end = std::chrono::steady_clock::now() + 30s;
         !complete() && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(1ms);
        for (int line = 0; line < Lines; ++line) {
            char buffer[256];
            std::size_t got = 0;
            ASSERT_EQ(devices[line]->Read(buffer, sizeof buffer, got), 0);
            received[line].append(buffer, got);
            const ssize_t count = ::recv(servers[line].Get(), buffer, sizeof buffer, 0);
            sent[line].append(buffer, static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
        }
        most = std::max(most, ThreadCount());
    }
    EXPECT_LE(most - before, static_cast<std::ptrdiff_t>(LineThreads::Limit()));
    for (int line = 0; line < Lines; ++line) {
        EXPECT_EQ(sent[line], LinePattern(line, 'a')) << "line " << line;
        EXPECT_EQ(received[line], LinePattern(line, 'A')) << "line " << line;
        EXPECT_EQ(devices[line]->GoneReason(), "") << "line " << line;
    }
}

// A line whose passes are counted: one that floods asks to come back at once
// for ever, as a line whose input never ends; another waits for its wake-up.
class CountedLine : public LineServed {
public:
    explicit CountedLine(bool floods) : floods_(floods) {}

    LineWait LinePass(bool) override {
        inPass_ = true;
        std::this_thread::sleep_for(floods_ ? 100us : 0us);
        ++passes_;
        inPass_ = false;
        return {.Input = false,
                .Due = floods_ ? std::chrono::steady_clock::now()
                               : std::chrono::steady_clock::time_point::max()};
    }
    void Wake() const {
        const std::uint64_t one = 1;
        ASSERT_EQ(::write(wake_.Get(), &one, sizeof one), 8);
    }
    int WakeFd() const { return wake_.Get(); }
    int Passes() const { return passes_; }
    bool InPass() const { return inPass_; }

private:
    bool floods_;
    FileDescriptor wake_{::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)};
    std::atomic<int> passes_ = 0;
    std::atomic<bool> inPass_ = false;
};

bool WaitUntil(const std::function<bool()>& done) {
    for (const auto end = std::chrono::steady_clock::now() + 10s;
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(1ms)) {
        if (done()) {
            return true;
        }
    }
    return done();
}

// One thread serves both lines: the flood never starves the other's passes,
// and its removal, in the middle of the flood, leaves no pass running or to come.
TEST(LineThreadsTest, AFloodOnOneLineLeavesTheOtherItsPassesAndEndsWithItsRemoval) {
    LinePoller poller;
    CountedLine flood(true);
    CountedLine quiet(false);
    const std::uint64_t flooding = poller.Add(flood, flood.WakeFd());
    const std::uint64_t waiting = poller.Add(quiet, quiet.WakeFd());
    ASSERT_TRUE(WaitUntil([&] { return flood.Passes() > 0 && quiet.Passes() > 0; }));
    for (int wake = 0; wake < 20; ++wake) {
        const int before = quiet.Passes();
        quiet.Wake();
        ASSERT_TRUE(WaitUntil([&] { return quiet.Passes() > before; })) << "wake-up " << wake;
    }
    poller.Remove(flooding);
    EXPECT_FALSE(flood.InPass());
    const int removedAt = flood.Passes();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(flood.Passes(), removedAt);
    poller.Remove(waiting);
}

// A line whose descriptor and wants a test sets, the next pass giving them:
// a pass reads what its descriptor holds, and once there is room for output
// it wants no more, as a device whose bytes have gone.
class MovingLine : public LineServed {
public:
    LineWait LinePass(bool) override {
        const int fd = line_;
        char buffer[64];
        while (!output_ && fd >= 0 && ::read(fd, buffer, sizeof buffer) > 0) {
        }
        pollfd room{fd, POLLOUT, 0};
        if (output_ && ::poll(&room, 1, 0) == 1) {
            output_ = false;
        }
        ++passes_;
        return {.Line = fd, .Input = !output_, .Output = output_};
    }
    void Give(int fd, bool output) {
        line_ = fd;
        output_ = output;
        const std::uint64_t one = 1;
        ASSERT_EQ(::write(wake_.Get(), &one, sizeof one), 8);
    }
    int WakeFd() const { return wake_.Get(); }
    int Passes() const { return passes_; }

private:
    FileDescriptor wake_{::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)};
    std::atomic<int> line_ = -1;
    std::atomic<bool> output_ = false;
    std::atomic<int> passes_ = 0;
};

struct Pipe {
    Pipe() {
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0);
        read = FileDescriptor(ends[0]);
        write = FileDescriptor(ends[1]);
    }
    void Put() const { EXPECT_EQ(::write(write.Get(), "x", 1), 1); }
    FileDescriptor read;
    FileDescriptor write;
};

// A network device's line moves from a lookup's descriptor to a socket, and
// wants room for output at times: the thread follows what each pass asks, and
// neither misses the line it is given (the device would hang) nor still
// answers for one it was given before.
TEST(LineThreadsTest, ALineIsWatchedOnTheDescriptorAndForWhatItsLastPassAsked) {
    const Pipe first;
    const Pipe second;
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends), 0);
    const FileDescriptor full(ends[0]);
    const FileDescriptor reader(ends[1]);
    const std::string block(4096, 'x');
    while (::send(full.Get(), block.data(), block.size(), MSG_DONTWAIT) > 0) {
    }
    const auto readAll = [&] {
        char buffer[4096];
        while (::recv(reader.Get(), buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
        }
    };
    const struct {
        const char* name;
        int line;
        bool output;
        std::function<void()> then;
        bool passes;
    } steps[] = {
        {"input on the line", first.read.Get(), false, [&] { first.Put(); }, true},
        {"input elsewhere", first.read.Get(), false, [&] { second.Put(); }, false},
        {"input on the line it moved to", second.read.Get(), false, [&] { second.Put(); }, true},
        {"input on the line it left", second.read.Get(), false, [&] { first.Put(); }, false},
        {"no room for output", full.Get(), true, [] {}, false},
        {"room for output", full.Get(), true, readAll, true},
    };
    LinePoller poller;
    MovingLine line;
    const std::uint64_t id = poller.Add(line, line.WakeFd());
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        const int given = line.Passes();
        line.Give(step.line, step.output);
        ASSERT_TRUE(WaitUntil([&] { return line.Passes() > given; }));
        std::this_thread::sleep_for(20ms);
        const int before = line.Passes();
        step.then();
        if (step.passes) {
            EXPECT_TRUE(WaitUntil([&] { return line.Passes() > before; }));
        } else {
            std::this_thread::sleep_for(100ms);
            EXPECT_EQ(line.Passes(), before);
        }
    }
    poller.Remove(id);
}

} // namespace
} // namespace feedrail
