#include "app/widgets/Tpunch_d.h"

#include "about/widgets/TAbout.h"
#include "app/widgets/ProgramEditor.h"
#include "common/widgets/TextBridge.h"
#include "common/widgets/UserMessages.h"
#include "filelist/widgets/FileListOperations.h"
#include "filelist/widgets/TLsFileListView26.h"
#include "profiles/AutomationSettings.h"
#include "profiles/IniFile.h"
#include "profiles/ProfileFile.h"
#include "profiles/UtilityFile.h"
#include "profiles/widgets/TAutomation.h"
#include "profiles/widgets/TForm2.h"
#include "serial/EVaCommError.h"
#include "utilities/widgets/HelpWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDockWidget>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace feedrail {
Tpunch_d::Tpunch_d(std::string programDir, UserMessages& messages, QWidget* parent)
    : QMainWindow(parent), messages_(messages), controls_(*this),
      editor_(*controls_.Memo1, *controls_.Edit7, runState_.ReceivedLines),
      handOver_([this](std::exception_ptr error) { ShowError(error); }),
      line_({.State = runState_,
             .Session = session_,
             .Settings = activeSettings_,
             .Status = *this,
             .LossStatus = *this,
             .Program = editor_,
             .Received = &editor_,
             .Ui = *this,
             .Events = handOver_,
             .ProgramDir = programDir,
             .Leader = [this] { return form2_->Leader(); },
             .ShowFiledProgram =
                 [this](const std::string& path, const std::string&) {
                     controls_.LsFileListView261->ShowAddedFile(path);
                 },
             .LoadFile = [this](const std::string& path) { return files_.Load(path); },
             .ShowError =
                 [this](const std::string& text) {
                     messages_.ShowError(QString::fromStdString(text));
                 },
             .ReopenPort =
                 [this] {
                     ApplyPortSettings();
                     session_.PortOpened();
                 },
             .Reached = [this] { ShowPortReady(); },
             .FindProgram = {}}),
      inputBlocker_(*this), renumbering_(runState_, editor_, *this),
      launcher_(runState_, messages_, [this] { return SelectedPaneItem(); }),
      files_(
          runState_, activeSettings_, messages_, controls_, editor_,
          [this](const QString& text) { ShowStatus(text); },
          [this] { return line_.Unattended().Settings().KeepVersions; }),
      printing_(
          runState_, messages_, [this] { return editor_.Text(); },
          [this] { return DisplayPath(SelectedPaneItem()); }, this) {
    runState_.ProgramDir = std::move(programDir);
    controls_.LsFileListView261->Operations().SetProfileFile(ProfilePath());
    setObjectName(QStringLiteral("punch_d"));
    progress_.SetCaption(QStringLiteral("Feedrail "));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/icons/org.feedrail.Feedrail.svg")));

    const std::pair<QTimer*, int> timers[] = {{&commOpenTimer1_, 1000},
                                              {&defaultDirectoryTimer1_, 1000},
                                              {&saveTimer_, 500},
                                              {&closeTimer1_, 1500}};
    for (const auto& [timer, interval] : timers) {
        timer->setInterval(interval);
        timer->setSingleShot(true);
    }
    ConnectHandlers();
    Guard([this] { FormCreate(); });
    form2_ = new TForm2(*this, activeSettings_, ProfilePath(), messages_, this);
    form2_->LoadSettings(); // the first port-open tick names what it could not use
    automationDialog_ = new TAutomation(*this, ProfilePath(), messages_, this);
    help_ = new HelpWindow(runState_.ProgramDir, messages_, this);
    controls_.LsFileListView261->SetMessages(&messages_);
    controls_.LsFileListView261->Operations().SetDeleteGate(
        [this](const std::function<void()>& remove) { Perform(Command::ChangeFiles, remove); });
    controls_.LsFileListView261->SetEditorText([this] { return editor_.Text(); });
    controls_.LsFileListView261->SetProgramOpener([this](const std::string& path) {
        if (!files_.IsPartProgram(path)) {
            return false;
        }
        Perform(Command::EditProgram, [this, path] { files_.Get(path); });
        return true;
    });
    about_ = new TAbout(this);
    BuildLineMonitor();
    BuildEditorFind();
    session_.OnChange([this] { DrawControls(); });
    DrawControls();
}

// The monitor's dock goes before the line it watches: left to the window's
// own end, hiding it would switch off the watch of a port already gone.
Tpunch_d::~Tpunch_d() {
    delete monitorDock_;
}

