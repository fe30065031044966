#include "compare/widgets/CompareDialog.h"

#include "common/widgets/TextBridge.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <new>

namespace feedrail {
namespace {

QString SummaryText(const Comparison& result) {
    if (result.Differing == 0) {
        return QStringLiteral("The programs are the same");
    }
    return result.Differing == 1 ? QStringLiteral("1 line differs")
                                 : QStringLiteral("%1 lines differ").arg(result.Differing);
}

} // namespace

// What the comparison's thread reads and makes; the window touches it only
// while no thread runs.
struct CompareDialog::Work {
    ProgramSource LeftSource;
    ProgramSource RightSource;
    std::shared_ptr<const ProgramText> Left;
    std::shared_ptr<const ProgramText> Right;
    CompareOptions Options;
    std::shared_ptr<const ComparedPrograms> Result;
    QString Error;

    void Run() {
        Result.reset();
        try {
            Compare();
        } catch (const std::bad_alloc&) {
            Error = QStringLiteral("The programs are too large to compare in this computer's "
                                   "memory");
        }
    }

    void Compare() {
        if (Left == nullptr && !(Left = Read(LeftSource))) {
            return;
        }
        if (Right == nullptr && !(Right = Read(RightSource))) {
            return;
        }
        Result = std::make_shared<const ComparedPrograms>(
            ComparedPrograms{Left, Right, ComparePrograms(*Left, *Right, Options)});
    }

    std::shared_ptr<const ProgramText> Read(const ProgramSource& source) {
        if (source.Text) {
            return std::make_shared<const ProgramText>(*source.Text);
        }
        ProgramTextRead read = ReadProgramText(source.Path);
        if (read.Error != 0) {
            Error =
                QStringLiteral("Cannot read %1: %2").arg(source.Title, SystemReason(read.Error));
            return nullptr;
        }
        return std::make_shared<const ProgramText>(std::move(read.Text));
    }
};

CompareDialog::CompareDialog(ProgramSource left, ProgramSource right, QWidget* parent)
    : QDialog(parent), work_(std::make_shared<Work>()),
      leftModel_(new CompareModel(CompareModel::Side::Left, this)),
      rightModel_(new CompareModel(CompareModel::Side::Right, this)),
      leftTitle_(new QLabel(left.Title, this)), rightTitle_(new QLabel(right.Title, this)),
      leftPane_(NewPane(leftModel_)), rightPane_(NewPane(rightModel_)),
      ignoreWhiteSpace_(new QCheckBox(QStringLiteral("Ignore &white space"), this)),
      ignoreSequenceNumbers_(new QCheckBox(QStringLiteral("Ignore &sequence numbers"), this)),
      ignoreComments_(new QCheckBox(QStringLiteral("Ignore c&omments"), this)),
      previous_(new QPushButton(QStringLiteral("&Previous difference"), this)),
      next_(new QPushButton(QStringLiteral("&Next difference"), this)), summary_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Compare %1 with %2").arg(left.Title, right.Title));
    work_->LeftSource = std::move(left);
    work_->RightSource = std::move(right);
    auto* panes = new QHBoxLayout;
    for (const auto& [title, pane] :
         {std::pair{leftTitle_, leftPane_}, {rightTitle_, rightPane_}}) {
        auto* side = new QVBoxLayout;
        side->addWidget(title);
        side->addWidget(pane, 1);
        panes->addLayout(side, 1);
    }
    auto* options = new QHBoxLayout;
    for (QCheckBox* option : {ignoreWhiteSpace_, ignoreSequenceNumbers_, ignoreComments_}) {
        options->addWidget(option);
        connect(option, &QCheckBox::toggled, this, &CompareDialog::Compare);
    }
    options->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summary_, 1);
    buttons->addWidget(previous_);
    buttons->addWidget(next_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(panes, 1);
    layout->addLayout(options);
    layout->addLayout(buttons);
    connect(previous_, &QPushButton::clicked, this, &CompareDialog::GoToPrevious);
    connect(next_, &QPushButton::clicked, this, &CompareDialog::GoToNext);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    LinkPanes();
    resize(900, 600);
    Compare();
}

// A comparison still under way holds only its own share of the work: the
// window closes at once, and the thread goes when it has done.
CompareDialog::~CompareDialog() {
    if (thread_ == nullptr) {
        return;
    }
    thread_->disconnect(this);
    QThread* thread = thread_.release();
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    if (thread->isFinished()) {
        delete thread;
    }
}

