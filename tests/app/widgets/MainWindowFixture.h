#pragma once

#include "about/widgets/TAbout.h"
#include "app/widgets/ProgramEditor.h"
#include "app/widgets/Tpunch_d.h"
#include "filelist/widgets/TLsFileListView26.h"
#include "profiles/widgets/TForm2.h"
#include "serial/EVaCommError.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"
#include "support/widgets/PumpEvents.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace feedrail::test {

inline QStringList Items(const QComboBox& list) {
    QStringList items;
    for (int i = 0; i < list.count(); ++i) {
        items << list.itemText(i);
    }
    return items;
}

// The real main window, offscreen, on a program folder of its own.
class MainWindowTest : public ::testing::Test {
protected:
    void Start(const std::string& profiles, const std::string& utilities = {}) {
        if (!profiles.empty()) {
            WriteFile(folder_.File("DNC.ini"), profiles);
        }
        if (!utilities.empty()) {
            WriteFile(folder_.File("DNCUtilities.ini"), utilities);
        }
        window_ = std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
    }

    const MainWindowControls& Controls() const { return window_->Controls(); }
    QString Status() const { return Controls().Label3->text(); }
    // Shows the test's folder in the file pane with `name` selected.
    void SelectInFolder(const char* name) {
        TLsFileListView26& files = *Controls().LsFileListView261;
        files.SetDirectory(QString::fromStdString(folder_.Path()));
        files.setCurrentItem(files.findItems(name, Qt::MatchExactly).front());
    }
    std::string Profiles() const { return ReadFile(folder_.File("DNC.ini")); }

    TempFolder folder_;
    FakeMessages messages_;
    std::unique_ptr<Tpunch_d> window_;
};

} // namespace feedrail::test
