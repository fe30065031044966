#pragma once

#include <QDialog>

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;

namespace feedrail {

class ProgramEditor;

// Find in the editor window: a dialog beside it (Ctrl+F) that stays open
// while the operator moves on with F3, and going to a line (Ctrl+L). Finding
// moves the selection only; the program is never changed.
class EditorFind : public QDialog {
    Q_OBJECT
public:
    EditorFind(ProgramEditor& editor, QWidget* parent);

    // Shows the dialog with the editor's selection (on one line) as the text
    // to find.
    void Open();
    // Finds the next match after the caret, from the start again past the
    // end; without a text yet, opens the dialog. False when nothing matches.
    bool FindNext();
    // Asks for a line number and puts the caret at its start.
    void GoToLine();
    // Puts the caret at the start of line `line` (from 1, kept within the
    // text) and scrolls it into view.
    void ShowLine(int line);

signals:
    // Esc closes the dialog, and stops a send as it does in the window.
    void EscapePressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int Lines() const;

    ProgramEditor& editor_;
    QLineEdit* text_;
    QCheckBox* wholeWord_;
    QCheckBox* matchCase_;
    QLabel* result_;
};

} // namespace feedrail
