// feedrail-screenshots: renders the main window, the "DNC Settings" dialog
// (also with its list of ports open), the about box and a send to the
// simulated control with the example profiles to PNG files, for the
// documentation. feedrail-machine must stand beside it, and the program in the
// build's src/ folder.
//   feedrail-screenshots EXAMPLES-FOLDER OUTPUT-FOLDER

#include "about/widgets/TAbout.h"
#include "about/widgets/TBUAppearingLabel.h"
#include "app/widgets/Tpunch_d.h"
#include "common/FileDescriptor.h"
#include "common/widgets/DialogMessages.h"
#include "common/widgets/TextBridge.h"
#include "filelist/widgets/TLsFileListView26.h"
#include "profiles/widgets/PortField.h"
#include "profiles/widgets/PortList.h"
#include "profiles/widgets/TForm2.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <stdlib.h>
#include <utility>
#include <vector>

namespace {

bool PumpUntil(const std::function<bool()>& done, int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
    return done();
}

// The simulated control on com2 of `programDir`, as the run script starts it.
bool StartMachine(QProcess& machine, const QString& programDir) {
    const QString link = programDir + "/com2";
    machine.setProgram(QApplication::applicationDirPath() + "/feedrail-machine");
    machine.setArguments({"receive", "--link", link, "--preset", "haas", "--code", "iso", "--eob",
                          "lf", "--buffer", "256", "--drain", "200", "--out", programDir});
    machine.start();
    return machine.waitForStarted() && PumpUntil([&] { return QFileInfo(link).isSymLink(); }, 5000);
}

void Load(feedrail::Tpunch_d& window, const QString& folder, const QString& name) {
    window.Controls().LsFileListView261->SetDirectory(QDir(folder).absolutePath());
    const auto found = window.Controls().LsFileListView261->findItems(name, Qt::MatchExactly);
    if (!found.isEmpty()) {
        window.Controls().LsFileListView261->setCurrentItem(found.front());
        window.GetButtonClick();
    }
}

// A machine without USB adapters has no by-id links, and its list would show
// the built-in ports alone. Pseudo-terminals stand in for two adapters, linked
// under the names the system gives such adapters; what the adapters would say
// they are stays out, as the pseudo-terminals say nothing.
std::vector<feedrail::FileDescriptor> StandInAdapters(const QString& byIdFolder) {
    std::vector<feedrail::FileDescriptor> masters;
    for (const char* name : {"usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                             "usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0"}) {
        feedrail::FileDescriptor master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (master.Valid() && ::grantpt(master.Get()) == 0 && ::unlockpt(master.Get()) == 0 &&
            QFile::link(QString::fromLocal8Bit(::ptsname(master.Get())),
                        byIdFolder + '/' + QLatin1String(name))) {
            masters.push_back(std::move(master));
        }
    }
    return masters;
}

// The list is a window of its own, wider than the dialog: the shot puts the
// two together as they stand on the screen, with nothing behind them.
bool ShootPortList(QDialog& settings, const QString& path) {
    auto& field = *settings.findChild<feedrail::PortField*>(QStringLiteral("CommDeviceCombo"));
    const QTemporaryDir standInFolder(QDir::tempPath() + QStringLiteral("/by-id-XXXXXX"));
    std::vector<feedrail::FileDescriptor> standIns;
    if (QDir(QStringLiteral("/dev/serial/by-id")).isEmpty()) {
        standIns = StandInAdapters(standInFolder.path());
        field.SetPortList(feedrail::PortList(standInFolder.path()));
    }
    settings.show();
    field.showPopup();
    QWidget& list = *field.view()->window();
    PumpUntil([&] { return list.isVisible(); }, 2000);
    const QRect area = settings.geometry().united(list.geometry());
    QPixmap shot(area.size());
    shot.fill(Qt::transparent);
    QPainter painter(&shot);
    painter.drawPixmap(settings.geometry().topLeft() - area.topLeft(), settings.grab());
    painter.drawPixmap(list.geometry().topLeft() - area.topLeft(), list.grab());
    painter.end();
    field.hidePopup();
    settings.hide();
    field.SetPortList(feedrail::PortList());
    return shot.save(path);
}

// Part way: the product line in its place and the version line sliding in
// after it, over the moving stars. The version is the program's own, read from
// its file in the build.
bool ShootAboutBox(QWidget& window, const QString& path) {
    feedrail::TAbout about(&window);
    const QString program = QApplication::applicationDirPath() + "/../src/feedrail";
    about.EPInfoExe1().ExeName = feedrail::LocalPath(program);
    about.show();
    const feedrail::TBUAppearingLabel& version = about.BUAppearingLabel2();
    PumpUntil([&] { return version.isVisible() && version.x() < 125; }, 10000);
    return about.grab().save(path);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: feedrail-screenshots EXAMPLES-FOLDER OUTPUT-FOLDER\n");
        return 2;
    }
    const QString examples = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir programDir;
    for (const char* name : {"DNC.ini", "DNCUtilities.ini"}) {
        QFile::copy(examples + "/" + name, programDir.filePath(name));
    }
    QDir().mkpath(output);
    QProcess machine;
    if (!StartMachine(machine, programDir.path())) {
        std::fprintf(stderr, "feedrail-screenshots: the simulated control did not start\n");
        return 2;
    }

    feedrail::DialogMessages messages;
    feedrail::Tpunch_d window((programDir.path() + "/").toStdString(), messages);
    messages.SetParent(&window);
    window.show();
    window.DefaultDirectoryTimer1Timer();
    window.CommOpenTimer1Timer();
    Load(window, examples, QStringLiteral("O1000.nc"));
    QApplication::processEvents();
    bool saved = window.grab().save(output + "/main-window.png");

    window.Form2().show();
    QApplication::processEvents();
    saved = window.Form2().grab().save(output + "/dnc-settings.png") && saved;
    window.Form2().hide();
    saved = ShootPortList(window.Form2(), output + "/settings-port-list.png") && saved;
    auto* automation = window.findChild<QDialog*>(QStringLiteral("Automation"));
    automation->show();
    // As an operator would fill it in for a mill that files what it punches.
    for (const char* box : {"AutoReceive", "RemoteRequest", "TransferLog"}) {
        automation->findChild<QCheckBox*>(QLatin1String(box))->setChecked(true);
    }
    automation->findChild<QLineEdit*>(QStringLiteral("ReceiveDir"))
        ->setText(QStringLiteral("/srv/nc/mill/received/"));
    QApplication::processEvents();
    saved = automation->grab().save(output + "/automation.png") && saved;
    automation->hide();
    saved = ShootAboutBox(window, output + "/about.png") && saved;

    // Part way through a send the simulated control has started with its XON.
    // The send runs inside the event loop, so the picture is taken from it.
    Load(window, examples, QStringLiteral("O2000.nc"));
    QLabel& status = *window.Controls().Label3;
    bool sending = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!sending && status.text().startsWith("Sending Data")) {
            sending = true;
            QTimer::singleShot(1500, &window, [&] {
                saved = window.grab().save(output + "/sending.png") && saved;
                QApplication::postEvent(
                    &window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
            });
        }
    });
    watch.start(20);
    window.SendButtonClick();
    PumpUntil([&] { return status.text().contains("Cancel"); }, 15000);
    machine.terminate();
    machine.waitForFinished();
    if (!saved || !sending) {
        std::fprintf(stderr, "feedrail-screenshots: %s\n",
                     sending ? "cannot write the pictures" : "the send did not start");
        return 2;
    }
    return 0;
}
