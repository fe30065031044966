#pragma once

#include <QDialog>
#include <functional>

class QButtonGroup;

namespace feedrail {

// "Print Columns": prints the window's last listing in one to four columns.
// Hidden between uses, it keeps the count last chosen.
class TPrint_Columns : public QDialog {
    Q_OBJECT
public:
    using PrintInColumns = std::function<void(int columns)>;

    TPrint_Columns(PrintInColumns print, QWidget* parent);

    void OkClick();
    // The count of the checked button.
    int Columns() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    PrintInColumns print_;
    QButtonGroup* buttons_;
};

} // namespace feedrail
