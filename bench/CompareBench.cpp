// Measures comparing two programs of a million lines each as the compare
// window and the service do: both files read, then compared.
//   feedrail-compare-bench [LINES]     (default 1000000)

#include "compare/ProgramComparison.h"
#include "support/TempFolder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
using feedrail::CompareOptions;

constexpr double GoalSeconds = 2.0;

std::string Block(long line) {
    return "N" + std::to_string(line) + " G1 X" + std::to_string(line % 1000) + ".125 Y-" +
           std::to_string(line % 77) + ".5 F800.\n";
}

// The stored program, and a received one of which `changed` tells each
// changed block; every 5000th block the machine added a dwell.
void WritePair(const std::string& stored, const std::string& received, long lines,
               const std::function<bool(long)>& changed) {
    std::string left = "%\nO1000 (MOLD)\n", right = left;
    for (long i = 0; i < lines - 3; ++i) {
        left += Block(i);
        right += changed(i) ? "N" + std::to_string(i) + " G1 X0 (MOVED)\n" : Block(i);
        if (i % 5000 == 4999) {
            right += "G4 P100\n";
        }
    }
    feedrail::test::WriteFile(stored, left + "%\n");
    feedrail::test::WriteFile(received, right + "%\n");
}

// Two unrelated programs of 50 blocks repeating in any order: the hardest
// case for the search, which its cost bound keeps about linear.
void WriteUnrelated(const std::string& stored, const std::string& received, long lines) {
    std::mt19937 random(1);
    std::string left, right;
    for (long i = 0; i < lines; ++i) {
        left += "G1 X" + std::to_string(random() % 50) + "\n";
        right += "G1 X" + std::to_string(random() % 50) + "\n";
    }
    feedrail::test::WriteFile(stored, left);
    feedrail::test::WriteFile(received, right);
}

// `goal`: whether the 2 s goal holds for the pair; it is for programs of one
// origin, not for unrelated ones.
void Measure(const char* what, const std::string& stored, const std::string& received,
             const CompareOptions& options, bool goal = true) {
    const auto start = Clock::now();
    const feedrail::ProgramTextRead left = feedrail::ReadProgramText(stored);
    const feedrail::ProgramTextRead right = feedrail::ReadProgramText(received);
    const feedrail::Comparison result = feedrail::ComparePrograms(left.Text, right.Text, options);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-44s %8zu lines: %5.2f s ", what, left.Text.LineCount(), seconds);
    if (goal) {
        std::printf("(goal under %.0f s: %s)", GoalSeconds,
                    seconds < GoalSeconds ? "met" : "MISSED");
    } else {
        std::printf("(no goal)");
    }
    std::printf(", %zu lines differ\n", result.Differing);
}

} // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1'000'000;
    feedrail::test::TempFolder folder;
    const std::string stored = folder.File("O1000.nc");
    const std::string received = folder.File("O1000-2.nc");
    WritePair(stored, received, lines, [](long i) { return i % 1000 == 500; });
    Measure("one block in 1000 changed", stored, received, {});
    Measure("the same, ignoring blanks, numbers, comments", stored, received, {true, true, true});
    WritePair(stored, received, lines, [](long i) { return i % 10 == 5; });
    Measure("one block in 10 changed", stored, received, {});
    WriteUnrelated(stored, received, lines);
    Measure("unrelated, of 50 blocks repeating", stored, received, {}, false);
    return 0;
}
