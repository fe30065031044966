// Measures renumbering in the real main window, offscreen: lines per second
// for mold-and-die sized programs, and how soon Esc stops a long run.
//   feedrail-renumber-bench [LINES...]     (default 100000 1000000)

#include "app/widgets/Tpunch_d.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string Program(long blocks) {
    std::string program = "%\nO1000 (MOLD)\n";
    for (long i = 0; i < blocks; ++i) {
        program += "N" + std::to_string(i + 1) + " G1 X" + std::to_string(i % 1000) + ".125 Y-" +
                   std::to_string(i % 77) + ".5 F800.\n";
    }
    return program + "%\n";
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Measure(feedrail::Tpunch_d& window, long lines) {
    window.Editor().SetText(Program(lines - 3));
    const auto start = Clock::now();
    window.Renumber1Click();
    const double seconds = SecondsSince(start);
    std::printf("%8ld lines: %6.2f s, %9.0f lines/s\n", lines, seconds,
                static_cast<double>(lines) / seconds);
}

void MeasureEsc(feedrail::Tpunch_d& window, long lines) {
    window.Editor().SetText(Program(lines - 3));
    Clock::time_point pressed;
    QTimer::singleShot(200, &window, [&] {
        pressed = Clock::now();
        QApplication::postEvent(&window,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    window.Renumber1Click();
    std::printf("Esc 200 ms into %ld lines stopped it %.1f ms after the key\n", lines,
                std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    std::vector<long> sizes;
    for (int i = 1; i < argc; ++i) {
        sizes.push_back(std::strtol(argv[i], nullptr, 10));
    }
    if (sizes.empty()) {
        sizes = {100'000, 1'000'000};
    }
    feedrail::test::TempFolder folder;
    feedrail::test::FakeMessages messages;
    feedrail::Tpunch_d window(folder.Path() + "/", messages);
    window.show();
    for (const long lines : sizes) {
        Measure(window, lines);
    }
    MeasureEsc(window, sizes.back());
    return 0;
}
