// Measures what an operator waits for in the real main window, offscreen:
// Get of a big program, the first listing of a folder of many programs, the
// file pane after one more program is filed there, Print File of a file
// without line breaks, and the processor time a send takes per byte. Each
// figure is printed beside its goal.
//   feedrail-window-bench [GET_LINES] [PANE_FILES] [PRINT_MEGABYTES] [SEND_KILOBYTES]
//   (default 1000000 50000 50 200)

#include "app/widgets/Tpunch_d.h"
#include "filelist/widgets/TLsFileListView26.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"
#include "utilities/widgets/ListingPrinter.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QThread>
#include <QTimer>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using feedrail::test::TempFolder;

double CpuSeconds(int who = RUSAGE_SELF) {
    rusage usage{};
    ::getrusage(who, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Kilobytes of /proc/self/status's `field` (VmRSS, VmHWM).
long StatusKilobytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return 0;
}

// Lets the peak memory start again from what is in use now.
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Figures {
    double seconds;
    double cpuSeconds;
    double peakMegabytes; // above what was in use before
};

template <typename Work> Figures Measure(Work work) {
    ResetPeak();
    const long before = StatusKilobytes("VmRSS");
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    work();
    return {std::chrono::duration<double>(Clock::now() - start).count(), CpuSeconds() - cpu,
            static_cast<double>(StatusKilobytes("VmHWM") - before) / 1024};
}

void Print(const char* what, const Figures& figures, const char* goal) {
    std::printf("%-40s %7.3f s, %7.3f s CPU, peak +%6.0f MB   (goal: %s)\n", what, figures.seconds,
                figures.cpuSeconds, figures.peakMegabytes, goal);
}

void WriteProgram(const std::string& path, long lines) {
    std::ofstream out(path);
    out << "%\nO1000 (MOLD)\n";
    for (long i = 0; i < lines - 3; ++i) {
        out << "N" << i + 1 << " G1 X" << i % 1000 << ".125 Y-" << i % 77 << ".5 Z" << i % 13
            << ".375 F800.\n";
    }
    out << "%\n";
}

void MeasureGet(feedrail::Tpunch_d& window, TempFolder& folder, long lines) {
    const std::string path = folder.File("big/BIG.nc");
    std::filesystem::create_directories(folder.File("big"));
    WriteProgram(path, lines);
    const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    feedrail::TLsFileListView26& pane = *window.Controls().LsFileListView261;
    pane.SetDirectory(QString::fromStdString(folder.File("big")));
    pane.SelectPath(QString::fromStdString(path));
    const Figures figures = Measure([&] {
        window.GetButtonClick();
        QApplication::processEvents();
    });
    char what[64];
    std::snprintf(what, sizeof what, "Get of %ld lines (%.0f MB)", lines, megabytes);
    Print(what, figures, "under 1 s, peak under 2x the file");
    window.ClearButtonClick();
}

void MeasurePane(feedrail::Tpunch_d& window, TempFolder& folder, long files) {
    const std::string many = folder.File("many");
    std::filesystem::create_directories(many);
    for (long i = 0; i < files; ++i) {
        // Half without an extension: their type must not be read from them.
        char name[32];
        std::snprintf(name, sizeof name, i % 2 == 0 ? "O%05ld.nc" : "O%05ld", i);
        std::ofstream(many + "/" + name) << "%\nO" << i << "\nG0 X0\n%\n";
    }
    feedrail::TLsFileListView26& pane = *window.Controls().LsFileListView261;
    const Figures listing = Measure([&] {
        pane.SetDirectory(QString::fromStdString(many));
        QApplication::processEvents();
    });
    char what[64];
    std::snprintf(what, sizeof what, "first listing of %ld files", files);
    Print(what, listing, "under 0.3 s");
    const std::string added = many + "/O99999.nc";
    std::ofstream(added) << "%\nO99999\n%\n";
    const Figures refresh = Measure([&] {
        pane.ShowAddedFile(added);
        QApplication::processEvents();
    });
    Print("the pane after one more program", refresh, "under 50 ms");
}

void MeasurePrint(TempFolder& folder, long megabytes) {
    const std::string path = folder.File("noline.nc");
    {
        std::ofstream out(path);
        const std::string block(1'000'000, 'X');
        for (long i = 0; i < megabytes; ++i) {
            out << block;
        }
    }
    feedrail::test::FakeMessages messages;
    feedrail::ListingDestination destination{[] { return QPrinterInfo(); },
                                             QString::fromStdString(folder.File("pdf"))};
    feedrail::ListingPrinter printer(messages, destination);
    const Figures figures = Measure([&] { printer.PrintListing(QString::fromStdString(path), 1); });
    char what[64];
    std::snprintf(what, sizeof what, "Print File, %ld MB without line breaks", megabytes);
    Print(what, figures, "memory bounded");
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) {
            return false;
        }
        QApplication::processEvents();
        QThread::msleep(1);
    }
    return true;
}

