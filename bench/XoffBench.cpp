// Measures how many characters a control receives after its XOFF while a
// program is sent under program Xon/Xoff (the hold a send turns on), on a
// pseudo-terminal at 9600, 19200 and 115200 baud, with 16 other sends busy
// beside it, and through ser2net (RFC 2217 and raw TCP, and RFC 2217 without
// ser2net's wait for more of what its line receives). The control reads at the
// line's pace, sends XOFF every few hundred characters and XON once nothing
// has come for a while; what already waited in its input when the XOFF went
// out was on the line before it and does not count.
//
//   feedrail-xoff-bench [RUNS [NAME [ixon]]]
//     each scenario whose name holds NAME, RUNS times (5); with "ixon" the
//     far end's terminal stops its own output on the XOFF (IXON on the local
//     device, or on the device server's line), to weigh the kernel's stop
//     against the line thread's.

#include "serial/TVaComm.h"
#include "support/DeviceServer.h"
#include "support/PseudoTerminal.h"
#include "support/QueueHandOver.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr char Xon = 0x11;
constexpr char Xoff = 0x13;
constexpr std::size_t ProgramBytes = 3000;
constexpr std::size_t XoffEvery = 300;
constexpr int BusySends = 16;

enum class Line { Pty, Rfc2217, Rfc2217AtOnce, Tcp };

struct Scenario {
    const char* name;
    Line line;
    feedrail::TVaBaudrate baudrate;
    long rate;
    int busy;
};

double ProcessCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void WriteByte(int fd, char byte) {
    while (::write(fd, &byte, 1) != 1) {
        std::this_thread::sleep_for(100us);
    }
}

std::size_t Unread(int fd) {
    int queued = 0;
    return ::ioctl(fd, FIONREAD, &queued) == 0 ? static_cast<std::size_t>(std::max(queued, 0)) : 0;
}

