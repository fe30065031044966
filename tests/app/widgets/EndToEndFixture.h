#pragma once

#include "app/widgets/Tpunch_d.h"
#include "support/MachineProcess.h"
#include "support/TempFolder.h"
#include "support/widgets/FakeMessages.h"
#include "support/widgets/PumpEvents.h"

#include <QApplication>
#include <QLabel>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace feedrail::test {

using namespace std::chrono_literals;

// Feedrail's real main window, offscreen, whose com2 is a pseudo-terminal
// with the simulated control on its other end.
class EndToEndFixture : public ::testing::Test {
protected:
    std::unique_ptr<MachineProcess> StartMachine(std::vector<std::string> args) {
        args.insert(args.end(), {"--link", folder_.File("com2"), "--out", machineFolder_.Path(),
                                 "--raw", machineFolder_.File("raw")});
        return std::make_unique<MachineProcess>(args, machineFolder_.File("machine.log"),
                                                folder_.File("com2"));
    }

    void StartWindow(const std::string& profile) {
        WriteFile(folder_.File("DNC.ini"), "[Mill]\nCommPort=2\n" + profile);
        window_ = std::make_unique<Tpunch_d>(folder_.Path() + "/", messages_);
        ASSERT_TRUE(PumpUntil([&] { return Status() == "COM2 Ready"; }, 3s))
            << Status().toStdString();
    }

    QString Status() const { return StatusOf(*window_); }

    // Sends the editor's program and waits for the send to end. A control
    // that ends once it has the program takes its line (or its connection)
    // with it, and the status may say so before it is looked at.
    void Send(const std::string& program, const QString& endStatus = "Finished Send") {
        window_->Editor().SetText(program);
        window_->SendButtonClick();
        EXPECT_TRUE(PumpUntil(
            [&] {
                return Status() == endStatus ||
                       (window_->Session().Phase() == TransferPhase::Idle &&
                        (Status().endsWith(QLatin1String("is gone: unplugged or switched off?")) ||
                         Status().contains(QLatin1String(" is lost: "))));
            },
            20s))
            << Status().toStdString();
    }

    std::string Raw() const { return ReadFile(machineFolder_.File("raw")); }

    // Starts a receive and waits until the window listens.
    static void Receive(Tpunch_d& window) {
        window.ReceiveButtonClick();
        EXPECT_TRUE(PumpUntil([&] { return StatusOf(window) == "Waiting For Data"; }, 5s));
    }

    // Saves the editor through the save dialog, answered with `path`.
    void Save(Tpunch_d& window, FakeMessages& messages, const std::string& path) {
        messages.SaveAnswer = QString::fromStdString(path);
        window.SaveButtonClick();
        EXPECT_TRUE(PumpUntil([&] { return StatusOf(window) == "File Saved"; }, 5s));
    }

    static QString StatusOf(const Tpunch_d& window) { return window.Controls().Label3->text(); }

    // The most characters the control saw after one of its XOFFs.
    static int MostAfterXoff(const std::string& log) {
        std::smatch match;
        const std::regex pattern("at most ([0-9]+) characters arrived after an XOFF");
        return std::regex_search(log, match, pattern) ? std::stoi(match[1]) : -1;
    }

    TempFolder folder_;
    TempFolder machineFolder_;
    FakeMessages messages_;
    std::unique_ptr<Tpunch_d> window_;
};

} // namespace feedrail::test
