#include "app/widgets/EndToEndFixture.h"
#include "app/widgets/MainWindowControls.h"
#include "app/widgets/ProgramEditor.h"
#include "app/widgets/SendFromDialog.h"
#include "app/widgets/Tpunch_d.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using test::PumpUntil;
using test::ReadFile;

// Three tool changes, the third with its T and its M6 on two lines.
const std::string Program = "%\nO1000\nG17 G21 G40 G49 G80 G90\nT1 M6\nG0 G54 X0 Y0 S1000 M3\n"
                            "G1 Z-1. F200\nT2 M6\nG0 X10 Y10\nG1 Z-2.\nT3\nM6\n"
                            "G0 X20 Y20 S800 M3\nG1 Z-3.\nM30\n%\n";
// The head, with a line the operator added, then the program from the T3.
const std::string Sent = "%\nO1000\nG17 G21 G40 G49 G80 G90\nG91 G28 Z0\nT3\nM6\n"
                         "G0 X20 Y20 S800 M3\nG1 Z-3.\nM30\n%\n";

class SendFromEndToEndTest : public test::EndToEndFixture {
protected:
    // Chooses the third tool change in the dialog, adds a line to the head
    // and presses OK.
    void SendFromThirdToolChange() {
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<SendFromDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->findChild<QComboBox*>(QStringLiteral("StartWay"))->setCurrentIndex(2);
            dialog->findChild<QSpinBox*>(QStringLiteral("StartValue"))->setValue(3);
            auto* head = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Head"));
            head->setPlainText(head->toPlainText() + QStringLiteral("G91 G28 Z0\n"));
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        window_->Controls().SendFrom1->trigger();
    }
};

// The control gets the head and the program from the chosen block, byte for
// byte, in its tape code and handshake; the editor keeps its program and
// shows the last line sent as the real program's; the log says where the
// send started.
TEST_F(SendFromEndToEndTest, TheControlGetsTheHeadThenTheProgramFromTheThirdToolChange) {
    const struct {
        const char* name;
        std::vector<std::string> machine;
        std::string profile;
        // The control reads slowly enough for the highlight to be seen.
        bool watched;
        // A line typed into the editor while the send waits for the port
        // changes nothing that goes out.
        bool editedMeanwhile;
    } cases[] = {
        {"iso under Xon/Xoff",
         {"--preset", "fanuc", "--code", "iso", "--xon-repeat", "200", "--drain", "40", "--buffer",
          "16", "--programs", "1"},
         "CommHandshake=0\nCommParity=E\nCommDataBits=7\nPunchType=3\nEOB=2\n",
         true,
         false},
        {"eia without a handshake",
         {"--preset", "plain", "--code", "eia", "--programs", "1"},
         "CommHandshake=1\nPunchType=2\nEOB=2\n",
         false,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto machine = StartMachine(c.machine);
        StartWindow("CommBaudRate=9600\nLeader=0\nTransferLog=1\n" + c.profile);
        window_->Editor().SetText(Program);
        // The editor's lines highlighted as the send goes, from 0.
        std::set<int> highlighted;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            int line = 0;
            int index = 0;
            window_->Controls().Memo1->getCursorPosition(&line, &index);
            highlighted.insert(line);
        });
        watch.start(1);
        SendFromThirdToolChange();
        const std::string typed = c.editedMeanwhile ? "(TYPED)\n" : "";
        ASSERT_EQ(window_->Session().Phase(), TransferPhase::SendRequested);
        window_->Controls().Memo1->insertAt(QString::fromStdString(typed), 0, 0);
        // A control that ends once it has the program takes its line with it.
        EXPECT_TRUE(PumpUntil(
            [&] {
                return window_->Session().Phase() == TransferPhase::Idle &&
                       Status() != QLatin1String("COM2 Ready");
            },
            20s))
            << Status().toStdString();
        EXPECT_EQ(machine->Wait(5s), 0) << machine->Output();
        EXPECT_EQ(ReadFile(machineFolder_.File("O1000.nc")), Sent);
        EXPECT_EQ(window_->Editor().Text(), typed + Program);
        watch.stop();
        // The head's lines are 0 to 2, the program from the T3 9 to 14.
        EXPECT_TRUE(std::all_of(highlighted.begin(), highlighted.end(), [](int line) {
            return line <= 2 || (line >= 9 && line <= 14);
        })) << "a line left out or past the end highlighted";
        if (c.watched) {
            EXPECT_GE(*highlighted.rbegin(), 9) << "the lines from the T3 highlighted as sent";
        }
        EXPECT_TRUE(ReadFile(folder_.File("feedrail-transfers.log"))
                        .ends_with("\tcompleted from line 10 (T3)\n"))
            << ReadFile(folder_.File("feedrail-transfers.log"));
        window_.reset();
        std::filesystem::remove(machineFolder_.File("O1000.nc"));
        std::filesystem::remove(folder_.File("feedrail-transfers.log"));
    }
}

} // namespace
} // namespace feedrail
