#include "utilities/widgets/TPrint_Columns.h"

#include "common/widgets/DesignFont.h"

#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace feedrail {
namespace {

constexpr int ButtonX[] = {12, 52, 92, 128};

QPushButton* Button(const QString& caption, const char* name, int x, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(x, 100, 65, 25);
    return button;
}

} // namespace

TPrint_Columns::TPrint_Columns(PrintInColumns print, QWidget* parent)
    : QDialog(parent), print_(std::move(print)), buttons_(new QButtonGroup(this)) {
    setObjectName(QStringLiteral("Print_Columns"));
    setWindowTitle(QStringLiteral("Print Columns"));
    UseDesignFont(*this);
    setFixedSize(199, 137);
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(16, 16, 169, 69);
    auto* label = new QLabel(QStringLiteral("Number of Columns:"), panel);
    label->setObjectName(QStringLiteral("Label1"));
    label->move(12, 12);
    for (int columns = 1; columns <= 4; ++columns) {
        auto* button = new QRadioButton(QString::number(columns), panel);
        button->setObjectName(QStringLiteral("RadioButton%1").arg(columns));
        button->setGeometry(ButtonX[columns - 1], 40, 33, 17);
        button->setChecked(columns == 2);
        buttons_->addButton(button, columns);
    }
    QPushButton* ok = Button(QStringLiteral("OK"), "OkButton", 20, this);
    ok->setDefault(true);
    QPushButton* cancel = Button(QStringLiteral("Cancel"), "CancelButton", 116, this);
    connect(ok, &QPushButton::clicked, this, &TPrint_Columns::OkClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TPrint_Columns::OkClick() {
    accept();
    print_(Columns());
}

int TPrint_Columns::Columns() const {
    return buttons_->checkedId();
}

void TPrint_Columns::showEvent(QShowEvent* event) {
    move(screen()->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

} // namespace feedrail
