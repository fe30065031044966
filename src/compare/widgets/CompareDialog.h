#pragma once

#include "compare/CompareOptions.h"
#include "compare/widgets/CompareModel.h"

#include <QDialog>
#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;
class QThread;

namespace feedrail {

// A program to compare: a file read when the comparison starts, or text at
// hand (the editor's).
struct ProgramSource {
    QString Title;
    std::string Path;
    std::optional<std::string> Text;
};

// Two programs side by side, scrolled together, their differing rows marked,
// with the next and previous difference a key away. Reading and comparing
// run on a thread of their own, so that programs of millions of lines never
// hold up the window; a change of the options compares again.
class CompareDialog : public QDialog {
    Q_OBJECT
public:
    CompareDialog(ProgramSource left, ProgramSource right, QWidget* parent);
    ~CompareDialog() override;

    // Opens a compare window that closes with `parent`.
    static CompareDialog* Open(ProgramSource left, ProgramSource right, QWidget* parent);

    QString Summary() const;
    // The comparison shown; nothing before the first is done.
    const ComparedPrograms* Shown() const { return shown_.get(); }
    // The row the differences are counted from: the current row of the panes.
    int CurrentRow() const;
    QTableView& LeftPane() const { return *leftPane_; }
    QTableView& RightPane() const { return *rightPane_; }
    QCheckBox& IgnoreWhiteSpace() const { return *ignoreWhiteSpace_; }
    QCheckBox& IgnoreSequenceNumbers() const { return *ignoreSequenceNumbers_; }
    QCheckBox& IgnoreComments() const { return *ignoreComments_; }
    QPushButton& NextDifference() const { return *next_; }
    QPushButton& PreviousDifference() const { return *previous_; }

signals:
    // A comparison is shown, the first or one after a change of options.
    void Compared();

private:
    struct Work;

    QTableView* NewPane(CompareModel* model);
    void LinkPanes();
    void Compare();
    void Finished();
    void ShowResult(std::shared_ptr<const ComparedPrograms> programs);
    void GoTo(int row);
    void GoToNext();
    void GoToPrevious();
    void UpdateButtons();
    CompareOptions Options() const;

    std::shared_ptr<Work> work_;
    std::unique_ptr<QThread> thread_;
    // The options changed while a comparison ran.
    bool again_ = false;
    std::shared_ptr<const ComparedPrograms> shown_;
    CompareModel* leftModel_;
    CompareModel* rightModel_;
    QLabel* leftTitle_;
    QLabel* rightTitle_;
    QTableView* leftPane_;
    QTableView* rightPane_;
    QCheckBox* ignoreWhiteSpace_;
    QCheckBox* ignoreSequenceNumbers_;
    QCheckBox* ignoreComments_;
    QPushButton* previous_;
    QPushButton* next_;
    QLabel* summary_;
};

} // namespace feedrail
