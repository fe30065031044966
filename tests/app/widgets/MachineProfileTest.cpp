#include "app/widgets/Tpunch_d.h"
#include "profiles/widgets/TForm2.h"
#include "support/PseudoTerminal.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"

#include <QComboBox>
#include <QLabel>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace feedrail {
namespace {

using test::FakeMessages;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// The real window, offscreen, on a DNC.ini of its own: selecting a machine
// reads its section and stores it back through DNC Settings.
class MachineProfileTest : public ::testing::Test {
protected:
    void Start(const std::string& profiles) {
        WriteFile(folder_.File("DNC.ini"), profiles);
        window_ = std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
    }

    void Select(int index) {
        window_->Controls().ComboBox1->setCurrentIndex(index);
        window_->ComboBox1Change();
    }

    QString Status() const { return window_->Controls().Label3->text(); }

    TempFolder folder_;
    FakeMessages messages_;
    std::unique_ptr<Tpunch_d> window_;
};

// Every key of the odd machine differs from the first machine's, so that a
// value carried over from it shows.
std::string FirstMachine(const std::string& folder) {
    return "[Haas]\nCommBaudRate=9600\nCommPort=3\nPunchType=3\nCommHandshake=4\n"
           "CommParity=E\nCommDataBits=7\nCommStopBits=2\nEOB=2\nPunchWait=0\nLeader=1\n"
           "DefaultDir=" +
           folder + "/\n";
}

std::string OddMachine(const std::string& key, const std::string& value,
                       const std::string& folder) {
    const std::pair<std::string, std::string> keys[] = {
        {"CommBaudRate", "4800"},     {"CommPort", "1"},
        {"PunchType", "2"},           {"CommHandshake", "1"},
        {"CommParity", "O"},          {"CommDataBits", "8"},
        {"CommStopBits", "1"},        {"EOB", "1"},
        {"PunchWait", "0"},           {"Leader", "0"},
        {"DefaultDir", folder + "/"},
    };
    std::string section = "[Fanuc]\n";
    for (const auto& [name, usual] : keys) {
        section += name + "=" + (name == key ? value : usual) + "\n";
    }
    return section;
}

// Selecting a machine whose DNC.ini holds a value the dialog has no button
// for writes nothing over it and never takes the machine before's value:
// one that means something is used as it is, anything else gives way to the
// dialog's default, and the status line names it.
TEST_F(MachineProfileTest, AValueTheDialogCannotShowStaysInDncIniAndIsUsedOrNamed) {
    const auto setting = [](std::int32_t ActiveSettings::*member) {
        return [member](const ActiveSettings& s) { return static_cast<std::int64_t>(s.*member); };
    };
    const auto byte = [](std::uint8_t ActiveSettings::*member) {
        return [member](const ActiveSettings& s) { return static_cast<std::int64_t>(s.*member); };
    };
    const struct {
        const char* key;
        const char* value;
        std::function<std::int64_t(const ActiveSettings&)> inForce;
        std::int64_t expected;
        const char* used;
    } cases[] = {
        {"CommPort", "5", byte(&ActiveSettings::CommPort), 5, nullptr},
        {"CommPort", "0", byte(&ActiveSettings::CommPort), 2, "Com2"},
        {"CommBaudRate", "14400", setting(&ActiveSettings::CommBaudRate), 14400, nullptr},
        {"CommBaudRate", "250000", setting(&ActiveSettings::CommBaudRate), 250000, nullptr},
        {"CommBaudRate", "fast", setting(&ActiveSettings::CommBaudRate), 2400, "2400"},
        {"CommDataBits", "6", byte(&ActiveSettings::CommDataBits), 8, "8"},
        {"CommStopBits", "3", byte(&ActiveSettings::CommStopBits), 1, "1"},
        {"PunchType", "7", setting(&ActiveSettings::PunchType), 1, "ASCII"},
        {"CommHandshake", "2", setting(&ActiveSettings::CommHandshake), 2, nullptr},
        {"CommHandshake", "9", setting(&ActiveSettings::CommHandshake), 0, "Xon / Xoff"},
        {"EOB", "5", setting(&ActiveSettings::EOB), 0, "CR/LF"},
        {"CommParity", "7",
         [](const ActiveSettings& s) { return static_cast<std::int64_t>(s.CommParity); }, 'N',
         "None"},
        {"Leader", "yes",
         [this](const ActiveSettings&) {
             return static_cast<std::int64_t>(window_->Form2().Leader());
         },
         0, "Off"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        const std::string profiles =
            FirstMachine(folder_.Path()) + OddMachine(c.key, c.value, folder_.Path());
        Start(profiles);
        window_->DefaultDirectoryTimer1Timer();
        Select(1);
        EXPECT_EQ(ReadFile(folder_.File("DNC.ini")), profiles);
        EXPECT_EQ(c.inForce(window_->Settings()), c.expected);
        const QString notice =
            c.used == nullptr
                ? QString()
                : QStringLiteral("DNC.ini: %1=%2 of Fanuc is not understood; %3 is used")
                      .arg(QLatin1String(c.key), QLatin1String(c.value), QLatin1String(c.used));
        if (notice.isEmpty()) {
            EXPECT_FALSE(Status().contains("DNC.ini")) << Status().toStdString();
        } else {
            EXPECT_EQ(Status(), notice);
        }
        window_->CommOpenTimer1Timer();
        EXPECT_EQ(window_->Comm1().DeviceName(),
                  "com" + std::to_string(window_->Settings().CommPort));
        Select(0);
        EXPECT_EQ(ReadFile(folder_.File("DNC.ini")), profiles) << "the first machine changed";
    }
}

// A port number wrapped into a byte would name another port: -5 is no COM251.
// The first port-open tick, before any selection, already refuses it.
TEST_F(MachineProfileTest, APortNumberOutsideOneTo255IsRefusedAndNamed) {
    test::PseudoTerminal machine;
    std::filesystem::create_symlink(machine.SlavePath(), folder_.File("com2"));
    for (const std::string value : {"-5", "0", "256"}) {
        SCOPED_TRACE(value);
        Start("[Fanuc]\nCommPort=" + value + "\n");
        window_->CommOpenTimer1Timer();
        EXPECT_EQ(window_->Comm1().DeviceName(), "com2");
        EXPECT_TRUE(Status().contains("CommPort=" + QString::fromStdString(value)))
            << Status().toStdString();
        window_->DefaultDirectoryTimer1Timer();
        window_->CommOpenTimer1Timer();
        EXPECT_EQ(window_->Comm1().DeviceName(), "com2");
        EXPECT_TRUE(Status().contains("CommPort=" + QString::fromStdString(value)))
            << Status().toStdString();
    }
}

// The reader of DNC.ini reads the first of two sections of one name (letter
// case aside): the list shows the machine once, and the status line says so,
// after the port has opened too.
TEST_F(MachineProfileTest, AMachineNamedTwiceIsListedOnceAndTheStatusLineSaysSo) {
    test::PseudoTerminal machine;
    std::filesystem::create_symlink(machine.SlavePath(), folder_.File("com2"));
    Start("[Fanuc]\nCommPort=2\n[Haas]\nCommPort=200\n[fanuc]\nCommPort=3\n");
    QStringList machines;
    for (int i = 0; i < window_->Controls().ComboBox1->count(); ++i) {
        machines << window_->Controls().ComboBox1->itemText(i);
    }
    EXPECT_EQ(machines, (QStringList{"Fanuc", "Haas"}));
    const QString notice = "DNC.ini: [fanuc] is there more than once; the first is used";
    window_->DefaultDirectoryTimer1Timer();
    EXPECT_EQ(Status(), notice);
    window_->CommOpenTimer1Timer();
    EXPECT_EQ(Status(), "COM2 Ready. " + notice);
}

} // namespace
} // namespace feedrail
