#include "utilities/widgets/UtilityLauncher.h"

#include "common/widgets/UserMessages.h"
#include "profiles/UtilityFile.h"
#include "utilities/UtilityLaunch.h"

#include <algorithm>

namespace feedrail {
UtilityLauncher::UtilityLauncher(const RunState& state, UserMessages& messages,
                                 std::function<std::string()> selectedPath)
    : state_(state), messages_(messages), selectedPath_(std::move(selectedPath)),
      execute_(messages) {}

void UtilityLauncher::SetupSheet() {
    const std::string path = selectedPath_();
    if (path.empty()) {
        messages_.ShowMessage(QStringLiteral("No File Selected"));
        return;
    }
    execute_.Execute(SetupSheetProgram(state_.ProgramDir), path, state_.ProgramDir);
}

void UtilityLauncher::Run(int number) {
    const auto command = std::find_if(commands_.begin(), commands_.end(),
                                      [number](const auto& c) { return c.Number == number; });
    if (command == commands_.end()) {
        return;
    }
    const UtilityTarget target = UtilityFileFor(command->Mode, state_.CurrentFile, selectedPath_());
    if (target.NeedFilename) {
        messages_.ShowMessage(QStringLiteral("Need Filename"));
        return;
    }
    execute_.Execute(UtilityProgramPath(command->Program, state_.ProgramDir), target.File,
                     state_.ProgramDir);
}

} // namespace feedrail