void Tpunch_d::FormCreate() {
    FillMachineList();
    FillDirectoryShortcuts();
    const QString first =
        controls_.ComboBox1->count() > 0 ? controls_.ComboBox1->itemText(0) : QString();
    activeSettings_ = ProfileFile(ProfilePath()).ReadStartupProfile(TextBytes(first));
    AddUtilities();
    controls_.ComboBox1->setCurrentIndex(controls_.ComboBox1->count() > 0 ? 0 : -1);
    controls_.Memo1->clear();
    controls_.LsFileListView261->SetColumnWidths({240, 0, 0, 100, 0});
    Arm(commOpenTimer1_);
    Arm(defaultDirectoryTimer1_);
}

void Tpunch_d::CommOpenTimer1Timer() {
    commOpenTimer1_.stop();
    if (runState_.Closing) {
        return;
    }
    const QString failure = ApplyPortSettings();
    const TransferSession::Pending pending = session_.PortOpened();
    // The open's error stays in the status line; nothing starts on a closed port.
    if (pending != TransferSession::Pending::None && !line_.Port().Active()) {
        session_.TransferEnded();
        return;
    }
    if (!failure.isEmpty()) {
        line_.Loss().OpenFailed(TextBytes(failure));
    }
    switch (pending) {
    case TransferSession::Pending::Send:
        line_.Send().SendStart();
        break;
    case TransferSession::Pending::Receive:
        line_.Receive().ReceiveStart();
        break;
    case TransferSession::Pending::None:
        break;
    }
}

void Tpunch_d::DefaultDirectoryTimer1Timer() {
    defaultDirectoryTimer1_.stop();
    ComboBox1Change();
    controls_.LsFileListView261->SetDirectory(DisplayPath(activeSettings_.DefaultDir));
}

void Tpunch_d::ComboBox1Change() {
    if (!session_.SelectMachine()) {
        return;
    }
    line_.Port().PurgeRead();
    line_.Port().PurgeWrite();
    line_.Port().Close();
    ProfileFile(ProfilePath()).ReadSelectedProfile(TextBytes(CurrentMachine()), activeSettings_);
    ConfigureAutomation();
    Arm(commOpenTimer1_);
    const QString defaultDir = DisplayPath(activeSettings_.DefaultDir);
    for (std::size_t i = 0; i < runState_.DirPaths.size(); ++i) {
        // Linux folder names are case-sensitive.
        if (runState_.DirPaths[i] == activeSettings_.DefaultDir) {
            controls_.ComboBox2->setCurrentIndex(static_cast<int>(i));
            break;
        }
    }
    ShowMachineFolder(defaultDir);
    // Without any machine there is no section to store a profile in.
    if (controls_.ComboBox1->count() > 0) {
        form2_->LoadSettings();
        form2_->StoreSettings();
    }
    if (!ProfileNotice().isEmpty()) {
        ShowStatus(ProfileNotice());
    }
}

void Tpunch_d::ShowMachineFolder(const QString& folder) {
    if (folder.isEmpty() || QFileInfo(folder).isDir()) {
        controls_.LsFileListView261->SetDirectory(folder);
        return;
    }
    controls_.LsFileListView261->ShowMissingFolder(folder);
    ShowStatus(QStringLiteral("The folder %1 of %2 does not exist").arg(folder, CurrentMachine()));
}

void Tpunch_d::ComboBox2Change() {
    const int index = controls_.ComboBox2->currentIndex();
    if (index >= 0 && static_cast<std::size_t>(index) < runState_.DirPaths.size()) {
        controls_.LsFileListView261->SetDirectory(DisplayPath(runState_.DirPaths[index]));
    }
}

void Tpunch_d::BitBtn1Click() {
    controls_.LsFileListView261->OneLevelUp();
}

void Tpunch_d::LsFileListView261Change() {
    progress_.SetCaption(QStringLiteral("Feedrail [") + controls_.LsFileListView261->Directory() +
                         QStringLiteral("]"));
}

void Tpunch_d::GetButtonClick() {
    Perform(Command::EditProgram, [this] { files_.Get(); });
}

void Tpunch_d::SaveButtonClick() {
    Perform(Command::EditProgram, [this] {
        if (files_.AskSaveName()) {
            Arm(saveTimer_);
        }
    });
}

void Tpunch_d::SaveTimerTimer() {
    saveTimer_.stop();
    files_.Save();
}

// Clear empties the editor; Stop leaves it as it is.
void Tpunch_d::ClearButtonClick() {
    if (!line_.Send().Cancel() && (session_.Transferring() || files_.MayDiscard())) {
        ClearOrStop(session_.RequestStop());
    }
}