// How the window stands during a send: not shown (no painting), shown, or
// shown with its line monitor, whose cost is the difference of the last two.
enum class Seen { Hidden, Shown, WithMonitor };

// A send of a program with no handshake at 19200 baud (the highest rate a profile takes) through a
// pseudo-terminal whose other end takes every byte at once: the processor
// time of the window's process, its reader's left out, per byte on the wire.
void MeasureSend(long kilobytes, Seen seen) {
    TempFolder folder;
    feedrail::test::PseudoTerminal pty;
    std::filesystem::create_symlink(pty.SlavePath(), folder.File("com2"));
    feedrail::test::WriteFile(
        folder.File("DNC.ini"),
        "[Mill]\nCommPort=2\nCommBaudRate=19200\nCommHandshake=1\nPunchType=1\n");
    feedrail::test::FakeMessages messages;
    feedrail::Tpunch_d window(folder.Path() + "/", messages);
    if (seen != Seen::Hidden) {
        window.show();
    }
    if (seen == Seen::WithMonitor) {
        window.findChild<QAction*>("LineMonitor1")->trigger();
    }
    const auto status = [&window] { return window.Controls().Label3->text(); };
    if (!PumpUntil([&] { return status() == "COM2 Ready"; }, std::chrono::seconds(5))) {
        std::printf("send: the port did not open (%s)\n", status().toUtf8().constData());
        return;
    }
    std::string program = "%\n";
    for (long line = 1; static_cast<long>(program.size()) < kilobytes * 1000; ++line) {
        program += "N" + std::to_string(line) + " G1 X" + std::to_string(line % 997) + ".5 Y-" +
                   std::to_string(line % 313) + ".25 F800.\n";
    }
    program += "%\n";
    window.Editor().SetText(program);
    std::atomic<bool> done = false;
    std::size_t wire = 0;
    double readerCpu = 0;
    std::thread reader([&] {
        std::array<char, 65536> buffer{};
        while (!done) {
            pollfd ready{pty.Master(), POLLIN, 0};
            if (::poll(&ready, 1, 10) == 1) {
                const ssize_t count = ::read(pty.Master(), buffer.data(), buffer.size());
                wire += count > 0 ? static_cast<std::size_t>(count) : 0;
            }
        }
        readerCpu = CpuSeconds(RUSAGE_THREAD);
    });
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    window.SendButtonClick();
    // A real event loop, which sleeps until there is work: a loop that polls
    // would count its own polling as the send's.
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (status() == "Finished Send" || Clock::now() - start > std::chrono::seconds(120)) {
            loop.quit();
        }
    });
    look.start(50);
    loop.exec();
    if (status() != "Finished Send") {
        std::printf("send: not finished (%s)\n", status().toUtf8().constData());
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double used = CpuSeconds() - cpu;
    done = true;
    reader.join();
    const char* how = seen == Seen::Hidden  ? "window not shown"
                      : seen == Seen::Shown ? "window shown    "
                                            : "line monitor    ";
    std::printf("send of %zu bytes at 19200 baud, %s %7.3f s, %6.2f us CPU per byte "
                "(goal: at most 5; the monitor: no more than the shown window)\n",
                wire, how, seconds, (used - readerCpu) * 1e6 / static_cast<double>(wire));
}

long Argument(int argc, char** argv, int index, long otherwise) {
    return argc > index ? std::strtol(argv[index], nullptr, 10) : otherwise;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    TempFolder folder;
    feedrail::test::FakeMessages messages;
    feedrail::Tpunch_d window(folder.Path() + "/", messages);
    window.show();
    QApplication::processEvents();
    MeasureGet(window, folder, Argument(argc, argv, 1, 1'000'000));
    MeasurePane(window, folder, Argument(argc, argv, 2, 50'000));
    MeasurePrint(folder, Argument(argc, argv, 3, 50));
    for (const Seen seen : {Seen::Hidden, Seen::Shown, Seen::WithMonitor}) {
        MeasureSend(Argument(argc, argv, 4, 200), seen);
    }
    return 0;
}
