// Feedrail: sends CNC part programs to machine tools over a serial line and
// collects the programs they punch.

#include "about/VersionOption.h"
#include "app/widgets/Tpunch_d.h"
#include "common/ProfileFolder.h"
#include "common/ProgramDirectory.h"
#include "common/widgets/DialogMessages.h"
#include "common/widgets/TextBridge.h"

#include <QApplication>
#include <QScreen>
#include <QStandardPaths>
#include <iostream>

int main(int argc, char** argv) {
    if (feedrail::AsksForHelp(argc, argv)) {
        return feedrail::PrintUsage(std::cout, feedrail::ProgramUsage);
    }
    if (feedrail::AsksForVersion(argc, argv)) {
        return feedrail::PrintVersion(std::cout);
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("feedrail"));
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
    window.adjustSize();
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    window.show();
    return QApplication::exec();
}