void Tpunch_d::CloseButtonClick() {
    if (!files_.MayDiscard()) {
        return;
    }
    closeConfirmed_ = true;
    line_.Send().Cancel();
    ShowStatus(QStringLiteral("Closing Feedrail"));
    ClearOrStop(session_.RequestStop());
    session_.Close();
    Arm(closeTimer1_);
    line_.Port().Close();
}

void Tpunch_d::CloseTimer1Timer() {
    closeTimer1_.stop();
    close();
}

// Saving the settings puts them in force at once, as selecting the machine
// does, and New... selects the machine it adds.
void Tpunch_d::Settings1Click() {
    Perform(Command::SelectMachine, [this] {
        if (form2_->exec() == QDialog::Accepted) {
            ComboBox1Change();
        }
    });
}

void Tpunch_d::Automation1Click() {
    Perform(Command::Dialog, [this] {
        automationDialog_->exec();
        ConfigureAutomation();
    });
}

// Not modal, so that closing the window with the box open ends the program.
void Tpunch_d::About1Click() {
    Perform(Command::Glance, [this] { about_->show(); });
}

void Tpunch_d::Renumber1Click() {
    Perform(Command::EditProgram, [this] { renumbering_.Renumber(); });
}

void Tpunch_d::UtilityClick(int number) {
    Perform(Command::Glance, [this, number] { launcher_.Run(number); });
}

void Tpunch_d::SetupSheetButtonClick() {
    Perform(Command::Glance, [this] { launcher_.SetupSheet(); });
}

void Tpunch_d::Index1Click() {
    Perform(Command::Glance, [this] { help_->ShowIndex(); });
}

void Tpunch_d::PrintWindowButtonClick() {
    Perform(Command::EditProgram, [this] { printing_.PrintWindowButtonClick(); });
}

void Tpunch_d::BitBtn3Click() {
    Perform(Command::Dialog, [this] { printing_.BitBtn3Click(); });
}

void Tpunch_d::PrintColumns1Click() {
    Perform(Command::Dialog, [this] { printing_.PrintColumns1Click(); });
}

void Tpunch_d::SendButtonClick() {
    line_.Send().SendButtonClick();
}

// The request empties the editor.
void Tpunch_d::ReceiveButtonClick() {
    if (session_.Allows(Command::Receive) && files_.MayDiscard()) {
        line_.Receive().ReceiveButtonClick();
    }
}

void Tpunch_d::EnableButtons() {
    for (QPushButton* button : {controls_.SendButton, controls_.ReceiveButton, controls_.SaveButton,
                                controls_.PrintWindowButton, controls_.ClearButton}) {
        button->setEnabled(true);
    }
    editor_.CaretToStart();
}

void Tpunch_d::DisableButtons() {
    for (QPushButton* button : {controls_.SendButton, controls_.ReceiveButton, controls_.SaveButton,
                                controls_.PrintWindowButton}) {
        button->setEnabled(false);
    }
}

void Tpunch_d::DrawControls() {
    const bool transfer = session_.Transferring();
    if (transfer != drawnTransfer_) {
        drawnTransfer_ = transfer;
        transfer ? DisableButtons() : EnableButtons();
        if (!transfer) {
            progress_.End();
        }
        controls_.ClearButton->setText(transfer ? QStringLiteral("Stop") : QStringLiteral("Clear"));
        controls_.ClearButton->setIcon(transfer ? controls_.Image1 : controls_.Image2);
    }
    const auto allow = [this](Command command, std::initializer_list<QObject*> controls) {
        for (QObject* control : controls) {
            control->setProperty("enabled", session_.Allows(command));
        }
    };
    allow(Command::EditProgram, {controls_.GetButton, controls_.Renumber1});
    allow(Command::Dialog, {controls_.BitBtn3, controls_.PrintColumns1, controls_.Automation1});
    allow(Command::Glance,
          {controls_.SetupSheetButton, controls_.Index1, controls_.About1, controls_.GoToLine1});
    allow(Command::SelectMachine, {controls_.ComboBox1, controls_.Settings1});
    allow(Command::Send, {controls_.SendFrom1});
    controls_.CloseButton->setEnabled(session_.Phase() != TransferPhase::Sending);
    // The send reads each line as it goes: what it has not reached yet must
    // not change under it.
    controls_.Memo1->setReadOnly(session_.Phase() == TransferPhase::Sending);
    for (QAction* action : controls_.Utilities1->actions()) {
        if (action != controls_.Renumber1 && action != controls_.PrintColumns1) {
            allow(Command::Glance, {action});
        }
    }
}

