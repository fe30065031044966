#pragma once

#include "app/widgets/MainWindowControls.h"
#include "app/widgets/MemoEditor.h"
#include "profiles/ActiveSettings.h"
#include "session/RunState.h"
#include "transfer/EarlierVersions.h"

#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace feedrail {

class UserMessages;

// Get and Save: a part program from the file pane into the editor, and the
// editor's text into a file, replaced in one step.
class FileCommands {
public:
    // `keepVersions`: the machine keeps earlier versions of its programs, so
    // that a file Save replaces (a program just received under that name,
    // perhaps) moves to versions/ first. `showStatus` is the window's status
    // label: what Save did is the window's own, not the line's.
    FileCommands(RunState& state, const ActiveSettings& settings, UserMessages& messages,
                 const MainWindowControls& controls, MemoEditor& editor,
                 std::function<void(const QString&)> showStatus,
                 std::function<bool()> keepVersions);

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
    // The file that Save replaces goes to versions/ when the machine keeps
    // them, unless it is what this window itself last wrote or read there.
    EarlierVersion KeepReplacedVersion(const std::string& target) const;

    RunState& state_;
    const ActiveSettings& settings_;
    UserMessages& messages_;
    const MainWindowControls& controls_;
    MemoEditor& editor_;
    std::function<void(const QString&)> showStatus_;
    std::function<bool()> keepVersions_;
    std::string saveTarget_;
    // The file as this window last loaded or saved it (device, inode,
    // modification time): one that is still so is no earlier version of
    // anyone's.
    std::string ownStamp_;
};

} // namespace feedrail
