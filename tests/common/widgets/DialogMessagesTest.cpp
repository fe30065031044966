#include "common/widgets/DialogMessages.h"

#include "support/TempFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTimer>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

using test::TempFolder;
using test::WriteFile;

// The names the save dialog lists in `folder` under its last name filter.
QStringList ListedUnderLastFilter(QFileDialog& dialog, const QString& folder) {
    dialog.selectNameFilter(dialog.nameFilters().back());
    const auto* model = dialog.findChild<QFileSystemModel*>();
    QStringList names;
    if (model == nullptr) {
        return names;
    }
    QElapsedTimer clock;
    clock.start();
    while (model->rowCount(model->index(folder)) < 2 && clock.elapsed() < 3000) {
        QApplication::processEvents();
    }
    const QModelIndex parent = model->index(folder);
    for (int row = 0; row < model->rowCount(parent); ++row) {
        names << model->index(row, 0, parent).data().toString();
    }
    return names;
}

TEST(DialogMessagesTest, AllFilesListsProgramsWithoutAnExtension) {
    TempFolder folder;
    WriteFile(folder.File("O1000"), "%\n");
    WriteFile(folder.File("O2000.nc"), "%\n");
    const QString path = QString::fromStdString(folder.Path());
    QStringList listed;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        listed = ListedUnderLastFilter(*dialog, path);
        dialog->reject();
    });
    DialogMessages messages;
    messages.AskSaveFileName({path, QString(), {"CNC files (*.nc)", "All files (*.*)"}, "nc"});
    listed.sort();
    EXPECT_EQ(listed, (QStringList{"O1000", "O2000.nc"}));
}

} // namespace
} // namespace feedrail
