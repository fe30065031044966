// Measures the serial component through a pseudo-terminal: the rate and the
// processor time per byte of one-byte WriteBuf calls (as a send makes them)
// and of ReadBuf.

#include "serial/TVaComm.h"
#include "support/PseudoTerminal.h"
#include "support/QueueHandOver.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double ProcessCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Figures {
    double bytesPerSecond;
    double cpuMicrosPerByte;
};

void Print(const char* what, int baud, const Figures& figures) {
    std::printf("%-34s %7d baud: %10.0f bytes/s, %8.2f us CPU per byte\n", what, baud,
                figures.bytesPerSecond, figures.cpuMicrosPerByte);
}

Figures MeasureWrites(feedrail::TVaBaudrate baudrate, int bytes) {
    feedrail::test::PseudoTerminal pty;
    feedrail::test::QueueHandOver handOver;
    feedrail::TVaComm comm(handOver);
    comm.SetDeviceName(pty.SlavePath());
    comm.SetFlowControl(feedrail::fcXonXoff);
    comm.SetBaudrate(baudrate);
    comm.Open();
    std::atomic<bool> done{false};
    std::thread machine([&] {
        while (!done) {
            pty.ReadAll(20ms);
        }
    });
    const double cpuStart = ProcessCpuSeconds();
    const auto start = Clock::now();
    const char byte = 'G';
    for (int i = 0; i < bytes; ++i) {
        comm.WriteBuf(&byte, 1);
    }
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    const double cpu = ProcessCpuSeconds() - cpuStart;
    done = true;
    machine.join();
    return {bytes / elapsed.count(), cpu * 1e6 / bytes};
}

Figures MeasureReads(int bytes) {
    feedrail::test::PseudoTerminal pty;
    feedrail::test::QueueHandOver handOver;
    feedrail::TVaComm comm(handOver);
    comm.SetDeviceName(pty.SlavePath());
    comm.SetFlowControl(feedrail::fcNone);
    comm.SetBaudrate(feedrail::br256000);
    comm.Open();
    std::thread machine([&] { pty.Write(std::string(static_cast<std::size_t>(bytes), 'X')); });
    const double cpuStart = ProcessCpuSeconds();
    const auto start = Clock::now();
    int received = 0;
    char buffer[2049];
    while (received < bytes) {
        const int got = comm.ReadBuf(buffer, sizeof buffer);
        received += got;
        if (got == 0) {
            handOver.RunPending();
        }
    }
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    const double cpu = ProcessCpuSeconds() - cpuStart;
    machine.join();
    return {bytes / elapsed.count(), cpu * 1e6 / bytes};
}

} // namespace

int main() {
    Print("one-byte WriteBuf", 9600, MeasureWrites(feedrail::br9600, 2000));
    Print("one-byte WriteBuf", 115200, MeasureWrites(feedrail::br115200, 20000));
    Print("one-byte WriteBuf", 256000, MeasureWrites(feedrail::br256000, 40000));
    Print("ReadBuf of whatever has arrived", 256000, MeasureReads(1'000'000));
    return 0;
}
