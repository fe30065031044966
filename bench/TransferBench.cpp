// Measures whole transfers through a pseudo-terminal: a 1 MB program sent and
// received with no handshake, the same bytes moved by cat for comparison, and
// the share of a 115200-baud line a send keeps busy when the other end reads
// at exactly the line's pace.

#include "profiles/ActiveSettings.h"
#include "serial/TVaComm.h"
#include "session/RunState.h"
#include "support/FakeWindowHost.h"
#include "support/PseudoTerminal.h"
#include "support/QueueHandOver.h"
#include "support/TempFolder.h"
#include "transfer/PortSetup.h"
#include "transfer/ReceiveTransfer.h"
#include "transfer/SendTransfer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/resource.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using feedrail::test::PseudoTerminal;

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// Processor seconds of this process, or of the commands it has waited for.
double CpuSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

struct Figures {
    double seconds;
    double cpuSeconds;
};

void Print(const char* what, std::size_t bytes, const Figures& figures) {
    std::printf("%-44s %8.2f s, %6.2f s CPU, %9.0f bytes/s\n", what, figures.seconds,
                figures.cpuSeconds, static_cast<double>(bytes) / figures.seconds);
}

std::vector<std::string> ProgramLines(std::size_t bytes) {
    std::vector<std::string> lines{"%"};
    std::size_t size = 2;
    for (int n = 1; size < bytes; ++n) {
        lines.push_back("N" + std::to_string(n) + " G1 X" + std::to_string(n % 997) + ".5 Y-" +
                        std::to_string(n % 313) + ".25 F800.");
        size += lines.back().size() + 1;
    }
    lines.emplace_back("%");
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

// One Feedrail end of the line: the serial component with the sending and
// receiving steps, and a window that only records.
struct Station {
    explicit Station(const std::string& device, feedrail::TVaBaudrate baudrate) {
        host.ReceivedLines = &state.ReceivedLines;
        settings.CommHandshake = 1;
        settings.PunchType = 1;
        settings.EOB = 2;
        comm.SetDeviceName(device);
        comm.SetMonitorEvents(feedrail::AllCommEvents);
        comm.SetBaudrate(baudrate);
        comm.OnRxChar = [this](feedrail::TVaCustomComm&, int count) { receive.Comm1RxChar(count); };
    }

    void Open() {
        comm.Open();
        feedrail::SetHandshakeLines(settings.CommHandshake, comm);
    }

    feedrail::test::QueueHandOver handOver;
    feedrail::TVaComm comm{handOver};
    feedrail::RunState state;
    feedrail::ActiveSettings settings;
    feedrail::test::FakeWindowHost host{handOver, state};
    feedrail::SendTransfer send{state, settings, comm, host.ForSend()};
    feedrail::ReceiveTransfer receive{state, settings, comm, host.ForReceive(), send};
};

// The machine's side of a send: reads everything, or only as much as a line
// of `rate` characters per second could have carried by now.
class Reader {
public:
    Reader(const PseudoTerminal& pty, std::size_t expected, double rate)
        : thread_([&pty, expected, rate, this] { Run(pty, expected, rate); }) {}
    ~Reader() { thread_.join(); }

    // From the first character to the last.
    double Seconds() {
        thread_.join();
        thread_ = std::thread([] {});
        return std::chrono::duration<double>(last_ - first_).count();
    }
    // The reader's own processor time, which is not Feedrail's.
    double CpuSeconds() const { return cpuSeconds_; }

private:
    void Run(const PseudoTerminal& pty, std::size_t expected, double rate) {
        std::size_t got = 0;
        while (got < expected) {
            std::size_t allowed = expected - got;
            if (rate > 0 && got > 0) {
                const double carried = std::chrono::duration<double>(Clock::now() - first_).count();
                allowed = std::min(allowed, static_cast<std::size_t>(carried * rate) + 1 - got);
            }
            const std::string bytes =
                allowed > 0 ? pty.Read(allowed, got == 0 ? 1ms : 0ms) : std::string();
            if (!bytes.empty() && got == 0) {
                first_ = Clock::now();
            }
            got += bytes.size();
            last_ = Clock::now();
            if (bytes.empty() && got > 0) {
                std::this_thread::sleep_for(20us);
            }
        }
        cpuSeconds_ = ::CpuSeconds(RUSAGE_THREAD);
    }

    Clock::time_point first_{};
    Clock::time_point last_{};
    double cpuSeconds_ = 0;
    std::thread thread_;
};

Figures MeasureSend(feedrail::TVaBaudrate baudrate, std::size_t bytes, double readerRate,
                    double* share = nullptr) {
    PseudoTerminal pty;
    Station station(pty.SlavePath(), baudrate);
    station.host.Lines = ProgramLines(bytes);
    const std::size_t wire = Joined(station.host.Lines).size() - 1;
    station.Open();
    Reader reader(pty, wire, readerRate);
    const double cpuStart = CpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    station.host.Session.RequestSend(false);
    station.send.SendStart();
    station.host.RunLoop([&] { return !station.host.Session.Sending(); }, 600s);
    const double lineSeconds = reader.Seconds();
    const Figures figures{std::chrono::duration<double>(Clock::now() - start).count(),
                          CpuSeconds(RUSAGE_SELF) - cpuStart - reader.CpuSeconds()};
    if (share != nullptr) {
        *share = static_cast<double>(wire - 1) / (lineSeconds * readerRate);
    }
    return figures;
}

Figures MeasureReceive(std::size_t bytes) {
    PseudoTerminal pty;
    Station station(pty.SlavePath(), feedrail::br256000);
    const std::string program = Joined(ProgramLines(bytes));
    station.receive.ReceiveButtonClick();
    station.Open();
    station.receive.ReceiveStart();
    const double cpuStart = CpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    std::thread machine([&] { pty.Write("\x12" + program + "\x14"); });
    station.handOver.RunUntil(
        [&] {
            return !station.host.Statuses.empty() &&
                   station.host.Statuses.back() == "Finished Receiving";
        },
        120s);
    const Figures figures{std::chrono::duration<double>(Clock::now() - start).count(),
                          CpuSeconds(RUSAGE_SELF) - cpuStart};
    machine.join();
    return figures;
}

Figures MeasureCommand(const std::string& command, const std::function<void()>& otherEnd) {
    const double cpuStart = CpuSeconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    std::thread peer(otherEnd);
    const int status = std::system(command.c_str());
    peer.join();
    if (status != 0) {
        std::fprintf(stderr, "'%s' failed\n", command.c_str());
    }
    return {std::chrono::duration<double>(Clock::now() - start).count(),
            CpuSeconds(RUSAGE_CHILDREN) - cpuStart};
}

} // namespace

