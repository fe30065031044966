#pragma once

#include <QIcon>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QMainWindow;
class QProgressBar;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace feedrail {

class ProgramEditor;
class TLsFileListView26;

// The controls of the main window, named after their design names and laid
// out so that the window looks as designed at its design size and the file
// pane and the editor grow with it. The window's widget tree owns them.
struct MainWindowControls {
    explicit MainWindowControls(QMainWindow& window);

    // File pane.
    QComboBox* ComboBox2;
    TLsFileListView26* LsFileListView261;
    QPushButton* BitBtn1;
    QPushButton* GetButton;
    QPushButton* BitBtn3;
    QPushButton* SetupSheetButton;
    // Right half.
    QLabel* StaticText1;
    // How far a transfer has come; shown while one runs.
    QProgressBar* ProgressBar1;
    QLabel* Label3;
    QComboBox* ComboBox1;
    QLineEdit* Edit7;
    ProgramEditor* Memo1;
    QPushButton* ReceiveButton;
    QPushButton* SaveButton;
    QPushButton* SendButton;
    QPushButton* ClearButton;
    QPushButton* PrintWindowButton;
    QPushButton* CloseButton;
    // Menu.
    QMenu* Edit1;
    QAction* Find1;
    QAction* FindNext1;
    QAction* GoToLine1;
    QAction* SendFrom1;
    QMenu* Utilities1;
    QAction* Renumber1;
    QAction* PrintColumns1;
    QAction* CompareWithStored1;
    QAction* Settings1;
    QAction* Automation1;
    QMenu* View1;
    QAction* Index1;
    QAction* About1;
    // Keys without a menu entry: Ctrl+S saves, Ctrl+Q closes.
    QAction* SaveShortcut;
    QAction* CloseShortcut;
    // Glyphs of ClearButton: "Stop" and "Clear".
    QIcon Image1;
    QIcon Image2;

private:
    QVBoxLayout* BuildFilePane(QWidget* client);
    QVBoxLayout* BuildRightHalf(QWidget* client);
    void BuildMenu(QMainWindow& window);
    void BuildEditMenu(QMenuBar& menu);
    void BuildShortcuts(QMainWindow& window);
};

} // namespace feedrail
