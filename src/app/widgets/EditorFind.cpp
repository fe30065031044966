#include "app/widgets/EditorFind.h"

#include "app/widgets/ProgramEditor.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace feedrail {

EditorFind::EditorFind(ProgramEditor& editor, QWidget* parent)
    : QDialog(parent), editor_(editor), text_(new QLineEdit(this)),
      wholeWord_(new QCheckBox(QStringLiteral("&Whole word"), this)),
      matchCase_(new QCheckBox(QStringLiteral("Match &case"), this)), result_(new QLabel(this)) {
    setObjectName(QStringLiteral("EditorFind"));
    setWindowTitle(QStringLiteral("Find"));
    text_->setObjectName(QStringLiteral("FindText"));
    wholeWord_->setObjectName(QStringLiteral("WholeWord"));
    matchCase_->setObjectName(QStringLiteral("MatchCase"));
    result_->setObjectName(QStringLiteral("FindResult"));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* next =
        buttons->addButton(QStringLiteral("&Find Next"), QDialogButtonBox::ActionRole);
    next->setObjectName(QStringLiteral("FindNextButton"));
    next->setDefault(true);
    buttons->addButton(QDialogButtonBox::Close)->setObjectName(QStringLiteral("FindClose"));
    auto* form = new QFormLayout;
    auto* label = new QLabel(QStringLiteral("Fi&nd what:"), this);
    label->setBuddy(text_);
    form->addRow(label, text_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(wholeWord_);
    layout->addWidget(matchCase_);
    layout->addWidget(result_);
    layout->addWidget(buttons);
    connect(next, &QPushButton::clicked, this, &EditorFind::FindNext);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
}

void EditorFind::Open() {
    const QString selected = editor_.selectedText();
    if (!selected.isEmpty() && !selected.contains(QLatin1Char('\n'))) {
        text_->setText(selected);
    }
    result_->clear();
    show();
    raise();
    activateWindow();
    text_->setFocus();
    text_->selectAll();
}

bool EditorFind::FindNext() {
    if (text_->text().isEmpty()) {
        Open();
        return false;
    }
    const bool found = editor_.findFirst(text_->text(), false, matchCase_->isChecked(),
                                         wholeWord_->isChecked(), true);
    result_->setText(found ? QString()
                           : QStringLiteral("\"%1\" is not in the program.").arg(text_->text()));
    // F3 with the dialog closed: what was not found is said all the same.
    if (!found && !isVisible()) {
        show();
    }
    return found;
}

void EditorFind::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit EscapePressed();
    }
    QDialog::keyPressEvent(event);
}

// The empty line after the last line end is not one of the program's.
int EditorFind::Lines() const {
    const int lines = editor_.lines();
    return lines > 1 && editor_.lineLength(lines - 1) == 0 ? lines - 1 : lines;
}

void EditorFind::GoToLine() {
    const int lines = Lines();
    int line = 0;
    int index = 0;
    editor_.getCursorPosition(&line, &index);
    bool ok = false;
    const int chosen = QInputDialog::getInt(parentWidget(), QStringLiteral("Go to Line"),
                                            QStringLiteral("Line (1 to %1):").arg(lines),
                                            std::min(line + 1, lines), 1, lines, 1, &ok);
    if (ok) {
        ShowLine(chosen);
    }
}

void EditorFind::ShowLine(int line) {
    const int shown = std::clamp(line, 1, Lines()) - 1;
    editor_.setCursorPosition(shown, 0);
    editor_.ensureLineVisible(shown);
    editor_.setFocus();
}

} // namespace feedrail