void Tpunch_d::Perform(Command command, const std::function<void()>& work) {
    if (!session_.Allows(command)) {
        // A running send keeps its own status text.
        if (session_.Phase() != TransferPhase::Sending) {
            ShowStatus(BytesText(session_.WhyRefused(command)));
        }
        return;
    }
    const TransferSession::BusyScope busy(session_);
    work();
}

void Tpunch_d::ClearOrStop(TransferSession::StopAction action) {
    using StopAction = TransferSession::StopAction;
    if (action == StopAction::Clear) {
        editor_.CutAll();
        runState_.ReceivedUnsaved = false;
        runState_.CurrentFile.clear();
        controls_.Edit7->clear();
    }
    if (action == StopAction::Clear || action == StopAction::EndTransfer) {
        try {
            line_.Port().Close();
        } catch (const EVaCommError&) {
            // The port is closed either way, and it reopens in a moment.
        }
        Arm(commOpenTimer1_);
    }
}

void Tpunch_d::EscapeClose() {
    if (line_.Send().Cancel()) {
        return;
    }
    const bool working = session_.Transferring() || line_.Unattended().Reading();
    if (working && !messages_.Confirm(QStringLiteral(
                       "A transfer runs or waits, or Feedrail listens to the machine.\n"
                       "Stop it and close Feedrail?"))) {
        return;
    }
    CloseButtonClick();
}

void Tpunch_d::keyPressEvent(QKeyEvent* event) {
    const bool inEditor = focusWidget() == controls_.Memo1;
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    auto* button = qobject_cast<QAbstractButton*>(focusWidget());
    if (event->key() == Qt::Key_Escape && (!inEditor || session_.Sending())) {
        Guard([this] { EscapeClose(); });
    } else if (enter && button != nullptr) {
        button->animateClick();
    } else if (enter && !inEditor && focusWidget() != controls_.LsFileListView261 &&
               focusWidget() != controls_.ComboBox1) {
        // The file list has opened the row itself; the machine list is no
        // place to load a program from.
        Guard([this] { GetButtonClick(); });
    } else {
        QMainWindow::keyPressEvent(event);
    }
}

void Tpunch_d::closeEvent(QCloseEvent* event) {
    if (session_.Sending()) {
        // A send under way or waiting is stopped first, as the Close button
        // does.
        event->ignore();
        Guard([this] { CloseButtonClick(); });
        return;
    }
    if (!closeConfirmed_ && !files_.MayDiscard()) {
        event->ignore();
        return;
    }
    SavePlace();
    // Windows of the program's own that are still open end with it.
    about_->close();
    help_->close();
    QMainWindow::closeEvent(event);
}

void Tpunch_d::Guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        ShowError(std::current_exception());
    }
}

void Tpunch_d::ShowError(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EVaCommError& commError) {
        const QString text = QString::fromStdString(commError.what());
        if (errorHookInstalled_) {
            messages_.ShowMessage(QStringLiteral("Async32 error: ") + text);
        } else {
            messages_.ShowError(text);
        }
    } catch (const std::exception& other) {
        messages_.ShowError(QString::fromStdString(other.what()));
    }
}

