#pragma once

#include "filelist/widgets/FakeDesktop.h"
#include "filelist/widgets/FileListOperations.h"
#include "filelist/widgets/TLsFileListView26.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <filesystem>
#include <gtest/gtest.h>

namespace feedrail::test {

inline QString Q(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// A file list offscreen on a folder of part programs:
//   O1000.nc  O2000.tap  O3000  notes.txt  sub/  sub/inner.nc
// with recorded messages and prepared dialog answers.
class FileListFixture : public ::testing::Test {
protected:
    FileListFixture() {
        WriteFile(folder_.File("O1000.nc"), "%\nO1000\nG0 X1\n%\n");
        WriteFile(folder_.File("O2000.tap"), "%\nO2000\n%\n");
        WriteFile(folder_.File("O3000"), "%\nO3000\n%\n");
        WriteFile(folder_.File("notes.txt"), "notes");
        std::filesystem::create_directory(folder_.File("sub"));
        WriteFile(folder_.File("sub/inner.nc"), "%\nO9000\n%\n");
        list_.SetMessages(&messages_);
        list_.SetDesktop(&desktop_);
        list_.Operations().SetProfileFile(folder_.File("DNC.ini"));
        list_.resize(600, 300);
        list_.show();
        list_.SetDirectory(Folder());
    }

    QString Folder() const { return Q(folder_.Path() + "/"); }
    QString Path(const std::string& name) const { return Q(folder_.File(name)); }

    QTreeWidgetItem* Item(const QString& caption) {
        const QList<QTreeWidgetItem*> found = list_.findItems(caption, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.front();
    }

    // Selects the rows of these captions only, the first one current.
    void Select(const QStringList& captions) {
        list_.clearSelection();
        for (const QString& caption : captions) {
            QTreeWidgetItem* item = Item(caption);
            ASSERT_NE(item, nullptr) << caption.toStdString();
            if (caption == captions.front()) {
                list_.setCurrentItem(item);
            }
            item->setSelected(true);
        }
    }

    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&list_, &press);
    }

    QStringList Captions() const {
        QStringList captions;
        for (int i = 0; i < list_.topLevelItemCount(); ++i) {
            captions << list_.topLevelItem(i)->text(0);
        }
        return captions;
    }

    TempFolder folder_;
    FakeMessages messages_;
    FakeDesktop desktop_;
    TLsFileListView26 list_;
};

} // namespace feedrail::test
