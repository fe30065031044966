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
#include <utility>
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

// What crossed each line both ways, and the most threads the process had
// meanwhile.
struct Exchanged {
    std::vector<std::string> Sent;
    std::vector<std::string> Received;
    std::ptrdiff_t MostThreads = 0;
};

// Each device writes its line's pattern and `farWrite` the far end's; then
// both ends are read (`farRead` for the far end: a count, or less than 0 for
// none yet) until every line has all of its own, or 30 s have passed.
template <typename Device>
Exchanged ExchangePatterns(const std::vector<std::shared_ptr<Device>>& devices,
                           const std::function<void(int, const std::string&)>& farWrite,
                           const std::function<ssize_t(int, char*, std::size_t)>& farRead) {
    const int lines = static_cast<int>(devices.size());
    Exchanged result{std::vector<std::string>(devices.size()),
                     std::vector<std::string>(devices.size()), ThreadCount()};
    for (int line = 0; line < lines; ++line) {
        const std::string out = LinePattern(line, 'a');
        std::size_t written = 0;
        EXPECT_EQ(devices[line]->Write(out.data(), out.size(), 0, written), 0);
        farWrite(line, LinePattern(line, 'A'));
    }
    const auto complete = [&] {
        for (int line = 0; line < lines; ++line) {
            if (result.Sent[line].size() < LinePattern(line, 'a').size() ||
                result.Received[line].size() < LinePattern(line, 'A').size()) {
                return false;
            }
        }
        return true;
    };
    for (const auto end = std::chrono::steady_clock::now() + 30s;
         !complete() && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(1ms);
        for (int line = 0; line < lines; ++line) {
            char buffer[256];
            std::size_t got = 0;
            EXPECT_EQ(devices[line]->Read(buffer, sizeof buffer, got), 0);
            result.Received[line].append(buffer, got);
            const ssize_t count = farRead(line, buffer, sizeof buffer);
            result.Sent[line].append(buffer, static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
        }
        result.MostThreads = std::max(result.MostThreads, ThreadCount());
    }
    for (int line = 0; line < lines; ++line) {
        EXPECT_EQ(result.Sent[line], LinePattern(line, 'a')) << "line " << line;
        EXPECT_EQ(result.Received[line], LinePattern(line, 'A')) << "line " << line;
    }
    return result;
}

// `device` set to 115200 baud, binary; nullptr and a failure with `why`
// when it did not open.
template <typename Device>
std::shared_ptr<Device> AtTestRate(std::shared_ptr<Device> device, const std::string& why) {
    if (!device) {
        ADD_FAILURE() << "open: " << why;
        return nullptr;
    }
    SerialSettings settings;
    settings.BaudRate = 115200;
    settings.Flags = DcbFlag::fBinary;
    EXPECT_EQ(device->SetSettings(settings), 0);
    return device;
}

std::shared_ptr<PosixSerialDevice> OpenLine(const test::PseudoTerminal& pty) {
    int error = 0;
    auto device = PosixSerialDevice::Open(pty.SlavePath(), error);
    return AtTestRate(std::move(device), "errno " + std::to_string(error));
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
    const Exchanged exchanged = ExchangePatterns<PosixSerialDevice>(
        devices, [&](int line, const std::string& in) { ptys[line]->Write(in); },
        [&](int line, char* buffer, std::size_t size) {
            return ::read(ptys[line]->Master(), buffer, size);
        });
    EXPECT_LE(exchanged.MostThreads - before, static_cast<std::ptrdiff_t>(LineThreads::Limit()));
}

std::shared_ptr<NetworkSerialDevice> OpenNetworkLine(int port) {
    std::string failure;
    auto device = NetworkSerialDevice::Open(
        *ParseDeviceAddress("tcp://127.0.0.1:" + std::to_string(port)), failure);
    return AtTestRate(std::move(device), failure);
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
    const Exchanged exchanged = ExchangePatterns<NetworkSerialDevice>(
        devices,
        [&](int line, const std::string& in) {
            ASSERT_EQ(::send(servers[line].Get(), in.data(), in.size(), MSG_NOSIGNAL),
                      static_cast<ssize_t>(in.size()));
        },
        [&](int line, char* buffer, std::size_t size) {
            return ::recv(servers[line].Get(), buffer, size, 0);
        });
    EXPECT_LE(std::max(most, exchanged.MostThreads) - before,
              static_cast<std::ptrdiff_t>(LineThreads::Limit()));
    for (int line = 0; line < Lines; ++line) {
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
