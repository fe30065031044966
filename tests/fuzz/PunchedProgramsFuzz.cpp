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

void CheckProgram(const std::vector<std::string>& program) {
    const auto number = feedrail::ProgramNumber(program);
    Require(!number || NameSafe(*number), "a program number is an O and digits");
    const auto request = feedrail::RequestedNumber(program);
    Require(!request || request == number, "a request asks for its own program number");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::int32_t punchType = 1 + data[0] % 3;
    feedrail::ProgramCollector collector;
    std::size_t kept = 0;
    for (std::size_t i = 1; i < size; ++i) {
        const auto character = feedrail::DecodeTapeByte(data[i], punchType);
        if (!character) {
            continue;
        }
        if (const auto program = collector.Take(*character)) {
            // Lines and the line breaks between them, each from a byte punched.
            kept += program->size() - 1;
            for (const std::string& line : *program) {
                kept += line.size();
            }
            CheckProgram(*program);
        }
    }
    Require(kept <= size, "programs hold no more than was punched");
    return 0;
}
