#pragma once

#include "app/widgets/MainWindowControls.h"
#include "app/widgets/MemoEditor.h"
#include "profiles/ActiveSettings.h"
#include "session/RunState.h"
#include "session/StatusLine.h"

#include <QString>
#include <string>
#include <vector>

namespace feedrail {

class UserMessages;

// Get and Save: a part program from the file pane into the editor, and the
// editor's text into a file, replaced in one step.
class FileCommands {
public:
    FileCommands(RunState& state, const ActiveSettings& settings, UserMessages& messages,
                 const MainWindowControls& controls, MemoEditor& editor, StatusLine& status);

    void Get();
    // Get of `path`: asks before unsaved work is replaced, then loads it.
    void Get(const std::string& path);
    // Asks before a received program or edits that were never saved are
    // thrown away; whether they may be.
    bool MayDiscard();
    // Whether the file pane's double-click or Enter loads `path` as Get
    // does: it has the machine's file filter, the extension of its
    // profile, or ".nc".
    bool IsPartProgram(const std::string& path) const;
    // Loads the file into the editor, as Get does once it may; whether it could.
    bool Load(const std::string& path);
    // Asks for the file to save to; whether a name was chosen.
    bool AskSaveName();
    // Writes the editor to the chosen file.
    void Save();

private:
    std::vector<std::string> EditorProgramLines() const;
    std::string ChosenFile(const QString& chosen) const;

    RunState& state_;
    const ActiveSettings& settings_;
    UserMessages& messages_;
    const MainWindowControls& controls_;
    MemoEditor& editor_;
    StatusLine& status_;
    std::string saveTarget_;
};

} // namespace feedrail
