#pragma once

#include "profiles/UtilityCommand.h"
#include "session/RunState.h"
#include "utilities/widgets/TBUExecute.h"

#include <functional>
#include <string>
#include <vector>

namespace feedrail {

class UserMessages;

// The Setup Sheet button and the Utilities menu's programs: each starts its
// program on the file its mode asks for, in the program's own folder.
class UtilityLauncher {
public:
    // `selectedPath` gives the file pane's selected item as its bytes, empty
    // when none.
    UtilityLauncher(const RunState& state, UserMessages& messages,
                    std::function<std::string()> selectedPath);

    void SetCommands(std::vector<UtilityCommand> commands) { commands_ = std::move(commands); }
    const std::vector<UtilityCommand>& Commands() const { return commands_; }

    void SetupSheet();
    // The menu entry carrying command number `number` was chosen.
    void Run(int number);

private:
    const RunState& state_;
    UserMessages& messages_;
    std::function<std::string()> selectedPath_;
    TBUExecute execute_;
    std::vector<UtilityCommand> commands_;
};

} // namespace feedrail
