// feedrail-screenshots: renders the main window, the "DNC Settings" dialog,
// the about box and a send to the simulated control with the example profiles
// to PNG files, for the documentation. feedrail-machine must stand beside it,
// and the program in the build's src/ folder.
//   feedrail-screenshots EXAMPLES-FOLDER OUTPUT-FOLDER

#include "about/widgets/TAbout.h"
#include "about/widgets/TBUAppearingLabel.h"
#include "app/widgets/Tpunch_d.h"
#include "common/widgets/DialogMessages.h"
#include "common/widgets/TextBridge.h"
#include "filelist/widgets/TLsFileListView26.h"
#include "profiles/widgets/TForm2.h"

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
#include <QPixmap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <functional>

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
