#include "app/widgets/ProgramEditor.h"

#include <QColor>
#include <QFontDatabase>
#include <QKeyEvent>
#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <algorithm>
#include <string>

namespace feedrail {
namespace {

// Not `Background`: inside the component's members that name is one of its
// marker symbols.
const QColor Paper(0x00, 0x00, 0xa0);
const QColor Ink(Qt::white);
const QColor MarginPaper(0xc0, 0xc0, 0xc0);

} // namespace

ProgramEditor::ProgramEditor(QWidget* parent) : QsciScintilla(parent) {
    NewDocument();
    // No change notices: the component's accessibility bridge counts the
    // characters from the start of the text at each one, so every received
    // line appended to a long program would take longer than the one before.
    // Nothing of ours listens to them.
    SendScintilla(SCI_SETMODEVENTMASK, 0UL);
    setUtf8(false);
    setWrapMode(WrapNone);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The width scrolled over follows the longest line shown so far.
    SendScintilla(SCI_SETSCROLLWIDTH, 1UL);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1UL);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    setMarginsFont(font);
    font.setBold(true);
    setFont(font);
    setPaper(Paper);
    setColor(Ink);
    setMarginsBackgroundColor(MarginPaper);
    setMarginsForegroundColor(Qt::black);
    setCaretForegroundColor(Ink);
    setSelectionBackgroundColor(Ink);
    setSelectionForegroundColor(Paper);
    setMarginType(0, NumberMargin);
    setMarginWidth(1, 0);
    FitLineNumbers(1);
    // Ctrl+L goes to a line, as in the window's Edit menu, rather than
    // cutting one.
    if (QsciCommand* lineCut = standardCommands()->boundTo((Qt::CTRL | Qt::Key_L).toCombined())) {
        lineCut->setKey(0);
    }
}

ProgramEditor::~ProgramEditor() = default;

void ProgramEditor::NewDocument() {
    // Without a style per character: nothing is coloured by content, and a
    // big program takes half the memory.
    const long document =
        SendScintilla(SCI_CREATEDOCUMENT, 0UL, static_cast<long>(SC_DOCUMENTOPTION_STYLES_NONE));
    SendScintilla(SCI_SETDOCPOINTER, 0UL, document);
    SendScintilla(SCI_RELEASEDOCUMENT, 0UL, document);
    setEolMode(EolUnix);
}

void ProgramEditor::FitLineNumbers(long lines) {
    setMarginWidth(
        0, QString(QStringLiteral("0"))
               .repeated(static_cast<int>(std::to_string(std::max(lines, 999L)).size()) + 1));
}

void ProgramEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QsciScintilla::keyPressEvent(event);
}

} // namespace feedrail
