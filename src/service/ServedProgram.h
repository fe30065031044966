#pragma once

#include "service/ProgramFileLines.h"
#include "session/EditorLines.h"

#include <string>

namespace feedrail {

// The program a served machine asked for, as the send reads it: lines
// streamed from its file in place of the window's editor, and the line being
// sent for the status. Nothing is ever typed, received or renumbered into it.
class ServedProgram : public EditorLines {
public:
    // Opens the program, which must lie inside the folder whose real path is
    // `realFolder` as opened, whatever links its name goes through; empty, or
    // why it cannot be sent.
    std::string Load(const std::string& path, const std::string& realFolder);
    const std::string& Path() const { return lines_.Path(); }

    std::string GetEditorLine(int line) const override;
    int EditorLineCount() const override { return lines_.Count(); }
    std::uint64_t EditorTextBytes() const override { return lines_.TextBytes(); }
    // The send's progress says where it stands.
    void HighlightEditorLine(int) override {}
    bool EditorModified() const override { return false; }
    void SetEditorLines(int first, const std::vector<std::string>& lines) override;
    void BeginUndoStep() override;
    void EndUndoStep() override;
    void AppendReceivedLine(const std::string& text) override;
    void ClearEditorAndFileName() override;

private:
    // Reading moves the file's place, which the send's const view hides.
    mutable ProgramFileLines lines_;
};

} // namespace feedrail
