#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace feedrail {

// What sending and receiving need of the main window.
class TransferHost {
public:
    virtual ~TransferHost() = default;

    virtual void ShowStatus(const std::string& text) = 0;
    // Transfer progress, shown beside the status; the caller limits how often.
    virtual void ShowProgress(const std::string& text) = 0;
    virtual void EnableButtons() = 0;
    virtual void DisableButtons() = 0;
    // ClearButton turns into "Stop"; DisableClearButton greys it.
    virtual void ShowStopButton() = 0;
    virtual bool ClearButtonReadsClear() const = 0;
    virtual void DisableClearButton() = 0;
    // Empties the file-name box and the editor for a receive.
    virtual void ClearEditorAndFileName() = 0;
    virtual void ArmCommOpenTimer() = 0;

    // Runs pending serial hand-overs and repaints, swallows every key and
    // click but Esc, and reports whether Esc was pressed.
    virtual bool EscapePressed() = 0;
    // Lets the window breathe for a while: hand-overs run, it repaints, Esc
    // is remembered for the next EscapePressed.
    virtual void Idle(std::chrono::milliseconds time) = 0;
    // Runs `work` after the current handler has returned.
    virtual void Defer(std::function<void()> work) = 0;
    // The leader switch in effect.
    virtual bool Leader() const = 0;

    virtual std::string GetEditorLine(int line) const = 0;
    virtual int EditorLineCount() const = 0;
    virtual void HighlightEditorLine(int line) = 0;
    virtual void AppendReceivedLine(const std::string& text) = 0;
};

} // namespace feedrail
