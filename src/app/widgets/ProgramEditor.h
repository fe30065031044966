#pragma once

#include <Qsci/qsciscintilla.h>

namespace feedrail {

// The editor window's widget: a text component that holds a part program as
// bytes, one per character, loads millions of lines at once and lays out
// only what is in view. White bold text on blue, a margin of line numbers,
// lines ending in a line feed, no wrapping.
class ProgramEditor : public QsciScintilla {
    Q_OBJECT
public:
    explicit ProgramEditor(QWidget* parent = nullptr);
    ~ProgramEditor() override;

    // Shows a new empty document; the one shown before is released unless
    // its caller holds a reference to it.
    void NewDocument();
    // Widens the line-number margin for `lines` lines.
    void FitLineNumbers(long lines);

protected:
    // Esc goes on to the window, which cancels a send with it: the editor
    // shows no lists or tips for it to close.
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace feedrail
