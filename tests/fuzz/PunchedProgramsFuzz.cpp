// Whatever a machine punches while Feedrail files programs by themselves: the
// programs cut from it hold no more than came, and every program number that
// names a file is an "O" and digits, so that no punched text can choose
// another folder or file.

#include "FuzzCheck.h"
#include "transfer/ProgramCollector.h"
#include "transfer/ProgramFiles.h"
#include "transfer/TapeCode.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using feedrail::fuzz::Require;

bool NameSafe(const std::string& number) {
    if (number.size() < 2 || number[0] != 'O') {
        return false;
    }
    for (std::size_t i = 1; i < number.size(); ++i) {
        if (number[i] < '0' || number[i] > '9') {
            return false;
        }
    }
    return true;
}

// Checks each program as it ends, and counts what it holds.
class CheckedPrograms : public feedrail::ProgramSink {
public:
    void ProgramBegins() override { program_.clear(); }
    void ProgramText(std::string_view text) override {
        program_ += text;
        Kept += text.size();
    }
    void ProgramEnds(Ending) override {
        const std::vector<std::string> lines = feedrail::TextLines(program_);
        const auto number = feedrail::ProgramNumber(lines);
        Require(!number || NameSafe(*number), "a program number is an O and digits");
        const auto request = feedrail::RequestedNumber(lines);
        Require(!request || request == number, "a request asks for its own program number");
        Require(program_.size() <= MostBytes, "no program grows past the most bytes");
    }

    static constexpr std::uint64_t MostBytes = 4096;
    std::size_t Kept = 0;

private:
    std::string program_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::int32_t punchType = 1 + data[0] % 3;
    CheckedPrograms programs;
    feedrail::ProgramCollector collector(programs, CheckedPrograms::MostBytes);
    std::size_t taken = 0;
    for (std::size_t i = 1; i < size; ++i) {
        const auto character = feedrail::DecodeTapeByte(data[i], punchType);
        if (!character) {
            continue;
        }
        ++taken;
        collector.Take(*character);
        // Each byte kept comes from a character punched; a line's end may be
        // added to a line that DC2 or DC4 cut short.
        Require(programs.Kept <= 2 * taken, "programs hold no more than was punched");
    }
    return 0;
}
