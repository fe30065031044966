#include "app/widgets/MainWindowControls.h"

#include "filelist/widgets/TLsFileListView26.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace feedrail {
namespace {

constexpr int ClientWidth = 672;
constexpr int ClientHeight = 383;
constexpr int PaneWidth = 349;
constexpr int RightLeft = 364;

template <typename Widget> Widget* Place(Widget* widget, const char* name, const QRect& area) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(area);
    return widget;
}

QPushButton* Button(const QString& caption, const char* name, const QRect& area, QWidget* parent) {
    return Place(new QPushButton(caption, parent), name, area);
}

void SetBold(QWidget* widget, int pixels = 0) {
    QFont font = widget->font();
    font.setBold(true);
    if (pixels > 0) {
        font.setPixelSize(pixels);
    }
    widget->setFont(font);
}

} // namespace

MainWindowControls::MainWindowControls(QMainWindow& window) {
    QFont designFont = window.font();
    designFont.setPointSize(8);
    window.setFont(designFont);
    auto* client = new QWidget(&window);
    client->setObjectName(QStringLiteral("Client"));
    client->setFixedSize(ClientWidth, ClientHeight);
    window.setCentralWidget(client);

    ComboBox2 = Place(new QComboBox(client), "ComboBox2", QRect(0, 0, PaneWidth, 22));
    SetBold(ComboBox2, 13);
    LsFileListView261 =
        Place(new TLsFileListView26(client), "LsFileListView261", QRect(0, 22, PaneWidth, 297));
    LsFileListView261->setStyleSheet(
        QStringLiteral("QTreeWidget { background: #0000a0; color: white; font-weight: bold; }"));
    BitBtn1 =
        Button(QStringLiteral("One Level Up"), "BitBtn1", QRect(0, 319, PaneWidth, 21), client);
    GetButton = Button(QStringLiteral("&Get"), "GetButton", QRect(0, 350, 113, 25), client);
    BitBtn3 = Button(QStringLiteral("Print File"), "BitBtn3", QRect(118, 350, 113, 25), client);
    SetupSheetButton =
        Button(QStringLiteral("Setup Sheet"), "SetupSheetButton", QRect(236, 350, 113, 25), client);

    auto* divider = Place(new QFrame(client), "Panel1", QRect(356, 0, 2, ClientHeight));
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);

    StaticText1 = Place(new QLabel(QStringLiteral("Not Connected"), client), "StaticText1",
                        QRect(RightLeft, 4, 304, 16));
    Label3 = Place(new QLabel(QStringLiteral("Serial Port"), client), "Label3",
                   QRect(RightLeft, 22, 304, 18));
    SetBold(Label3, 13);
    Label3->setStyleSheet(QStringLiteral("color: red;"));
    auto* label5 = Place(new QLabel(QStringLiteral("Machine:"), client), "Label5",
                         QRect(RightLeft, 46, 64, 20));
    SetBold(label5, 13);
    ComboBox1 = Place(new QComboBox(client), "ComboBox1", QRect(432, 44, 232, 22));
    SetBold(ComboBox1, 13);
    ComboBox1->setMaxVisibleItems(10);
    ComboBox2->setMaxVisibleItems(10);
    Place(new QLabel(QStringLiteral("Filename:"), client), "Label4", QRect(RightLeft, 74, 64, 20));
    Edit7 = Place(new QLineEdit(client), "Edit7", QRect(432, 72, 232, 21));
    Edit7->setReadOnly(true);
    Edit7->setStyleSheet(QStringLiteral("background: #c0c0c0;"));

    Memo1 = Place(new QPlainTextEdit(client), "Memo1", QRect(372, 98, 285, 197));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: #0000a0; color: white; font-weight: bold; }"));

    ReceiveButton =
        Button(QStringLiteral("&Receive"), "ReceiveButton", QRect(372, 304, 91, 30), client);
    SetBold(ReceiveButton);
    ReceiveButton->setStyleSheet(QStringLiteral("color: red;"));
    SaveButton = Button(QStringLiteral("Save"), "SaveButton", QRect(469, 304, 91, 30), client);
    SendButton = Button(QStringLiteral("&Send"), "SendButton", QRect(566, 304, 91, 30), client);
    SetBold(SendButton);
    ClearButton = Button(QStringLiteral("Clear"), "ClearButton", QRect(372, 342, 91, 30), client);
    PrintWindowButton = Button(QStringLiteral("Print Window"), "PrintWindowButton",
                               QRect(469, 342, 91, 30), client);
    CloseButton = Button(QStringLiteral("Close"), "CloseButton", QRect(566, 342, 91, 30), client);

    Image1 = window.style()->standardIcon(QStyle::SP_BrowserStop);
    Image2 = window.style()->standardIcon(QStyle::SP_DialogResetButton);
    ClearButton->setIcon(Image2);

    QMenuBar* menu = window.menuBar();
    menu->setObjectName(QStringLiteral("MainMenu1"));
    Utilities1 = menu->addMenu(QStringLiteral("&Utilities"));
    Utilities1->setObjectName(QStringLiteral("Utilities1"));
    Renumber1 = Utilities1->addAction(QStringLiteral("&Renumber"));
    Renumber1->setObjectName(QStringLiteral("Renumber1"));
    Settings1 = menu->addAction(QStringLiteral("Settings"));
    Settings1->setObjectName(QStringLiteral("Settings1"));
    QMenu* help = menu->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    Index1 = help->addAction(QStringLiteral("Index"));
    Index1->setObjectName(QStringLiteral("Index1"));
    About1 = help->addAction(QStringLiteral("About"));
    About1->setObjectName(QStringLiteral("About1"));
}

} // namespace feedrail
