// What a control's request costs in a big program folder: FILES programs
// (20,000 by default), each with its number on its second line and named
// otherwise, and requests for a number no file has, which look at them all.
//   feedrail-request-bench [FILES]

#include "support/TempFolder.h"
#include "transfer/ProgramIndex.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double Seconds(const std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 20000;
    feedrail::test::TempFolder folder;
    for (int file = 0; file < files; ++file) {
        feedrail::test::WriteFile(folder.File("part-" + std::to_string(file) + ".nc"),
                                  "%\nO" + std::to_string(10000 + file) + "\nG1 X1\nM30\n%\n");
    }
    feedrail::ProgramIndex index;
    const std::string base = folder.Path() + "/";
    auto start = std::chrono::steady_clock::now();
    const bool found = index.Find(base, "O99999", ".nc").Path.has_value();
    const double first = Seconds(start);
    constexpr int Later = 10;
    start = std::chrono::steady_clock::now();
    for (int request = 0; request < Later; ++request) {
        index.Find(base, "O99999", ".nc");
    }
    const double later = Seconds(start) / Later;
    std::printf("%d programs: a missing program's first request %.3f s (reads every file once), "
                "each later one %.3f s (goal 0.1 s; every file's head was read each time "
                "before)%s\n",
                files, first, later, found ? " [found?]" : "");
    return 0;
}
