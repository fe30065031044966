#include "app/widgets/SendFromDialog.h"

#include "common/widgets/TextBridge.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <utility>

namespace feedrail {
namespace {

// The skipped lines shown at each end of the gap.
constexpr int ShownAtEachEnd = 3;

} // namespace

SendFromDialog::SendFromDialog(std::vector<std::string> lines, QWidget* parent)
    : QDialog(parent), lines_(std::move(lines)), way_(new QComboBox(this)),
      value_(new QSpinBox(this)), skipped_(new QLabel(this)), head_(new QPlainTextEdit(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(QStringLiteral("Send from"));
    way_->setObjectName(QStringLiteral("StartWay"));
    way_->addItems(
        {QStringLiteral("Line number"), QStringLiteral("N number"), QStringLiteral("Tool change")});
    // After a broken tool, the usual start.
    way_->setCurrentIndex(static_cast<int>(StartWay::ToolChange));
    value_->setObjectName(QStringLiteral("StartValue"));
    value_->setRange(0, 99999999);
    value_->setValue(1);
    skipped_->setObjectName(QStringLiteral("Skipped"));
    skipped_->setTextFormat(Qt::PlainText);
    head_->setObjectName(QStringLiteral("Head"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Start at:"), way_);
    form->addRow(QStringLiteral("Number:"), value_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(skipped_);
    layout->addWidget(new QLabel(QStringLiteral("Sent first (may be edited):"), this));
    layout->addWidget(head_, 1);
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(way_, &QComboBox::currentIndexChanged, this, &SendFromDialog::Replan);
    connect(value_, &QSpinBox::valueChanged, this, &SendFromDialog::Replan);
    Replan();
}

void SendFromDialog::Replan() {
    plan_ = PlanSendFrom(lines_, static_cast<StartWay>(way_->currentIndex()), value_->value());
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(plan_.Error.empty());
    if (!plan_.Error.empty()) {
        skipped_->setText(BytesText(plan_.Error));
        return;
    }
    QString text = QStringLiteral("Starts at line %1; %2 lines left out")
                       .arg(plan_.StartLine)
                       .arg(plan_.SkippedCount);
    const int first = plan_.FirstSkipped;
    const int last = first + plan_.SkippedCount - 1;
    for (int line = first; line <= last; ++line) {
        if (line == first + ShownAtEachEnd && last - line >= ShownAtEachEnd) {
            text += QStringLiteral("\n...");
            line = last - ShownAtEachEnd;
            continue;
        }
        text += QStringLiteral("\n%1: ").arg(line) +
                BytesText(lines_[static_cast<std::size_t>(line - 1)]);
    }
    skipped_->setText(text);
    // The head is the same for every start: the operator's edits stay.
    if (std::exchange(headShown_, true)) {
        return;
    }
    std::string head;
    for (const std::string& line : plan_.Head) {
        head += line + '\n';
    }
    head_->setPlainText(BytesText(head));
}

SendFromPlan SendFromDialog::Plan() const {
    SendFromPlan plan = plan_;
    plan.Head.clear();
    for (const QString& line : head_->toPlainText().split('\n')) {
        plan.Head.push_back(TextBytes(line));
    }
    while (!plan.Head.empty() && plan.Head.back().empty()) {
        plan.Head.pop_back();
    }
    return plan;
}

} // namespace feedrail
