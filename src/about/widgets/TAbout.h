#pragma once

#include "about/TEPInfoExe.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace feedrail {

class TBUAppearingLabel;
class TBUStarfield;

// "About": the product line slides in over a star field, then the version,
// copyright and licence read from the program's own file. Made once and shown again and again:
// each showing replays both lines, and a hidden box animates nothing.
class TAbout : public QDialog {
    Q_OBJECT
public:
    explicit TAbout(QWidget* parent = nullptr);

    void FormActivate();
    void FormHide();
    void BUAppearingLabel1Appeared();

    TBUStarfield& BUStarfield1() const { return *starfield_; }
    TBUAppearingLabel& BUAppearingLabel1() const { return *productLine_; }
    TBUAppearingLabel& BUAppearingLabel2() const { return *versionLine_; }
    QLabel& LicenceLine() const { return *licenceLine_; }
    TEPInfoExe& EPInfoExe1() { return versionInfo_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildPanel();
    void BuildLicenceLine();

    TBUStarfield* starfield_;
    QPushButton* okButton_;
    QFrame* panel_;
    TBUAppearingLabel* productLine_;
    TBUAppearingLabel* versionLine_;
    QLabel* licenceLine_;
    TEPInfoExe versionInfo_;
};

} // namespace feedrail