// The control: one character per character time off `fd`, XOFF after every
// XoffEvery, XON after 20 ms without a character. Returns the characters
// that came after each XOFF.
std::vector<std::size_t> Control(int fd, long rate, std::size_t total) {
    const auto characterTime = std::chrono::nanoseconds(1'000'000'000LL * 10 / rate);
    std::vector<std::size_t> counts;
    std::size_t received = 0;
    bool held = false;
    std::size_t after = 0;
    std::size_t already = 0;
    auto lastByte = Clock::now();
    auto nextSlot = Clock::now();
    while (received < total) {
        std::this_thread::sleep_until(nextSlot);
        char byte = 0;
        const bool got = ::read(fd, &byte, 1) == 1;
        const auto now = Clock::now();
        nextSlot = got ? nextSlot + characterTime : now + 200us;
        if (!got) {
            if (held && now - lastByte >= 20ms) {
                counts.push_back(after - std::min(after, already));
                held = false;
                WriteByte(fd, Xon);
            }
            if (now - lastByte > 10s) {
                break;
            }
            continue;
        }
        lastByte = now;
        ++received;
        after += held ? 1 : 0;
        if (!held && received % XoffEvery == 0) {
            already = Unread(fd);
            WriteByte(fd, Xoff);
            held = true;
            after = 0;
        }
    }
    if (held) {
        counts.push_back(after - std::min(after, already));
    }
    return counts;
}

// Reads away what the control sends back; the XOFFs among it.
std::size_t ReadBack(feedrail::TVaComm& comm, feedrail::test::QueueHandOver& handOver) {
    std::size_t xoffs = 0;
    char drain[256];
    for (int got = 0; (got = comm.ReadBuf(drain, sizeof drain)) > 0;) {
        xoffs += static_cast<std::size_t>(std::count(drain, drain + got, Xoff));
    }
    handOver.RunPending();
    return xoffs;
}

// Hands the port whole pieces while it holds less than a tenth of a second
// of the line, as a send does. Returns the XOFFs that reached the sender,
// which a send shows as its pause.
std::size_t Send(feedrail::TVaComm& comm, feedrail::test::QueueHandOver& handOver, long rate,
                 std::size_t total, const std::atomic<bool>& stop) {
    const std::string piece = "N1234G1X12.5Y-3.25F800.\n";
    const std::size_t high = static_cast<std::size_t>(std::max(rate / 100, 32L));
    std::size_t sent = 0;
    std::size_t xoffs = 0;
    while (sent < total && !stop) {
        if (comm.OutputQueued() < high) {
            const std::size_t size = std::min(piece.size(), total - sent);
            comm.QueueBuf(piece.data(), size);
            sent += size;
        } else {
            std::this_thread::sleep_for(2ms);
        }
        xoffs += ReadBack(comm, handOver);
    }
    while (comm.OutputQueued() > 0 && !stop) {
        std::this_thread::sleep_for(2ms);
        xoffs += ReadBack(comm, handOver);
    }
    return xoffs;
}

void OpenForSend(feedrail::TVaComm& comm, const std::string& device,
                 feedrail::TVaBaudrate baudrate) {
    comm.SetDeviceName(device);
    comm.SetFlowControl(feedrail::fcNone);
    comm.SetBaudrate(baudrate);
    comm.Open();
    comm.SetXoffHoldsOutput(true);
}

// A send that keeps a line busy beside the measured one.
struct BusySend {
    feedrail::test::PseudoTerminal pty;
    feedrail::test::QueueHandOver handOver;
    feedrail::TVaComm comm{handOver};
    std::thread reader;
    std::thread writer;
};

std::vector<std::unique_ptr<BusySend>> StartBusy(int count, const std::atomic<bool>& stop) {
    std::vector<std::unique_ptr<BusySend>> busy;
    for (int i = 0; i < count; ++i) {
        auto send = std::make_unique<BusySend>();
        OpenForSend(send->comm, send->pty.SlavePath(), feedrail::br115200);
        send->reader = std::thread([&stop, raw = send.get()] {
            while (!stop) {
                raw->pty.ReadAll(20ms);
            }
        });
        send->writer = std::thread(
            [&stop, raw = send.get()] { Send(raw->comm, raw->handOver, 115200, SIZE_MAX, stop); });
        busy.push_back(std::move(send));
    }
    return busy;
}

// The terminal at `path` holds its output from the XOFF it receives to the
// XON, and takes both out of what it reads.
void StopOnXoff(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tty{};
    if (fd >= 0 && ::tcgetattr(fd, &tty) == 0) {
        tty.c_iflag |= IXON;
        ::tcsetattr(fd, TCSANOW, &tty);
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

struct RunResult {
    std::vector<std::size_t> counts;
    std::size_t xoffsSeen;
    double cpuMicrosPerByte;
};

RunResult RunOnce(const Scenario& scenario, bool kernelStop) {
    feedrail::test::TempFolder folder;
    std::unique_ptr<feedrail::test::DeviceServer> server;
    std::unique_ptr<feedrail::test::PseudoTerminal> pty;
    int control = -1;
    std::string device;
    if (scenario.line == Line::Pty) {
        pty = std::make_unique<feedrail::test::PseudoTerminal>();
        control = pty->Master();
        device = pty->SlavePath();
    } else {
        server = std::make_unique<feedrail::test::DeviceServer>(folder.Path());
        control = ::open(server->ControlPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        device = scenario.line == Line::Rfc2217         ? server->Rfc2217Address()
                 : scenario.line == Line::Rfc2217AtOnce ? server->Rfc2217AtOnceAddress()
                                                        : server->TcpAddress();
    }
    std::atomic<bool> stop{false};
    auto busy = StartBusy(scenario.busy, stop);
    feedrail::test::QueueHandOver handOver;
    feedrail::TVaComm comm(handOver);
    OpenForSend(comm, device, scenario.baudrate);
    // A network device reaches its server after the open, in its line passes.
    std::this_thread::sleep_for(scenario.line == Line::Pty ? 0ms : 300ms);
    if (kernelStop) {
        // After the server has been told the settings, which would clear it.
        StopOnXoff(scenario.line == Line::Pty
                       ? pty->SlavePath()
                       : std::filesystem::canonical(folder.File("device-serial")).string());
    }
    std::vector<std::size_t> counts;
    std::thread machine([&] { counts = Control(control, scenario.rate, ProgramBytes); });
    const double cpuStart = ProcessCpuSeconds();
    const std::size_t xoffsSeen = Send(comm, handOver, scenario.rate, ProgramBytes, stop);
    machine.join();
    const double cpu = ProcessCpuSeconds() - cpuStart;
    stop = true;
    for (const auto& send : busy) {
        send->writer.join();
        send->reader.join();
    }
    comm.Close();
    if (scenario.line != Line::Pty) {
        ::close(control);
    }
    return {counts, xoffsSeen, cpu * 1e6 / ProgramBytes};
}

void Measure(const Scenario& scenario, int runs, bool kernelStop) {
    std::vector<std::size_t> runMaxima;
    std::vector<std::size_t> all;
    double cpu = 0;
    std::size_t seen = 0;
    for (int run = 0; run < runs; ++run) {
        const RunResult result = RunOnce(scenario, kernelStop);
        all.insert(all.end(), result.counts.begin(), result.counts.end());
        runMaxima.push_back(result.counts.empty()
                                ? 0
                                : *std::max_element(result.counts.begin(), result.counts.end()));
        cpu += result.cpuMicrosPerByte;
        seen += result.xoffsSeen;
    }
    std::sort(all.begin(), all.end());
    std::sort(runMaxima.begin(), runMaxima.end());
    if (all.empty()) {
        std::printf("%-34s no XOFF was answered\n", scenario.name);
        return;
    }
    std::printf("%-26s after XOFF min %2zu median %2zu max %3zu; worst of each run min %2zu "
                "median %2zu max %3zu; XOFFs seen by the sender %zu of %zu; %.1f us process CPU "
                "per byte (the control and any busy sends included)\n",
                scenario.name, all.front(), all[all.size() / 2], all.back(), runMaxima.front(),
                runMaxima[runMaxima.size() / 2], runMaxima.back(), seen, all.size(), cpu / runs);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::vector<Scenario> scenarios = {
        {"pty 9600", Line::Pty, feedrail::br9600, 9600, 0},
        {"pty 19200", Line::Pty, feedrail::br19200, 19200, 0},
        {"pty 115200", Line::Pty, feedrail::br115200, 115200, 0},
        {"pty 9600, 16 sends busy", Line::Pty, feedrail::br9600, 9600, BusySends},
        {"pty 19200, 16 sends busy", Line::Pty, feedrail::br19200, 19200, BusySends},
        {"pty 115200, 16 sends busy", Line::Pty, feedrail::br115200, 115200, BusySends},
        {"ser2net rfc2217 9600", Line::Rfc2217, feedrail::br9600, 9600, 0},
        {"ser2net rfc2217 38400", Line::Rfc2217, feedrail::br38400, 38400, 0},
        {"ser2net rfc2217 115200", Line::Rfc2217, feedrail::br115200, 115200, 0},
        {"ser2net raw tcp 115200", Line::Tcp, feedrail::br115200, 115200, 0},
        {"ser2net rfc2217 115200, chardelay off", Line::Rfc2217AtOnce, feedrail::br115200, 115200,
         0},
    };
    const std::string only = argc > 2 ? argv[2] : "";
    const bool kernelStop = argc > 3 && std::string(argv[3]) == "ixon";
    for (const Scenario& scenario : scenarios) {
        if (only.empty() || std::string(scenario.name).find(only) != std::string::npos) {
            Measure(scenario, runs, kernelStop);
        }
    }
    return 0;
}
