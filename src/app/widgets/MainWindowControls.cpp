#include "app/widgets/MainWindowControls.h"

#include "app/widgets/ProgramEditor.h"
#include "common/widgets/DesignFont.h"
#include "common/widgets/ReadableColours.h"
#include "filelist/widgets/TLsFileListView26.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

namespace feedrail {
namespace {

// The design size of the window's client area; the window starts at it and
// may grow, the file pane and the editor taking the extra room.
constexpr int ClientWidth = 672;
constexpr int ClientHeight = 383;
constexpr int PaneWidth = 349;
constexpr int RightWidth = 300;
constexpr int Gap = 4;

template <typename Widget> Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton* Button(const QString& caption, const char* name, int height, QWidget* parent) {
    auto* button = Named(new QPushButton(caption, parent), name);
    button->setMinimumHeight(height);
    return button;
}

void SetBold(QWidget* widget, int pixels = 0) {
    QFont font = widget->font();
    font.setBold(true);
    if (pixels > 0) {
        font.setPixelSize(pixels);
    }
    widget->setFont(font);
}

// Drops down at most its maximum of visible rows under every style: some
// styles otherwise open a list as tall as all its entries.
void LimitDropDown(QComboBox* list) {
    list->setMaxVisibleItems(10);
    list->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    row->setSpacing(Gap);
    for (QWidget* widget : widgets) {
        row->addWidget(widget);
    }
    return row;
}

} // namespace

MainWindowControls::MainWindowControls(QMainWindow& window) {
    UseDesignFont(window);
    auto* client = Named(new QWidget(&window), "Client");
    client->setMinimumSize(ClientWidth, ClientHeight);
    window.setCentralWidget(client);
    auto* columns = new QHBoxLayout(client);
    columns->setContentsMargins(0, 0, Gap, Gap);
    columns->setSpacing(Gap);
    columns->addLayout(BuildFilePane(client), 1);
    auto* divider = Named(new QFrame(client), "Panel1");
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    columns->addWidget(divider);
    columns->addLayout(BuildRightHalf(client), 1);

    Image1 = window.style()->standardIcon(QStyle::SP_BrowserStop);
    Image2 = window.style()->standardIcon(QStyle::SP_DialogResetButton);
    ClearButton->setIcon(Image2);
    BuildMenu(window);
}

QVBoxLayout* MainWindowControls::BuildFilePane(QWidget* client) {
    ComboBox2 = Named(new QComboBox(client), "ComboBox2");
    SetBold(ComboBox2, 13);
    LimitDropDown(ComboBox2);
    LsFileListView261 = Named(new TLsFileListView26(client), "LsFileListView261");
    LsFileListView261->setMinimumWidth(PaneWidth);
    // Get and the setup sheet take one file.
    LsFileListView261->SetMultiSelect(false);
    LsFileListView261->setStyleSheet(
        QStringLiteral("QTreeWidget { background: #0000a0; color: white; font-weight: bold; }"));
    BitBtn1 = Button(QStringLiteral("One Level Up"), "BitBtn1", 21, client);
    GetButton = Button(QStringLiteral("&Get"), "GetButton", 25, client);
    BitBtn3 = Button(QStringLiteral("Print File"), "BitBtn3", 25, client);
    SetupSheetButton = Button(QStringLiteral("Setup Sheet"), "SetupSheetButton", 25, client);

    auto* pane = new QVBoxLayout;
    pane->setSpacing(0);
    pane->addWidget(ComboBox2);
    pane->addWidget(LsFileListView261, 1);
    pane->addWidget(BitBtn1);
    pane->addSpacing(9);
    pane->addLayout(Row({GetButton, BitBtn3, SetupSheetButton}));
    return pane;
}

QVBoxLayout* MainWindowControls::BuildRightHalf(QWidget* client) {
    StaticText1 = Named(new QLabel(QStringLiteral("Not Connected"), client), "StaticText1");
    // The progress ("Sent 33 of 5003 lines, 0.8 of 137.0 kB, ...") wraps; a
    // port named by its /dev/serial/by-id link, longer than the half is wide,
    // is cut in place (the whole in its tool tip): neither pushes the file
    // pane and the labels beside it aside.
    StaticText1->setWordWrap(true);
    StaticText1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ProgressBar1 = Named(new QProgressBar(client), "ProgressBar1");
    Label3 = Named(new QLabel(QStringLiteral("Serial Port"), client), "Label3");
    SetBold(Label3, 13);
    SetEnabledTextColour(*Label3, QPalette::WindowText,
                         ReadableRed(Label3->palette().color(QPalette::Window)));
    // A long status ("The port ... is gone: ...") wraps in place instead of
    // widening the right half and pushing the editor aside.
    Label3->setWordWrap(true);
    Label3->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* label5 = Named(new QLabel(QStringLiteral("Machine:"), client), "Label5");
    SetBold(label5, 13);
    ComboBox1 = Named(new QComboBox(client), "ComboBox1");
    SetBold(ComboBox1, 13);
    LimitDropDown(ComboBox1);
    auto* label4 = Named(new QLabel(QStringLiteral("Filename:"), client), "Label4");
    Edit7 = Named(new QLineEdit(client), "Edit7");
    Edit7->setReadOnly(true);
    // Read-only on the window's own ground, so that its text keeps the
    // palette's contrast, light or dark.
    QPalette fieldColours = Edit7->palette();
    fieldColours.setColor(QPalette::Base, fieldColours.color(QPalette::Window));
    Edit7->setPalette(fieldColours);
    for (QLabel* label : {label5, label4}) {
        label->setFixedWidth(64);
    }

    Memo1 = Named(new ProgramEditor(client), "Memo1");
    Memo1->setMinimumWidth(RightWidth - 16);

    ReceiveButton = Button(QStringLiteral("&Receive"), "ReceiveButton", 30, client);
    SetBold(ReceiveButton);
    // Red only while it may be pressed: greyed out like its neighbours during
    // a transfer.
    SetEnabledTextColour(*ReceiveButton, QPalette::ButtonText,
                         ReadableRed(ReceiveButton->palette().color(QPalette::Button)));
    SaveButton = Button(QStringLiteral("Save"), "SaveButton", 30, client);
    SaveButton->setToolTip(QStringLiteral("Save the program (Ctrl+S)"));
    SendButton = Button(QStringLiteral("&Send"), "SendButton", 30, client);
    SetBold(SendButton);
    ClearButton = Button(QStringLiteral("Clear"), "ClearButton", 30, client);
    PrintWindowButton = Button(QStringLiteral("Print Window"), "PrintWindowButton", 30, client);
    CloseButton = Button(QStringLiteral("Close"), "CloseButton", 30, client);
    CloseButton->setToolTip(QStringLiteral("Close Feedrail (Ctrl+Q)"));

    auto* half = new QVBoxLayout;
    half->setContentsMargins(0, Gap, 0, 0);
    half->setSpacing(Gap);
    half->addWidget(StaticText1);
    half->addWidget(ProgressBar1);
    half->addWidget(Label3);
    half->addLayout(Row({label5, ComboBox1}));
    half->addLayout(Row({label4, Edit7}));
    auto* editorAndButtons = new QVBoxLayout;
    editorAndButtons->setContentsMargins(8, 0, 8, 0);
    editorAndButtons->setSpacing(8);
    editorAndButtons->addWidget(Memo1, 1);
    editorAndButtons->addLayout(Row({ReceiveButton, SaveButton, SendButton}));
    editorAndButtons->addLayout(Row({ClearButton, PrintWindowButton, CloseButton}));
    half->addLayout(editorAndButtons, 1);
    return half;
}

void MainWindowControls::BuildMenu(QMainWindow& window) {
    QMenuBar* menu = window.menuBar();
    menu->setObjectName(QStringLiteral("MainMenu1"));
    BuildEditMenu(*menu);
    Utilities1 = menu->addMenu(QStringLiteral("&Utilities"));
    Utilities1->setObjectName(QStringLiteral("Utilities1"));
    Renumber1 = Utilities1->addAction(QStringLiteral("&Renumber"));
    Renumber1->setObjectName(QStringLiteral("Renumber1"));
    PrintColumns1 = Utilities1->addAction(QStringLiteral("Print &Columns..."));
    PrintColumns1->setObjectName(QStringLiteral("PrintColumns1"));
    CompareWithStored1 = Utilities1->addAction(QStringLiteral("Compare &with Stored Program"));
    CompareWithStored1->setObjectName(QStringLiteral("CompareWithStored1"));
    QMenu* settings = menu->addMenu(QStringLiteral("Se&ttings"));
    settings->setObjectName(QStringLiteral("SettingsMenu"));
    Settings1 = settings->addAction(QStringLiteral("&DNC Settings..."));
    Settings1->setObjectName(QStringLiteral("Settings1"));
    Automation1 = settings->addAction(QStringLiteral("&Automation..."));
    Automation1->setObjectName(QStringLiteral("Automation1"));
    View1 = menu->addMenu(QStringLiteral("&View"));
    View1->setObjectName(QStringLiteral("View1"));
    QMenu* help = menu->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    Index1 = help->addAction(QStringLiteral("Index"));
    Index1->setObjectName(QStringLiteral("Index1"));
    Index1->setShortcut(QKeySequence(Qt::Key_F1));
    About1 = help->addAction(QStringLiteral("About"));
    About1->setObjectName(QStringLiteral("About1"));
    BuildShortcuts(window);
}

// Keys of the whole window: the file pane keeps Ctrl+F and F3 for its own
// View and Find while it has the focus.
void MainWindowControls::BuildEditMenu(QMenuBar& menu) {
    Edit1 = menu.addMenu(QStringLiteral("&Edit"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Find1 = Edit1->addAction(QStringLiteral("&Find..."));
    Find1->setObjectName(QStringLiteral("Find1"));
    Find1->setShortcut(Qt::CTRL | Qt::Key_F);
    FindNext1 = Edit1->addAction(QStringLiteral("Find &Next"));
    FindNext1->setObjectName(QStringLiteral("FindNext1"));
    FindNext1->setShortcut(Qt::Key_F3);
    GoToLine1 = Edit1->addAction(QStringLiteral("&Go to Line..."));
    GoToLine1->setObjectName(QStringLiteral("GoToLine1"));
    GoToLine1->setShortcut(Qt::CTRL | Qt::Key_L);
    Edit1->addSeparator();
    SendFrom1 = Edit1->addAction(QStringLiteral("Send Fro&m..."));
    SendFrom1->setObjectName(QStringLiteral("SendFrom1"));
}

// Save and Close are buttons, not menu entries, so their keys are actions of
// the window. Fixed keys rather than the platform's standard ones, which some
// platforms leave unbound; on Ctrl, they never meet the Alt letters.
void MainWindowControls::BuildShortcuts(QMainWindow& window) {
    SaveShortcut = new QAction(QStringLiteral("Save"), &window);
    SaveShortcut->setObjectName(QStringLiteral("SaveShortcut"));
    SaveShortcut->setShortcut(Qt::CTRL | Qt::Key_S);
    CloseShortcut = new QAction(QStringLiteral("Close"), &window);
    CloseShortcut->setObjectName(QStringLiteral("CloseShortcut"));
    CloseShortcut->setShortcut(Qt::CTRL | Qt::Key_Q);
    window.addActions({SaveShortcut, CloseShortcut});
}

} // namespace feedrail
