#include "utilities/widgets/UtilityLauncher.h"

#include "common/widgets/TextBridge.h"
#include "common/widgets/UserMessages.h"
#include "profiles/UtilityFile.h"
#include "utilities/UtilityLaunch.h"

#include <algorithm>

namespace feedrail {
UtilityLauncher::UtilityLauncher(const RunState& state, UserMessages& messages,
                                 std::function<QString()> selectedPath)
    : state_(state), messages_(messages), selectedPath_(std::move(selectedPath)),
      execute_(messages) {}

void UtilityLauncher::SetupSheet() {
    const QString path = selectedPath_();
    if (path.isEmpty()) {
        messages_.ShowMessage(QStringLiteral("No File Selected"));
        return;
    }
    execute_.Execute(DisplayPath(SetupSheetProgram(state_.ProgramDir)), path, ProgramDir());
}

void UtilityLauncher::Run(int number) {
    const auto command = std::find_if(commands_.begin(), commands_.end(),
                                      [number](const auto& c) { return c.Number == number; });
    if (command == commands_.end()) {
        return;
    }
    const UtilityTarget target =
        UtilityFileFor(command->Mode, state_.CurrentFile, LocalPath(selectedPath_()));
    if (target.NeedFilename) {
        messages_.ShowMessage(QStringLiteral("Need Filename"));
        return;
    }
    execute_.Execute(DisplayPath(UtilityProgramPath(command->Program, state_.ProgramDir)),
                     DisplayPath(target.File), ProgramDir());
}

QString UtilityLauncher::ProgramDir() const {
    return DisplayPath(state_.ProgramDir);
}

} // namespace feedrail
