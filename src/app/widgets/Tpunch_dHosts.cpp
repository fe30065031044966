#include "app/widgets/Tpunch_d.h"
#include "common/widgets/TextBridge.h"
#include "line/StatusText.h"
#include "profiles/ProfileValues.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <algorithm>

// The window as the host of its features: the machine list, the status line,
// the key poll of loops that run inside a handler, and work handed back to
// the event loop.

namespace feedrail {
namespace {

// How often a loop that asks for Esc often (a renumbering) lets the window
// look at its events: a pass costs far more than a step does, and 2 ms
// answer Esc at once.
constexpr auto EventPassInterval = std::chrono::microseconds(2000);

} // namespace

void Tpunch_d::ShowStatus(const QString& text) {
    controls_.Label3->setText(text);
    controls_.Label3->repaint();
}

void Tpunch_d::ShowStatus(const LineStatus& status) {
    ShowStatus(BytesText(StatusText(status, StatusAudience::Window)));
}

void Tpunch_d::ShowProgress(const TransferProgress& progress) {
    progress_.Show(progress, session_.Transferring());
    controls_.StaticText1->repaint();
}

void Tpunch_d::ArmCommOpenTimer() {
    Arm(commOpenTimer1_);
}

bool Tpunch_d::EscapePressed() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastEventPass_ >= EventPassInterval) {
        ProcessEventsBlockingInput();
    }
    return inputBlocker_.TakeEscape();
}

void Tpunch_d::Idle(std::chrono::milliseconds time) {
    ProcessEventsBlockingInput();
    QThread::msleep(static_cast<unsigned long>(time.count()));
}

void Tpunch_d::ForgetEscape() {
    inputBlocker_.TakeEscape();
}

QString Tpunch_d::CurrentMachine() const {
    return controls_.ComboBox1->currentText();
}

void Tpunch_d::AddMachine(const QString& name) {
    controls_.ComboBox1->addItem(name);
    controls_.ComboBox1->setCurrentIndex(controls_.ComboBox1->count() - 1);
    ConfigureAutomation();
}

// From the end: the entry added last is the one to go, should the name be
// there twice.
void Tpunch_d::RemoveMachine(const QString& name, const QString& shown) {
    QComboBox& list = *controls_.ComboBox1;
    for (int i = list.count() - 1; i >= 0; --i) {
        if (list.itemText(i) == name) {
            list.removeItem(i);
            break;
        }
    }
    list.setCurrentIndex(std::max(list.findText(shown, Qt::MatchExactly), 0));
    ConfigureAutomation();
}

void Tpunch_d::Defer(std::function<void()> work) {
    QTimer::singleShot(0, this, [this, work = std::move(work)] { Guard(work); });
}

void Tpunch_d::After(std::chrono::milliseconds time, std::function<void()> work) {
    QTimer::singleShot(time, this, [this, work = std::move(work)] { Guard(work); });
}

void Tpunch_d::ProcessEventsBlockingInput() {
    lastEventPass_ = std::chrono::steady_clock::now();
    handOver_.RunPending();
    QCoreApplication::instance()->installEventFilter(&inputBlocker_);
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(&inputBlocker_);
}

} // namespace feedrail
