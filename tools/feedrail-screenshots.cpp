// feedrail-screenshots: renders the main window and the "DNC Settings" dialog
// with the example profiles to PNG files, for the documentation.
//   feedrail-screenshots EXAMPLES-FOLDER OUTPUT-FOLDER

#include "app/DialogMessages.h"
#include "app/Tpunch_d.h"
#include "filelist/TLsFileListView26.h"
#include "profiles/TForm2.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>

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

    feedrail::DialogMessages messages;
    feedrail::Tpunch_d window((programDir.path() + "/").toStdString(), messages);
    messages.SetParent(&window);
    window.show();
    window.DefaultDirectoryTimer1Timer();
    window.CommOpenTimer1Timer();
    window.Controls().LsFileListView261->SetDirectory(QDir(examples).absolutePath());
    const auto found = window.Controls().LsFileListView261->findItems(QStringLiteral("O1000.nc"),
                                                                      Qt::MatchExactly);
    if (!found.isEmpty()) {
        window.Controls().LsFileListView261->setCurrentItem(found.front());
        window.GetButtonClick();
    }
    QApplication::processEvents();
    const bool mainSaved = window.grab().save(output + "/main-window.png");

    window.Form2().show();
    QApplication::processEvents();
    const bool settingsSaved = window.Form2().grab().save(output + "/dnc-settings.png");
    window.Form2().hide();
    if (!mainSaved || !settingsSaved) {
        std::fprintf(stderr, "feedrail-screenshots: cannot write to %s\n", argv[2]);
        return 2;
    }
    return 0;
}
