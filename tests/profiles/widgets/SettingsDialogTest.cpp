#include "app/widgets/Tpunch_d.h"
#include "profiles/ActiveSettings.h"
#include "profiles/widgets/TForm2.h"
#include "profiles/widgets/TForm3.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace feedrail {
namespace {

using test::FakeMessages;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

class SettingsDialogTest : public ::testing::Test {
protected:
    void Start(const std::string& profiles) {
        WriteFile(folder_.File("DNC.ini"), profiles);
        window_ = std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
    }

    TForm2& Dialog() const { return window_->Form2(); }
    template <typename Widget> Widget& Find(const char* name) const {
        auto* widget = Dialog().findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }
    bool Checked(const char* name) const { return Find<QRadioButton>(name).isChecked(); }

    TempFolder folder_;
    FakeMessages messages_;
    std::unique_ptr<Tpunch_d> window_;
};

TEST_F(SettingsDialogTest, LoadSettingsChecksTheProfilesButtons) {
    Start("[Lathe]\nCommBaudRate=4800\nPunchType=2\nEOB=1\nCommStopBits=2\nCommDataBits=7\n"
          "CommHandshake=4\nCommParity=Odd\nCommPort=3\nPunchWait=7\nLeader=1\nDefaultDir=/nc\n");
    Dialog().Activate();
    for (const char* name : {"BaudRate4800", "FormatEIA", "EndofLineLFCRCR", "StopBits2",
                             "DataBits7", "HandshakeRTSCTS", "ParityOdd", "CommPortCom3"}) {
        EXPECT_TRUE(Checked(name)) << name;
    }
    EXPECT_EQ(Find<QLineEdit>("CharDelayEdit").text(), "7");
    EXPECT_EQ(Find<QLineEdit>("DirectoryEdit").text(), "/nc/");
    EXPECT_EQ(Find<QLineEdit>("MachineNameEdit").text(), "Lathe");
    EXPECT_TRUE(Dialog().Leader());
}

TEST_F(SettingsDialogTest, TheCharDelayTellsItsPauseInTime) {
    Start("[Lathe]\nPunchWait=100\n");
    Dialog().Activate();
    QLineEdit& delay = Find<QLineEdit>("CharDelayEdit");
    EXPECT_EQ(delay.toolTip(), "Pauses 10 ms after each line");
    const struct {
        const char* text;
        const char* tip;
    } cases[] = {
        {"0", "No pause after each line"},
        {"1000", "Pauses 10 s after each line"},
        {"x", "Not a whole number"},
    };
    for (const auto& c : cases) {
        delay.setText(c.text);
        EXPECT_EQ(delay.toolTip(), c.tip) << c.text;
    }
}

// A value no button stands for checks none, stays in the file as it is and
// is the one in effect; a button the operator checks replaces it.
TEST_F(SettingsDialogTest, AValueWithoutAButtonChecksNoneAndStaysInTheFile) {
    Start("[A]\nCommHandshake=1\nCommBaudRate=9600\n[B]\nCommHandshake=2\nCommBaudRate=14400\n");
    Dialog().Activate();
    window_->Controls().ComboBox1->setCurrentIndex(1);
    Dialog().LoadSettings();
    for (const char* name : {"HandshakeNone", "HandshakeXonXoff", "BaudRate9600"}) {
        EXPECT_FALSE(Checked(name)) << name;
    }
    Dialog().StoreSettings();
    EXPECT_NE(ReadFile(folder_.File("DNC.ini")).find("[B]\nCommHandshake=2\nCommBaudRate=14400\n"),
              std::string::npos);
    EXPECT_EQ(window_->Settings().CommBaudRate, 14400);
    EXPECT_EQ(window_->Settings().CommHandshake, 2);

    Find<QRadioButton>("BaudRate19200").setChecked(true);
    Dialog().StoreSettings();
    EXPECT_NE(ReadFile(folder_.File("DNC.ini")).find("[B]\nCommHandshake=2\nCommBaudRate=19200\n"),
              std::string::npos);
}

// Enter in a field of DNC Settings saves; it never opens Add Machine.
TEST_F(SettingsDialogTest, TheDialogOpensOnAFieldAndEnterSaves) {
    Start("[Mill]\nCommBaudRate=4800\n");
    bool addMachineOpened = false;
    QTimer::singleShot(200, &Dialog(), [this, &addMachineOpened] {
        addMachineOpened = Dialog().Form3().isVisible();
        Dialog().Form3().reject();
    });
    Dialog().open();
    QApplication::setActiveWindow(&Dialog());
    EXPECT_EQ(Dialog().focusWidget(), &Find<QLineEdit>("DirectoryEdit"));
    Find<QRadioButton>("BaudRate9600").setChecked(true);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(Dialog().focusWidget(), &enter);
    EXPECT_FALSE(addMachineOpened);
    EXPECT_EQ(Dialog().result(), QDialog::Accepted);
    EXPECT_FALSE(Dialog().isVisible());
    EXPECT_NE(ReadFile(folder_.File("DNC.ini")).find("CommBaudRate=9600"), std::string::npos);
}

TEST_F(SettingsDialogTest, SaveStoresTheControlsAndCancelKeepsThemEdited) {
    Start("[Mill]\nCommBaudRate=4800\n");
    Dialog().Activate();
    Find<QRadioButton>("BaudRate19200").setChecked(true);
    Find<QCheckBox>("CheckBox2").setChecked(true);
    Dialog().reject();
    EXPECT_EQ(ReadFile(folder_.File("DNC.ini")), "[Mill]\nCommBaudRate=4800\n");
    EXPECT_TRUE(Checked("BaudRate19200"));
    EXPECT_TRUE(Dialog().Leader()) << "a cancelled Leader box is still the switch in effect";

    Find<QLineEdit>("CharDelayEdit").setText("12");
    Find<QLineEdit>("DirectoryEdit").setText("/nc/mill");
    Dialog().SaveClick();
    EXPECT_EQ(Dialog().result(), QDialog::Accepted);
    EXPECT_EQ(ReadFile(folder_.File("DNC.ini")),
              "[Mill]\nCommBaudRate=19200\nCommPort=2\nPunchType=1\nCommHandshake=0\n"
              "CommParity=N\nCommDataBits=8\nCommStopBits=1\nEOB=0\nPunchWait=12\nLeader=1\n"
              "DefaultDir=/nc/mill/\n");
    EXPECT_EQ(window_->Settings().CommBaudRate, 19200);
    EXPECT_EQ(window_->Settings().DefaultDir, "/nc/mill/");
    EXPECT_EQ(window_->Settings().PunchWait, 0) << "the delay takes effect at the next selection";
}

TEST_F(SettingsDialogTest, TheHighRatesLoadAndStore) {
    for (const std::string rate : {"38400", "57600", "115200"}) {
        Start("[Mill]\nCommBaudRate=" + rate + "\n");
        Dialog().Activate();
        EXPECT_TRUE(Checked(("BaudRate" + rate).c_str())) << rate;
        Find<QRadioButton>("BaudRate9600").setChecked(true);
        Dialog().StoreSettings();
        Find<QRadioButton>(("BaudRate" + rate).c_str()).setChecked(true);
        Dialog().StoreSettings();
        EXPECT_TRUE(ReadFile(folder_.File("DNC.ini")).starts_with("[Mill]\nCommBaudRate=" + rate))
            << rate;
        EXPECT_EQ(window_->Settings().CommBaudRate, std::stoi(rate));
    }
}

// A profile that never named a device is saved byte for byte as it was.
TEST_F(SettingsDialogTest, TheDeviceLoadsStoresAndClears) {
    const auto profile = [](const std::string& device, const std::string& added) {
        return "[Mill]\nCommBaudRate=4800\nCommPort=1\n" + device +
               "PunchType=3\nCommHandshake=4\nCommParity=E\nCommDataBits=7\nCommStopBits=2\n"
               "EOB=1\nPunchWait=5\nLeader=1\nDefaultDir=/nc/\n" +
               added;
    };
    const struct {
        std::string before;
        const char* shown;
        const char* typed;
        std::string after;
        const char* device;
    } cases[] = {
        {profile("", ""), "", nullptr, profile("", ""), ""},
        {profile("CommDevice=/dev/ttyUSB0\n", ""), "/dev/ttyUSB0", nullptr,
         profile("CommDevice=/dev/ttyUSB0\n", ""), "/dev/ttyUSB0"},
        {profile("", ""), "", " tcp://[::1]:4001 ", profile("", "CommDevice=tcp://[::1]:4001\n"),
         "tcp://[::1]:4001"},
        {profile("CommDevice=/dev/ttyUSB0\n", ""), "/dev/ttyUSB0", " ",
         profile("CommDevice=\n", ""), ""},
    };
    for (const auto& c : cases) {
        Start(c.before);
        window_->Settings().CommDevice = "stale";
        Dialog().Activate();
        auto& field = Find<QComboBox>("CommDeviceCombo");
        EXPECT_EQ(field.currentText(), c.shown) << c.before;
        if (c.typed != nullptr) {
            field.setEditText(c.typed);
        }
        Dialog().SaveClick();
        EXPECT_EQ(ReadFile(folder_.File("DNC.ini")), c.after);
        EXPECT_EQ(window_->Settings().CommDevice, c.device);
    }
}

TEST_F(SettingsDialogTest, ADeviceThatIsNoPathOrAddressIsRefusedBeforeAnythingIsWritten) {
    const std::string profiles = "[Mill]\nCommBaudRate=4800\n";
    Start(profiles);
    Dialog().open();
    Find<QRadioButton>("BaudRate9600").setChecked(true);
    Find<QComboBox>("CommDeviceCombo").setEditText("ttyUSB0");
    Dialog().SaveClick();
    EXPECT_EQ(messages_.Errors,
              QStringList{"\"ttyUSB0\" is no device: give a path such as "
                          "/dev/ttyUSB0, rfc2217://host:port or tcp://host:port"});
    EXPECT_TRUE(Dialog().isVisible());
    EXPECT_EQ(ReadFile(folder_.File("DNC.ini")), profiles);
    // A network address written wrongly says what is wrong with it.
    Find<QComboBox>("CommDeviceCombo").setEditText("rfc2217://lathe-box:99999");
    Dialog().SaveClick();
    EXPECT_EQ(messages_.Errors.back(),
              "Invalid port number 99999 in rfc2217://lathe-box:99999 (1 to 65535)");
    EXPECT_TRUE(Dialog().isVisible());
    EXPECT_EQ(ReadFile(folder_.File("DNC.ini")), profiles);
    Dialog().reject();
}

// A DNC.ini without write bits is kept even from root. The port reopens with
// the settings in force, so none of the refused ones may be among them.
TEST_F(SettingsDialogTest, ASaveThatCannotBeWrittenLeavesTheSettingsInForceAsTheyWere) {
    const std::string profiles = "[Mill]\nCommBaudRate=4800\nCommPort=3\nDefaultDir=/nc/\n";
    Start(profiles);
    const ActiveSettings before = window_->Settings();
    std::filesystem::permissions(folder_.File("DNC.ini"), std::filesystem::perms::owner_read);
    Dialog().open();
    Find<QRadioButton>("BaudRate9600").setChecked(true);
    Find<QRadioButton>("CommPortCom1").setChecked(true);
    Find<QLineEdit>("DirectoryEdit").setText("/nc/mill");
    Dialog().SaveClick();
    EXPECT_EQ(messages_.Errors,
              QStringList{QString::fromStdString("Unable to write to " + folder_.File("DNC.ini") +
                                                 ": Permission denied")});
    EXPECT_TRUE(Dialog().isVisible());
    Dialog().reject();
    EXPECT_EQ(window_->Settings(), before);
    EXPECT_EQ(ReadFile(folder_.File("DNC.ini")), profiles);
}

// A selection loads the profile into the controls and stores it again: every
// value must come back as it was read. Names and folders are bytes in any
// code page, which the list and the fields show as Latin-1.
TEST_F(SettingsDialogTest, ALoadAndStorePassGivesBackTheProfileItRead) {
    const auto profile = [](const std::string& header, const std::string& folderLine) {
        return header +
               "\nCommBaudRate=4800\nCommPort=1\nPunchType=3\nCommHandshake=4\nCommParity=E\n"
               "CommDataBits=7\nCommStopBits=2\nEOB=1\nPunchWait=5\nLeader=1\n" +
               folderLine + "\n";
    };
    const struct {
        const char* name;
        std::string machine;
        std::string before;
        std::string after;
        std::string folder;
    } cases[] = {
        {"code-page name and folder", "Fr\xE4se", profile("[Fr\xE4se]", "DefaultDir=/nc/M\xFChle/"),
         profile("[Fr\xE4se]", "DefaultDir=/nc/M\xFChle/"), "/nc/M\xFChle/"},
        // A value that reads as it would be written is left as it stands.
        {"quoted folder", "Mill", profile("[Mill]", "DefaultDir=\"/home/op/NC Programs/\""),
         profile("[Mill]", "DefaultDir=\"/home/op/NC Programs/\""), "/home/op/NC Programs/"},
        {"brackets in the name", "Lathe [2]", profile("[Lathe [2]]", "DefaultDir=/nc/"),
         profile("[Lathe [2]]", "DefaultDir=/nc/"), "/nc/"},
    };
    for (const auto& c : cases) {
        Start(c.before);
        window_->Controls().ComboBox1->setItemText(
            0, QString::fromLatin1(c.machine.data(), static_cast<qsizetype>(c.machine.size())));
        EXPECT_NO_THROW(Dialog().LoadSettings()) << c.name;
        EXPECT_NO_THROW(Dialog().StoreSettings()) << c.name;
        EXPECT_EQ(ReadFile(folder_.File("DNC.ini")), c.after) << c.name;
        EXPECT_EQ(window_->Settings().DefaultDir, c.folder) << c.name;
        EXPECT_EQ(window_->Settings().CommBaudRate, 4800) << c.name;
    }
}

// Without any machine there is no section to store into; the controls still
// become the settings in effect.
TEST_F(SettingsDialogTest, SaveWithoutAnyMachineWritesNothing) {
    for (const std::string profiles : {"[Dirs]\nDir1=Mill,/nc/mill\n", ""}) {
        Start(profiles);
        ASSERT_EQ(window_->Controls().ComboBox1->count(), 0);
        Dialog().Activate();
        Find<QRadioButton>("BaudRate9600").setChecked(true);
        Dialog().SaveClick();
        EXPECT_EQ(messages_.Errors, QStringList{});
        EXPECT_EQ(Dialog().result(), QDialog::Accepted);
        EXPECT_EQ(ReadFile(folder_.File("DNC.ini")), profiles);
        EXPECT_EQ(window_->Settings().CommBaudRate, 9600);
    }
}

TEST_F(SettingsDialogTest, ACharDelayThatIsNoNumberIsRefusedBeforeAnythingIsWritten) {
    const std::string profiles = "[Mill]\nCommBaudRate=4800\n";
    Start(profiles);
    Dialog().open();
    Find<QRadioButton>("BaudRate9600").setChecked(true);
    Find<QLineEdit>("CharDelayEdit").setText("1O");
    Dialog().SaveClick();
    EXPECT_EQ(messages_.Errors, QStringList{"'1O' is not a valid integer value"});
    EXPECT_TRUE(Dialog().isVisible());
    EXPECT_EQ(ReadFile(folder_.File("DNC.ini")), profiles);
    EXPECT_EQ(window_->Settings().CommBaudRate, 4800);
    Dialog().reject();
}

// The buttons follow the transfer, not the dialog: a receive goes on with
// Send locked and Stop at hand.
TEST_F(SettingsDialogTest, ClosingTheDialogDuringAReceiveKeepsTheReceivesButtons) {
    Start("[Mill]\n");
    window_->ReceiveButtonClick();
    Dialog().open();
    Dialog().reject();
    EXPECT_FALSE(window_->Controls().SendButton->isEnabled());
    EXPECT_EQ(window_->Controls().ClearButton->text(), "Stop");
}

TEST_F(SettingsDialogTest, AddMachineAppendsAndSelectsWithoutSelectingTheMachine) {
    const std::string profiles = "[Mill]\nCommBaudRate=4800\n";
    Start(profiles);
    const ActiveSettings before = window_->Settings();
    auto& name = *Dialog().Form3().findChild<QLineEdit*>("Edit1");

    Dialog().Form3().OkClick();
    EXPECT_EQ(window_->Controls().ComboBox1->count(), 1) << "an empty name was added";

    name.setText("Mill");
    Dialog().Form3().OkClick();
    name.setText("Haas VF2");
    Dialog().Form3().OkClick();
    EXPECT_EQ(window_->Controls().ComboBox1->count(), 3);
    EXPECT_EQ(window_->CurrentMachine(), "Haas VF2");
    EXPECT_EQ(window_->Settings().CommBaudRate, before.CommBaudRate);
    EXPECT_EQ(ReadFile(folder_.File("DNC.ini")), profiles);
    EXPECT_EQ(name.text(), "Haas VF2") << "the field keeps its text";

    // The dialog shows the new machine with every default, and Save adds it.
    Dialog().Activate();
    EXPECT_EQ(Dialog().findChild<QLineEdit*>("MachineNameEdit")->text(), "Haas VF2");
    EXPECT_TRUE(Checked("BaudRate2400"));
    EXPECT_TRUE(Checked("FormatASCII"));
    EXPECT_TRUE(Checked("CommPortCom2"));
    Dialog().SaveClick();
    EXPECT_EQ(ReadFile(folder_.File("DNC.ini")),
              profiles + "[Haas VF2]\nCommBaudRate=2400\nCommPort=2\nPunchType=1\n"
                         "CommHandshake=0\nCommParity=N\nCommDataBits=8\nCommStopBits=1\n"
                         "EOB=0\nPunchWait=0\nLeader=0\nDefaultDir=\n");
}

// The device picked in Add Machine is the new machine's in the settings,
// and Save stores it; after a cancelled one the field shows the machine's own.
TEST_F(SettingsDialogTest, NewTakesTheDevicePickedForTheAddedMachine) {
    Start("[Mill]\nCommDevice=/dev/ttyS0\n");
    Dialog().Activate();
    const auto addMachine = [this](bool ok) {
        QTimer::singleShot(0, &Dialog().Form3(), [this, ok] {
            Dialog().Form3().findChild<QLineEdit*>("Edit1")->setText("Lathe");
            Dialog().Form3().findChild<QComboBox*>("DeviceCombo")->setEditText("/dev/ttyUSB1");
            ok ? Dialog().Form3().OkClick() : Dialog().Form3().reject();
        });
        Dialog().NewClick();
    };
    addMachine(false);
    EXPECT_EQ(Find<QComboBox>("CommDeviceCombo").currentText(), "/dev/ttyS0");
    addMachine(true);
    EXPECT_EQ(Find<QComboBox>("CommDeviceCombo").currentText(), "/dev/ttyUSB1");
    Dialog().SaveClick();
    EXPECT_NE(ReadFile(folder_.File("DNC.ini"))
                  .find("[Lathe]\nCommBaudRate=2400\nCommPort=2\n"
                        "CommDevice=/dev/ttyUSB1\n"),
              std::string::npos);
}

// New... adds the machine to the list at once; a DNC Settings dialog
// cancelled after it takes the machine out again, so that no later selection
// writes a section for it.
TEST_F(SettingsDialogTest, CancelAfterNewLeavesNoMachineInTheListOrInDncIni) {
    const std::string profiles = "[Mill]\nCommBaudRate=4800\n";
    Start(profiles);
    Dialog().open();
    QTimer::singleShot(0, &Dialog().Form3(), [this] {
        Dialog().Form3().findChild<QLineEdit*>("Edit1")->setText("Lathe");
        Dialog().Form3().OkClick();
    });
    Dialog().NewClick();
    ASSERT_EQ(window_->CurrentMachine(), "Lathe");
    Find<QPushButton>("CancelButton").click();
    EXPECT_EQ(window_->Controls().ComboBox1->count(), 1);
    EXPECT_EQ(window_->CurrentMachine(), "Mill");
    window_->ComboBox1Change();
    EXPECT_EQ(ReadFile(folder_.File("DNC.ini")).find("Lathe"), std::string::npos);
}

// Saved settings are in force at once: the port reopens with them and the
// summary shows them, as after selecting the machine.
TEST_F(SettingsDialogTest, SavingPutsTheSettingsInForceAtOnce) {
    Start("[Mill]\nCommPort=200\nCommBaudRate=4800\n");
    window_->CommOpenTimer1Timer();
    QTimer::singleShot(0, &Dialog(), [this] {
        Find<QRadioButton>("BaudRate9600").setChecked(true);
        Dialog().SaveClick();
    });
    window_->Settings1Click();
    ASSERT_TRUE(window_->CommOpenTimer1().isActive()) << "the port is not reopened";
    window_->CommOpenTimer1Timer();
    EXPECT_EQ(window_->Comm1().Baudrate(), br9600);
    EXPECT_TRUE(window_->Controls().StaticText1->text().startsWith("9600 Baud"))
        << window_->Controls().StaticText1->text().toStdString();
}

// Browse... picks the folder; Tab enters each group at its checked button.
TEST_F(SettingsDialogTest, BrowsePicksTheFolderAndTabEntersAGroupAtItsCheckedButton) {
    Start("[Mill]\nCommBaudRate=4800\nDefaultDir=/nc/\n");
    Dialog().Activate();
    messages_.FolderAnswer = QStringLiteral("/srv/nc/mill");
    Find<QPushButton>("BrowseButton").click();
    EXPECT_EQ(messages_.FolderStart, "/nc/");
    EXPECT_EQ(Find<QLineEdit>("DirectoryEdit").text(), "/srv/nc/mill/");
    const auto tabStop = [this](const char* name) {
        return (Find<QRadioButton>(name).focusPolicy() & Qt::TabFocus) != 0;
    };
    EXPECT_TRUE(tabStop("BaudRate4800"));
    EXPECT_FALSE(tabStop("BaudRate9600"));
    Find<QRadioButton>("BaudRate9600").setChecked(true);
    EXPECT_TRUE(tabStop("BaudRate9600"));
    EXPECT_FALSE(tabStop("BaudRate4800"));
}

} // namespace
} // namespace feedrail
