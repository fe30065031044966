#include "app/widgets/Tpunch_d.h"
#include "profiles/widgets/TAutomation.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace feedrail {
namespace {

using test::FakeMessages;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

class AutomationDialogTest : public ::testing::Test {
protected:
    void Start(const std::string& profiles) {
        WriteFile(folder_.File("DNC.ini"), profiles);
        window_ = std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
        dialog_ = window_->findChild<TAutomation*>(QStringLiteral("Automation"));
        ASSERT_NE(dialog_, nullptr);
    }

    template <typename Widget> Widget& Find(const char* name) const {
        auto* widget = dialog_->findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }

    // Settings > Automation..., where `edit` changes the controls the
    // profile filled and Save is pressed.
    void SaveThroughTheMenu(const std::function<void()>& edit) {
        QTimer::singleShot(0, dialog_, [this, edit] {
            edit();
            dialog_->SaveClick();
            // A Save that did not close the dialog fails the test, not hangs it.
            if (dialog_->isVisible()) {
                ADD_FAILURE() << "Save left the dialog open";
                dialog_->reject();
            }
        });
        window_->Automation1Click();
    }

    TempFolder folder_;
    FakeMessages messages_;
    std::unique_ptr<Tpunch_d> window_;
    TAutomation* dialog_ = nullptr;
};

TEST_F(AutomationDialogTest, SaveWritesTheFiveKeysAndTheWindowTakesThemAtOnce) {
    const std::string before = "[Mill]\nCommPort=2\n; keep me\nZeta=1\n\n[Lathe]\nCommPort=3\n";
    Start(before);
    dialog_->LoadSettings();
    for (const char* box : {"AutoReceive", "RemoteRequest", "TransferLog", "KeepVersions"}) {
        EXPECT_FALSE(Find<QCheckBox>(box).isChecked()) << box << " is off when missing";
    }
    messages_.ConfirmAnswer = false;
    SaveThroughTheMenu([this] {
        Find<QCheckBox>("AutoReceive").setChecked(true);
        Find<QLineEdit>("ReceiveDir").setText(QStringLiteral("/srv/nc/in"));
        Find<QCheckBox>("TransferLog").setChecked(true);
        Find<QCheckBox>("KeepVersions").setChecked(true);
    });
    EXPECT_EQ(messages_.Questions,
              QStringList{"The receive folder /srv/nc/in/ does not exist. Make it?"});

    EXPECT_EQ(ReadFile(folder_.File("DNC.ini")),
              "[Mill]\nCommPort=2\n; keep me\nZeta=1\nAutoReceive=1\nReceiveDir=/srv/nc/in/\n"
              "RemoteRequest=0\nTransferLog=1\nKeepVersions=1\n\n[Lathe]\nCommPort=3\n");
    const AutomationSettings& taken = window_->Unattended().Settings();
    EXPECT_TRUE(taken.AutoReceive);
    EXPECT_EQ(taken.ReceiveDir, "/srv/nc/in/");
    EXPECT_FALSE(taken.RemoteRequest);
    EXPECT_TRUE(taken.KeepVersions);
    EXPECT_TRUE(taken.TransferLog);
    EXPECT_TRUE(messages_.Errors.empty());
}

TEST_F(AutomationDialogTest, WithoutAMachineNothingIsWritten) {
    Start("");
    Find<QCheckBox>("AutoReceive").setChecked(true);
    dialog_->SaveClick();
    EXPECT_EQ(ReadFile(folder_.File("DNC.ini")), "");
    EXPECT_EQ(messages_.Errors, QStringList{QStringLiteral("Add a machine in DNC Settings first")});
    EXPECT_FALSE(window_->Unattended().Settings().AutoReceive);
}

// A relative receive folder lies in the machine's folder; one that is not
// there is made when the operator says so.
TEST_F(AutomationDialogTest, AMissingReceiveFolderIsMadeOnRequest) {
    Start("[Mill]\nDefaultDir=" + folder_.Path() + "\n");
    SaveThroughTheMenu([this] {
        Find<QCheckBox>("AutoReceive").setChecked(true);
        Find<QLineEdit>("ReceiveDir").setText(QStringLiteral("in/new"));
    });
    EXPECT_EQ(messages_.Questions.size(), 1);
    EXPECT_TRUE(std::filesystem::is_directory(folder_.File("in/new")));
}

} // namespace
} // namespace feedrail
