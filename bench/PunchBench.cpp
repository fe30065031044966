// What filing a long punch costs in memory: a program of 100 MB (and a flood
// of bare line feeds of the same size) goes through the collector into a
// file, and the process's peak memory is read before and after.
//   feedrail-punch-bench [MEGABYTES]

#include "support/TempFolder.h"
#include "transfer/ProgramCollector.h"
#include "transfer/ProgramFiler.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

namespace {

long PeakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Punches `megabytes` of `line` repeated after "DC2 % O1", and ends the tape.
void Punch(const char* what, const std::string& line, long megabytes) {
    feedrail::test::TempFolder folder;
    feedrail::FiledProgram result;
    feedrail::ProgramFiler filer([&](feedrail::FiledProgram filed) { result = std::move(filed); });
    filer.SetPlaces({folder.Path() + "/"}, ".nc", true, true);
    feedrail::ProgramCollector collector(filer, std::uint64_t{1} << 40);
    const long before = PeakKilobytes();
    const auto start = std::chrono::steady_clock::now();
    for (const char c : std::string("\x12%\nO1\n")) {
        collector.Take(c);
    }
    const long total = megabytes * 1024 * 1024;
    for (long sent = 0; sent < total; sent += static_cast<long>(line.size())) {
        for (const char c : line) {
            collector.Take(c);
        }
    }
    for (const char c : std::string("%\n\x14")) {
        collector.Take(c);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-28s %5ld MB punched: %8.1f MB filed, peak memory +%ld KB, %.1f s\n", what,
                megabytes, static_cast<double>(result.Bytes) / (1024.0 * 1024.0),
                PeakKilobytes() - before, seconds);
}

} // namespace

int main(int argc, char** argv) {
    const long megabytes = argc > 1 ? std::atol(argv[1]) : 100;
    Punch("program lines", "N1234 G01 X123.456 Y78.901 F300\n", megabytes);
    Punch("bare line feeds", "\n", megabytes);
    Punch("one line without end", "X", megabytes);
    return 0;
}
