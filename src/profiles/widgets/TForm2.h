#pragma once

#include <QDialog>
#include <QStringList>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace feedrail {

struct ActiveSettings;
class IniFile;
class MachineListHost;
class PortField;
class TForm3;
class UserMessages;

// "DNC Settings": shows and stores the profile of the machine selected in the
// main window. Its LoadSettings and StoreSettings also run at every machine
// selection, and its Leader box is the leader switch a send reads. A value
// in the file that no button stands for leaves its group without a checked
// button (the Leader box half checked) and stays in the file as it is; the
// settings take it where it means something, else the dialog's default.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(MachineListHost& machines, ActiveSettings& settings, std::string profilePath,
           UserMessages& messages, QWidget* parent);

    // Profile file to controls.
    void LoadSettings();
    // Controls to ActiveSettings and the profile file, key by key; with no
    // machine in the list nothing is written, and a value the controls could
    // not show is not written over. Raises ConversionError, before writing
    // anything, for a char delay that is not a whole number, and
    // IniWriteError when a key cannot be written.
    void StoreSettings();
    bool Leader() const;
    // The values the last LoadSettings could make no sense of, each with the
    // value used instead, for the status line; empty when there were none.
    QString NotUnderstood() const;

    // What happens whenever the dialog becomes active.
    void Activate();
    void SaveClick();
    void NewClick();

    TForm3& Form3() const { return *form3_; }

    // Cancel, Esc and the title bar's close take the machines New... added
    // out of the list again: they have no section until Save.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowPauseOfCharDelay(const QString& text);
    void LoadGroup(const IniFile& ini, const std::string& section, QButtonGroup& group,
                   const char* key, std::int32_t fallback);
    void LoadLeader(const IniFile& ini, const std::string& section);
    // The value a group with no checked button stands for, if it was loaded
    // so; StoreSettings leaves such a key in the file alone.
    std::optional<std::int32_t> Kept(const char* key) const;
    void NoteNotUnderstood(const std::string& key, const std::string& text, const QString& used);
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
    std::map<std::string, std::int32_t> kept_;
    // The machines New... added while the dialog is open, and the machine
    // shown before the first of them.
    QStringList added_;
    QString shownBeforeAdding_;
    QStringList notUnderstood_;
};

} // namespace feedrail