CompareDialog* CompareDialog::Open(ProgramSource left, ProgramSource right, QWidget* parent) {
    auto* dialog = new CompareDialog(std::move(left), std::move(right), parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

QString CompareDialog::Summary() const {
    return summary_->text();
}

int CompareDialog::CurrentRow() const {
    return leftPane_->currentIndex().row();
}

QTableView* CompareDialog::NewPane(CompareModel* model) {
    auto* pane = new QTableView(this);
    pane->setModel(model);
    pane->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    pane->setShowGrid(false);
    pane->setWordWrap(false);
    pane->setTextElideMode(Qt::ElideNone);
    pane->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pane->setSelectionBehavior(QAbstractItemView::SelectRows);
    pane->setSelectionMode(QAbstractItemView::SingleSelection);
    pane->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    pane->horizontalHeader()->hide();
    // A marked row's ground spans the pane, however short its line.
    pane->horizontalHeader()->setStretchLastSection(true);
    // Rows of one height let the view place millions of rows without
    // measuring any.
    pane->verticalHeader()->hide();
    pane->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    pane->verticalHeader()->setDefaultSectionSize(pane->fontMetrics().height() + 2);
    return pane;
}

void CompareDialog::LinkPanes() {
    const auto link = [](QScrollBar* a, QScrollBar* b) {
        connect(a, &QScrollBar::valueChanged, b, &QScrollBar::setValue);
        connect(b, &QScrollBar::valueChanged, a, &QScrollBar::setValue);
    };
    link(leftPane_->verticalScrollBar(), rightPane_->verticalScrollBar());
    link(leftPane_->horizontalScrollBar(), rightPane_->horizontalScrollBar());
    for (auto [from, to] : {std::pair{leftPane_, rightPane_}, {rightPane_, leftPane_}}) {
        connect(from->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this, to = to](const QModelIndex& current) {
                    if (to->currentIndex().row() != current.row()) {
                        to->setCurrentIndex(to->model()->index(current.row(), 1));
                    }
                    UpdateButtons();
                });
    }
}

CompareOptions CompareDialog::Options() const {
    return {ignoreWhiteSpace_->isChecked(), ignoreSequenceNumbers_->isChecked(),
            ignoreComments_->isChecked()};
}

void CompareDialog::Compare() {
    if (thread_ != nullptr && thread_->isRunning()) {
        again_ = true;
        return;
    }
    summary_->setText(QStringLiteral("Comparing ..."));
    previous_->setEnabled(false);
    next_->setEnabled(false);
    work_->Options = Options();
    thread_.reset(QThread::create([work = work_] { work->Run(); }));
    connect(thread_.get(), &QThread::finished, this, &CompareDialog::Finished);
    thread_->start();
}

void CompareDialog::Finished() {
    // finished comes just before the thread's end.
    thread_->wait();
    if (again_) {
        again_ = false;
        Compare();
        return;
    }
    if (work_->Result == nullptr) {
        summary_->setText(work_->Error);
        emit Compared();
        return;
    }
    ShowResult(work_->Result);
}

void CompareDialog::ShowResult(std::shared_ptr<const ComparedPrograms> programs) {
    shown_ = std::move(programs);
    const CompareColours colours = CompareColours::For(palette());
    leftModel_->Show(shown_, colours);
    rightModel_->Show(shown_, colours);
    for (QTableView* pane : {leftPane_, rightPane_}) {
        const ProgramText& text = pane == leftPane_ ? *shown_->Left : *shown_->Right;
        const QFontMetrics metrics = pane->fontMetrics();
        const int digits = static_cast<int>(QString::number(text.LineCount()).size());
        pane->setColumnWidth(CompareModel::NumberColumn,
                             metrics.horizontalAdvance(QString(digits, QLatin1Char('9'))) + 12);
        pane->setColumnWidth(
            CompareModel::TextColumn,
            metrics.horizontalAdvance(QLatin1Char('M')) *
                    static_cast<int>(std::min<std::size_t>(text.LongestLine(), 4096)) +
                16);
    }
    summary_->setText(SummaryText(shown_->Result));
    UpdateButtons();
    emit Compared();
}

void CompareDialog::GoTo(int row) {
    for (QTableView* pane : {leftPane_, rightPane_}) {
        const QModelIndex index = pane->model()->index(row, CompareModel::TextColumn);
        pane->setCurrentIndex(index);
        pane->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    UpdateButtons();
}

void CompareDialog::GoToNext() {
    if (shown_ == nullptr) {
        return;
    }
    const auto& starts = shown_->Result.Differences;
    const auto next = std::upper_bound(
        starts.begin(), starts.end(), CurrentRow(),
        [](int row, std::size_t start) { return static_cast<std::size_t>(row + 1) <= start; });
    if (next != starts.end()) {
        GoTo(static_cast<int>(*next));
    }
}

void CompareDialog::GoToPrevious() {
    if (shown_ == nullptr || CurrentRow() < 0) {
        return;
    }
    const auto& starts = shown_->Result.Differences;
    const auto after =
        std::lower_bound(starts.begin(), starts.end(), static_cast<std::size_t>(CurrentRow()));
    if (after != starts.begin()) {
        GoTo(static_cast<int>(*std::prev(after)));
    }
}

void CompareDialog::UpdateButtons() {
    if (shown_ == nullptr) {
        return;
    }
    const auto& starts = shown_->Result.Differences;
    const int row = CurrentRow();
    previous_->setEnabled(row > 0 && !starts.empty() &&
                          starts.front() < static_cast<std::size_t>(row));
    next_->setEnabled(!starts.empty() &&
                      (row < 0 || starts.back() > static_cast<std::size_t>(row)));
}

} // namespace feedrail
