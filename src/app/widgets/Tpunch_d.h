#pragma once

#include "app/widgets/FileCommands.h"
#include "app/widgets/MainWindowControls.h"
#include "app/widgets/MemoEditor.h"
#include "app/widgets/ProgressView.h"
#include "app/widgets/QtHandOver.h"
#include "common/widgets/InputBlocker.h"
#include "line/MachineLine.h"
#include "profiles/ActiveSettings.h"
#include "profiles/UtilityCommand.h"
#include "profiles/widgets/MachineListHost.h"
#include "session/KeyPoll.h"
#include "session/RunState.h"
#include "session/StatusLine.h"
#include "session/TransferSession.h"
#include "session/UiHandOver.h"
#include "transfer/ComposedProgram.h"
#include "utilities/Renumbering.h"
#include "utilities/widgets/PrintCommands.h"
#include "utilities/widgets/UtilityLauncher.h"

#include <QMainWindow>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QDockWidget;

namespace feedrail {

class EditorFind;
class HelpWindow;
class LineMonitor;
class TAbout;
class TAutomation;
class TForm2;
class UserMessages;

// The main window: machine selection, the port and its timed reopening, the
// status line, the file pane and the editor window. Its handlers carry the
// design names; each runs through one guard that shows errors escaping it.
// What it is doing is its TransferSession's phase: the controls are drawn
// from it, and every command asks it first.
class Tpunch_d : public QMainWindow,
                 public MachineListHost,
                 public StatusLine,
                 public KeyPoll,
                 public UiHandOver {
    Q_OBJECT
public:
    // `programDir` (with its trailing "/") holds DNC.ini, DNCUtilities.ini,
    // the com<N> links and temp.nc: the folder ChooseProfileFolder picks.
    Tpunch_d(std::string programDir, UserMessages& messages, QWidget* parent = nullptr);
    ~Tpunch_d() override;

    void FormCreate();
    void CommOpenTimer1Timer();
    void DefaultDirectoryTimer1Timer();
    void ComboBox1Change();
    void ComboBox2Change();
    void BitBtn1Click();
    void LsFileListView261Change();
    void GetButtonClick();
    void SaveButtonClick();
    void SaveTimerTimer();
    void ClearButtonClick();
    void CloseButtonClick();
    void CloseTimer1Timer();
    void Settings1Click();
    void Automation1Click();
    void About1Click();
    void Renumber1Click();
    void UtilityClick(int number);
    void SetupSheetButtonClick();
    void Index1Click();
    void PrintWindowButtonClick();
    void BitBtn3Click();
    void PrintColumns1Click();
    // The editor's program against the stored program of its number in the
    // machine's folder.
    void CompareWithStored1Click();
    void SendButtonClick();
    void SendFrom1Click();
    void ReceiveButtonClick();

    // Loads the part program at `path` as Get does: the file that "Open With
    // Feedrail" or the command line names.
    void OpenProgram(const std::string& path);
    // Puts the window where it was when it last closed; false on a first
    // start.
    bool RestorePlace();

    void ShowStatus(const QString& text);
    // Opens the port with the machine's settings; what the status line says
    // of a failure, empty when it opened.
    QString ApplyPortSettings();
    // "<port> Ready", with what the profile asks the operator to notice.
    void ShowPortReady();

    // StatusLine
    void ShowStatus(const LineStatus& status) override;
    void ShowProgress(const TransferProgress& progress) override;
    // UiHandOver
    void ArmCommOpenTimer() override;
    void Defer(std::function<void()> work) override;
    void After(std::chrono::milliseconds time, std::function<void()> work) override;
    // KeyPoll
    bool EscapePressed() override;
    void Idle(std::chrono::milliseconds time) override;
    void ForgetEscape() override;

    // Runs a handler; an error escaping it is shown: a serial port error as
    // "Async32 error: " and its message once the port has first been set up,
    // any other error in an error box.
    void Guard(const std::function<void()>& handler);

    QString CurrentMachine() const override;
    void AddMachine(const QString& name) override;
    void RemoveMachine(const QString& name, const QString& shown) override;

    RunState& State() { return runState_; }
    const TransferSession& Session() const { return session_; }
    ActiveSettings& Settings() { return activeSettings_; }
    TVaComm& Comm1() { return line_.Port(); }
    MemoEditor& Editor() { return editor_; }
    TForm2& Form2() const { return *form2_; }
    const MainWindowControls& Controls() const { return controls_; }
    const std::vector<UtilityCommand>& Utilities() const { return launcher_.Commands(); }
    const HelpWindow& Help() const { return *help_; }
    Automation& Unattended() { return line_.Unattended(); }
    QTimer& CommOpenTimer1() { return commOpenTimer1_; }
    QTimer& DefaultDirectoryTimer1() { return defaultDirectoryTimer1_; }
    QTimer& SaveTimer() { return saveTimer_; }
    QTimer& CloseTimer1() { return closeTimer1_; }
    LineMonitor& Monitor() { return *monitor_; }
    EditorFind& Find() { return *find_; }
    QDockWidget& MonitorDock() { return *monitorDock_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The idle and transfer states of the buttons.
    void EnableButtons();
    void DisableButtons();
    // Draws every control from the session's phase.
    void DrawControls();
    // Runs a command the session allows now, as busy work; otherwise the
    // status line says why not.
    void Perform(Command command, const std::function<void()>& work);
    // What Clear or Stop leaves to the window.
    void ClearOrStop(TransferSession::StopAction action);
    // Esc outside the editor closes the window, after a question while a
    // transfer or unattended work would end with it.
    void EscapeClose();
    void ShowError(std::exception_ptr error);
    void ConnectHandlers();
    void SavePlace() const;
    void BuildLineMonitor();
    void BuildEditorFind();
    void FillMachineList();
    // The machine's folder in the file pane, or an empty pane naming it when
    // it is not there.
    void ShowMachineFolder(const QString& folder);
    void FillDirectoryShortcuts();
    void AddUtilities();
    // Processes pending events with clicks and keys swallowed.
    void ProcessEventsBlockingInput();
    // What DNC.ini holds that Feedrail cannot use: repeated sections and the
    // selected machine's values not understood. Empty when there is nothing.
    QString ProfileNotice() const;
    std::string ProfilePath() const;
    // The file pane's one selected item; empty without a selection.
    std::string SelectedPaneItem() const;
    // The selected machine's unattended-DNC options, read afresh.
    void ConfigureAutomation();
    static void Arm(QTimer& timer);

    RunState runState_;
    ActiveSettings activeSettings_;
    TransferSession session_{runState_};
    bool drawnTransfer_ = false;
    UserMessages& messages_;
    bool errorHookInstalled_ = false;
    MainWindowControls controls_;
    ProgressView progress_{*this, *controls_.StaticText1, *controls_.ProgressBar1};
    MemoEditor editor_;
    QtHandOver handOver_;
    MachineLine line_;
    InputBlocker inputBlocker_;
    Renumbering renumbering_;
    UtilityLauncher launcher_;
    FileCommands files_;
    PrintCommands printing_;
    bool closeConfirmed_ = false;
    std::chrono::steady_clock::time_point lastEventPass_;
    std::string shownAdvice_;
    QString listNotice_;
    QTimer commOpenTimer1_;
    QTimer defaultDirectoryTimer1_;
    QTimer saveTimer_;
    QTimer closeTimer1_;
    TForm2* form2_ = nullptr;
    TAutomation* automationDialog_ = nullptr;
    TAbout* about_ = nullptr;
    HelpWindow* help_ = nullptr;
    QDockWidget* monitorDock_ = nullptr;
    LineMonitor* monitor_ = nullptr;
    EditorFind* find_ = nullptr;
    // What the last Send from... sent; a send reads it until it ends.
    std::unique_ptr<ComposedProgram> composed_;
};

} // namespace feedrail