void Tpunch_d::ConnectHandlers() {
    const auto bind = [this](auto* sender, auto signal, void (Tpunch_d::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { Guard([this, handler] { (this->*handler)(); }); });
    };
    bind(controls_.ComboBox1, &QComboBox::activated, &Tpunch_d::ComboBox1Change);
    bind(controls_.ComboBox2, &QComboBox::activated, &Tpunch_d::ComboBox2Change);
    bind(controls_.BitBtn1, &QPushButton::clicked, &Tpunch_d::BitBtn1Click);
    bind(controls_.LsFileListView261, &TLsFileListView26::Changed,
         &Tpunch_d::LsFileListView261Change);
    bind(controls_.GetButton, &QPushButton::clicked, &Tpunch_d::GetButtonClick);
    bind(controls_.SaveButton, &QPushButton::clicked, &Tpunch_d::SaveButtonClick);
    bind(controls_.ClearButton, &QPushButton::clicked, &Tpunch_d::ClearButtonClick);
    bind(controls_.SendButton, &QPushButton::clicked, &Tpunch_d::SendButtonClick);
    bind(controls_.ReceiveButton, &QPushButton::clicked, &Tpunch_d::ReceiveButtonClick);
    bind(controls_.CloseButton, &QPushButton::clicked, &Tpunch_d::CloseButtonClick);
    bind(controls_.Settings1, &QAction::triggered, &Tpunch_d::Settings1Click);
    bind(controls_.Automation1, &QAction::triggered, &Tpunch_d::Automation1Click);
    bind(controls_.Renumber1, &QAction::triggered, &Tpunch_d::Renumber1Click);
    bind(controls_.SetupSheetButton, &QPushButton::clicked, &Tpunch_d::SetupSheetButtonClick);
    bind(controls_.Index1, &QAction::triggered, &Tpunch_d::Index1Click);
    bind(controls_.About1, &QAction::triggered, &Tpunch_d::About1Click);
    bind(controls_.PrintWindowButton, &QPushButton::clicked, &Tpunch_d::PrintWindowButtonClick);
    bind(controls_.BitBtn3, &QPushButton::clicked, &Tpunch_d::BitBtn3Click);
    bind(controls_.PrintColumns1, &QAction::triggered, &Tpunch_d::PrintColumns1Click);
    bind(controls_.CompareWithStored1, &QAction::triggered, &Tpunch_d::CompareWithStored1Click);
    bind(controls_.SaveShortcut, &QAction::triggered, &Tpunch_d::SaveButtonClick);
    // As the title bar's close button: a send is stopped first.
    connect(controls_.CloseShortcut, &QAction::triggered, this, &QWidget::close);
    bind(&commOpenTimer1_, &QTimer::timeout, &Tpunch_d::CommOpenTimer1Timer);
    bind(&defaultDirectoryTimer1_, &QTimer::timeout, &Tpunch_d::DefaultDirectoryTimer1Timer);
    bind(&saveTimer_, &QTimer::timeout, &Tpunch_d::SaveTimerTimer);
    bind(&closeTimer1_, &QTimer::timeout, &Tpunch_d::CloseTimer1Timer);
}

void Tpunch_d::FillMachineList() {
    const ProfileFile profiles(ProfilePath());
    for (const std::string& name : profiles.MachineNames()) {
        controls_.ComboBox1->addItem(BytesText(name));
    }
    QStringList repeated;
    for (const std::string& name : profiles.RepeatedSections()) {
        repeated << QStringLiteral("DNC.ini: [%1] is there more than once; the first is used")
                        .arg(BytesText(name));
    }
    listNotice_ = repeated.join(QStringLiteral(". "));
}

QString Tpunch_d::ProfileNotice() const {
    QStringList notices{listNotice_, form2_->NotUnderstood()};
    notices.removeAll(QString());
    return notices.join(QStringLiteral(". "));
}

void Tpunch_d::FillDirectoryShortcuts() {
    for (const DirShortcut& shortcut : ProfileFile(ProfilePath()).DirShortcuts()) {
        controls_.ComboBox2->addItem(BytesText(shortcut.Label));
        runState_.DirPaths.push_back(shortcut.Path);
    }
    controls_.ComboBox2->setCurrentIndex(runState_.DirPaths.empty() ? -1 : 0);
}

void Tpunch_d::AddUtilities() {
    const UtilityList list =
        UtilityFile(runState_.ProgramDir + std::string(UtilityFile::FileName)).ReadUtilities();
    for (const std::string& error : list.Errors) {
        messages_.ShowError(BytesText(error));
    }
    for (const UtilityCommand& command : list.Commands) {
        const QList<QAction*> actions = controls_.Utilities1->actions();
        auto* action = new QAction(BytesText(command.Caption), controls_.Utilities1);
        action->setObjectName(QStringLiteral("Utility%1").arg(command.Number));
        controls_.Utilities1->insertAction(actions.size() > 1 ? actions[1] : nullptr, action);
        const int number = command.Number;
        connect(action, &QAction::triggered, this,
                [this, number] { Guard([this, number] { UtilityClick(number); }); });
    }
    launcher_.SetCommands(list.Commands);
}

std::string Tpunch_d::SelectedPaneItem() const {
    const TLsFileListView26& files = *controls_.LsFileListView261;
    return files.SelectedCount() == 1 ? files.SelectedPath() : std::string();
}

void Tpunch_d::ConfigureAutomation() {
    const std::string machine = TextBytes(CurrentMachine());
    if (line_.Unattended().Configure(machine,
                                     ReadAutomationSettings(IniFile(ProfilePath()), machine))) {
        line_.Unattended().Pause();
        line_.Unattended().Resume();
    }
}

std::string Tpunch_d::ProfilePath() const {
    return runState_.ProgramDir + std::string(ProfileFile::FileName);
}

void Tpunch_d::Arm(QTimer& timer) {
    // Arming a timer that is already counting down does not restart it.
    if (!timer.isActive()) {
        timer.start();
    }
}

} // namespace feedrail
