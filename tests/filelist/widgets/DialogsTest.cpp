#include "filelist/widgets/AttributesDialog.h"
#include "filelist/widgets/SendToFolderDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

TEST(FileListDialogsTest, SetAttributesShowsTheFileAndOnlyWhatLinuxCanChange) {
    const struct {
        ItemAttributes current;
        ItemAttributes chosen;
    } cases[] = {
        {{false, false}, {true, false}},
        {{true, true}, {false, true}},
    };
    for (const auto& c : cases) {
        AttributesDialog dialog(QStringLiteral("O1000.nc"), c.current, nullptr);
        EXPECT_EQ(dialog.windowTitle(), "Set Attributes");
        EXPECT_EQ(dialog.size(), QSize(266, 172));
        EXPECT_EQ(dialog.findChild<QLabel*>("FileName")->text(), "O1000.nc");
        auto* readOnly = dialog.findChild<QCheckBox*>("ReadOnly");
        auto* hidden = dialog.findChild<QCheckBox*>("Hidden");
        EXPECT_EQ(readOnly->isChecked(), c.current.ReadOnly);
        EXPECT_EQ(hidden->isChecked(), c.current.Hidden);
        for (const char* box : {"Archive", "System"}) {
            EXPECT_FALSE(dialog.findChild<QCheckBox*>(box)->isEnabled()) << box;
            EXPECT_FALSE(dialog.findChild<QCheckBox*>(box)->isChecked()) << box;
        }
        readOnly->setChecked(c.chosen.ReadOnly);
        hidden->setChecked(c.chosen.Hidden);
        EXPECT_EQ(dialog.Chosen(), c.chosen);
    }
}

TEST(FileListDialogsTest, SendToAnyFolderOffersTheFolderAndBrowse) {
    SendToFolderDialog dialog(QStringLiteral("/nc/"), nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Send to any folder");
    EXPECT_NE(dialog.findChild<QLabel*>()->text().indexOf("Please enter the send to path"), -1);
    QStringList buttons;
    for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
        buttons << button->text();
    }
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"Browse", "Cancel", "OK"}));
    EXPECT_EQ(dialog.Folder(), "/nc/");
    dialog.findChild<QLineEdit*>("Path")->setText("/srv/programs");
    EXPECT_EQ(dialog.Folder(), "/srv/programs");
}

} // namespace
} // namespace feedrail
