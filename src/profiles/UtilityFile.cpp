#include "profiles/UtilityFile.h"

#include "profiles/ConversionError.h"
#include "profiles/GetField.h"
#include "profiles/WholeNumber.h"

#include <utility>

namespace feedrail {

UtilityFile::UtilityFile(std::string path) : ini_(std::move(path)) {}

UtilityList UtilityFile::ReadUtilities() const {
    UtilityList list;
    for (int n = 1; n <= Slots; ++n) {
        const std::string value = ini_.ReadString(Section, "Utility" + std::to_string(n), "");
        if (value.empty()) {
            continue;
        }
        const std::string modeField = GetField(value, 3);
        const auto mode = modeField.empty() ? std::optional<std::int32_t>(UtilityNeedsNoFile)
                                            : ParseWholeNumber(modeField);
        if (!mode) {
            list.Errors.push_back(ConversionError::Message(modeField));
            continue;
        }
        const int number = static_cast<int>(list.Commands.size()) + 1;
        list.Commands.push_back({number, GetField(value, 1), GetField(value, 2), *mode});
    }
    return list;
}

std::string UtilityProgramPath(std::string_view program, std::string_view programDir) {
    if (program.find('/') != std::string_view::npos) {
        return std::string(program);
    }
    return std::string(programDir) + std::string(program);
}

} // namespace feedrail
