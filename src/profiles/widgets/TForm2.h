#pragma once

#include <QDialog>
#include <string>
#include <utility>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace feedrail {

struct ActiveSettings;
class MachineListHost;
class PortField;
class TForm3;
class UserMessages;

// "DNC Settings": shows and stores the profile of the machine selected in the
// main window. Its LoadSettings and StoreSettings also run at every machine
// selection, and its Leader box is the leader switch a send reads. It keeps
// its controls between uses: a value in the file that no button stands for
// leaves its group as it was.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(MachineListHost& machines, ActiveSettings& settings, std::string profilePath,
           UserMessages& messages, QWidget* parent);

    // Profile file to controls.
    void LoadSettings();
    // Controls to ActiveSettings and the profile file, key by key; with no
    // machine in the list nothing is written. Raises ConversionError, before
    // writing anything, for a char delay that is not a whole number, and
    // IniWriteError when a key cannot be written.
    void StoreSettings();
    bool Leader() const;

    // What happens whenever the dialog becomes active.
    void Activate();
    void SaveClick();
    void NewClick();

    TForm3& Form3() const { return *form3_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowPauseOfCharDelay(const QString& text);
    // Picks the machine's folder in the folder dialog.
    void BrowseClick();
    static void TabToChecked(QButtonGroup& group);
    QButtonGroup* AddGroup(const QString& title, const QRect& area,
                           const std::vector<std::pair<QString, int>>& buttons);

    MachineListHost& machines_;
    ActiveSettings& settings_;
    std::string profilePath_;
    UserMessages& messages_;
    TForm3* form3_;

    QLineEdit* machineName_;
    QLineEdit* directory_;
    QLineEdit* charDelay_;
    PortField* commDevice_;
    QCheckBox* leader_;
    QButtonGroup* baudRate_;
    QButtonGroup* format_;
    QButtonGroup* endOfLine_;
    QButtonGroup* stopBits_;
    QButtonGroup* dataBits_;
    QButtonGroup* handshake_;
    QButtonGroup* parity_;
    QButtonGroup* commPort_;
};

} // namespace feedrail
