#include "about/widgets/TAbout.h"

#include "about/VersionOption.h"
#include "about/widgets/TBUAppearingLabel.h"
#include "about/widgets/TBUStarfield.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>

namespace feedrail {
namespace {

void SetLineStyle(TBUAppearingLabel& line, int pixelSize, bool bold, const QColor& color,
                  const QColor& hoverColor) {
    QFont font = line.font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    line.setFont(font);
    line.SetFontColor(color);
    line.SetColorOnEnter(hoverColor);
    line.setAlignment(Qt::AlignCenter);
    line.hide();
}

void PaintBlack(QWidget& widget) {
    QPalette colors = widget.palette();
    colors.setColor(QPalette::Window, Qt::black);
    widget.setPalette(colors);
    widget.setAutoFillBackground(true);
}

} // namespace

TAbout::TAbout(QWidget* parent)
    : QDialog(parent), starfield_(new TBUStarfield(this)), okButton_(new QPushButton(this)),
      panel_(new QFrame(this)), productLine_(new TBUAppearingLabel(panel_)),
      versionLine_(new TBUAppearingLabel(panel_)), licenceLine_(new QLabel(this)) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(270, 235);
    starfield_->setObjectName(QStringLiteral("BUStarfield1"));
    starfield_->setGeometry(rect());
    okButton_->setObjectName(QStringLiteral("BitBtn1"));
    okButton_->setText(QStringLiteral("OK"));
    okButton_->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    okButton_->setGeometry(96, 188, 75, 25);
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    BuildPanel();
    BuildLicenceLine();
    versionInfo_.ExeName = RunningExecutable;
    productLine_->OnAppeared = [this] { BUAppearingLabel1Appeared(); };
}

void TAbout::BuildPanel() {
    panel_->setObjectName(QStringLiteral("Panel1"));
    panel_->setFrameShape(QFrame::NoFrame);
    panel_->setGeometry(56, 24, 165, 85);
    PaintBlack(*panel_);
    productLine_->setObjectName(QStringLiteral("BUAppearingLabel1"));
    productLine_->setGeometry(4, 1, 154, 60);
    productLine_->setText(QStringLiteral("Feedrail\nCNC programs\nover RS-232"));
    SetLineStyle(*productLine_, 16, true, Qt::red, Qt::yellow);
    PaintBlack(*productLine_);
    versionLine_->setObjectName(QStringLiteral("BUAppearingLabel2"));
    versionLine_->setGeometry(44, 64, 44, 16);
    versionLine_->setText(QStringLiteral("Ver. 1.0"));
    SetLineStyle(*versionLine_, 13, false, Qt::cyan, Qt::white);
}

// Light grey on the star field's black, whatever the desktop's palette.
void TAbout::BuildLicenceLine() {
    licenceLine_->setObjectName(QStringLiteral("LicenceLine"));
    licenceLine_->setGeometry(8, 118, 254, 60);
    licenceLine_->setAlignment(Qt::AlignCenter);
    licenceLine_->setWordWrap(true);
    QPalette colors = licenceLine_->palette();
    colors.setColor(QPalette::WindowText, QColor(0xd0, 0xd0, 0xd0));
    licenceLine_->setPalette(colors);
    QFont font = licenceLine_->font();
    font.setPixelSize(11);
    licenceLine_->setFont(font);
    licenceLine_->hide();
}

void TAbout::FormActivate() {
    productLine_->Appear();
}

// The version line takes the width of its text from its left edge on, as a
// label sized to its caption does, so a longer version is not cut off.
void TAbout::BUAppearingLabel1Appeared() {
    versionInfo_.Read();
    versionLine_->setText(QStringLiteral("Ver ") +
                          QString::fromStdString(versionInfo_.FileVersion));
    versionLine_->resize(versionLine_->sizeHint().width(), versionLine_->height());
    versionLine_->Appear();
    licenceLine_->setText(
        QString::fromStdString(versionInfo_.LegalCopyright) + QStringLiteral("\nLicense: ") +
        QString::fromStdString(versionInfo_.License) + QStringLiteral("\nThere is NO WARRANTY."));
    licenceLine_->show();
}

// Both lines go, not only the version line: the product line would otherwise
// stand in its place at the next opening until its slide starts.
void TAbout::FormHide() {
    productLine_->hide();
    versionLine_->hide();
    licenceLine_->hide();
    productLine_->StopSliding();
    versionLine_->StopSliding();
    starfield_->SetActive(false);
}

// Each opening replays the lines; the window system's own showing and hiding,
// as when the box is minimised and restored, leaves them as they are.
void TAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return;
    }
    move(screen()->availableGeometry().center() - rect().center());
    starfield_->SetActive(true);
    FormActivate();
}

void TAbout::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) {
        FormHide();
    }
}

} // namespace feedrail