int main(int argc, char** argv) {
    // The program's size in kilobytes; 1000 unless given.
    const std::size_t megabyte = (argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000) * 1000;
    const std::string program = Joined(ProgramLines(megabyte));
    feedrail::test::TempFolder folder;
    feedrail::test::WriteFile(folder.File("program.nc"), program);

    std::printf("%zu-byte program through a pseudo-terminal, no handshake\n", program.size());
    std::printf("%-44s %8.2f s\n", "its time on a 256000-baud line",
                static_cast<double>(program.size()) * 10 / 256000);
    Print("send at 256000 baud", program.size(), MeasureSend(feedrail::br256000, megabyte, 0));
    Print("receive", program.size(), MeasureReceive(megabyte));
    {
        PseudoTerminal pty;
        Print("cat program > pty", program.size(),
              MeasureCommand("cat " + folder.File("program.nc") + " > " + pty.SlavePath(),
                             [&] { pty.Read(program.size(), 60s); }));
    }
    {
        PseudoTerminal pty;
        Print("head -c from pty", program.size(),
              MeasureCommand("head -c " + std::to_string(program.size()) + " " + pty.SlavePath() +
                                 " > /dev/null",
                             [&] { pty.Write(program); }));
    }
    double share = 0;
    const Figures paced = MeasureSend(feedrail::br115200, megabyte / 5, 11520, &share);
    std::printf("\nsend at 115200 baud to a reader at the line's exact pace\n");
    Print("a fifth of the program", megabyte / 5, paced);
    std::printf("%-44s %8.2f %% (target 99 %%)\n", "share of the line kept busy", share * 100);
    return 0;
}
