// Feedrail: sends CNC part programs to machine tools over a serial line and
// collects the programs they punch.

#include "about/VersionOption.h"
#include "app/widgets/Tpunch_d.h"
#include "common/ProfileFolder.h"
#include "common/ProgramDirectory.h"
#include "common/widgets/DialogMessages.h"
#include "common/widgets/TextBridge.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QStandardPaths>
#include <iostream>

int main(int argc, char** argv) {
    if (feedrail::AsksForHelp(argc, argv)) {
        return feedrail::PrintUsage(std::cout, feedrail::ProgramUsage);
    }
    if (feedrail::AsksForVersion(argc, argv)) {
        return feedrail::PrintVersion(std::cout, "feedrail");
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("feedrail"));
    // How a Wayland desktop finds the window's entry and icon.
    QApplication::setDesktopFileName(QStringLiteral("org.feedrail.Feedrail"));
    const QString configFolder =
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    feedrail::DialogMessages messages;
    const QString programsFolder = QStandardPaths::writableLocation(QStandardPaths::HomeLocation) +
                                   QStringLiteral("/NC Programs");
    feedrail::Tpunch_d window(feedrail::ChooseProfileFolder(feedrail::ProgramDirectory(),
                                                            feedrail::LocalPath(configFolder),
                                                            feedrail::LocalPath(programsFolder)),
                              messages);
    messages.SetParent(&window);
    QApplication::setWindowIcon(window.windowIcon());
    window.adjustSize();
    if (!window.RestorePlace()) {
        window.move(window.screen()->availableGeometry().center() - window.rect().center());
    }
    window.show();
    // The editor holds one program: of the files named, the first.
    const QStringList files = QApplication::arguments().mid(1);
    if (!files.isEmpty()) {
        window.OpenProgram(feedrail::LocalPath(QFileInfo(files.first()).absoluteFilePath()));
    }
    return QApplication::exec();
}
