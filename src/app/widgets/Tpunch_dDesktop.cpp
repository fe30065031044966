#include "app/widgets/EditorFind.h"
#include "app/widgets/Tpunch_d.h"
#include "app/widgets/WindowPlace.h"
#include "common/widgets/TextBridge.h"
#include "line/widgets/LineMonitor.h"

#include <QAction>
#include <QDockWidget>
#include <QMenu>

// The window as a desktop program: a file handed to it at start, its size
// and place from one run to the next, finding in the editor, and the line
// monitor docked below.

namespace feedrail {

void Tpunch_d::OpenProgram(const std::string& path) {
    Guard([this, &path] { Perform(Command::EditProgram, [this, &path] { files_.Get(path); }); });
}

bool Tpunch_d::RestorePlace() {
    const WindowPlace place(DisplayPath(runState_.ProgramDir));
    monitorDock_->setVisible(place.LineMonitorShown());
    return place.Restore(*this);
}

void Tpunch_d::SavePlace() const {
    const WindowPlace place(DisplayPath(runState_.ProgramDir));
    place.Save(*this);
    place.SaveLineMonitorShown(monitorDock_->isVisibleTo(this));
}

// The port keeps what crosses the line only while the monitor is shown, so
// that a window without it pays nothing for it.
void Tpunch_d::BuildLineMonitor() {
    monitorDock_ = new QDockWidget(QStringLiteral("Line Monitor"), this);
    monitorDock_->setObjectName(QStringLiteral("LineMonitorDock"));
    monitorDock_->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::RightDockWidgetArea);
    monitor_ = new LineMonitor(
        [this](std::uint64_t& dropped) { return line_.Port().TakeLineTraffic(dropped); }, messages_,
        monitorDock_);
    monitorDock_->setWidget(monitor_);
    addDockWidget(Qt::BottomDockWidgetArea, monitorDock_);
    monitorDock_->hide();
    QAction* shown = monitorDock_->toggleViewAction();
    shown->setText(QStringLiteral("Line &Monitor"));
    shown->setObjectName(QStringLiteral("LineMonitor1"));
    controls_.View1->addAction(shown);
    connect(shown, &QAction::toggled, this, [this](bool on) { line_.Port().WatchLine(on); });
}

// Finding only moves the editor's selection, so it goes on during a
// transfer; going to a line asks in a modal box, busy work like any other.
void Tpunch_d::BuildEditorFind() {
    find_ = new EditorFind(*controls_.Memo1, this);
    // F3 and Ctrl+F work in the dialog too.
    find_->addActions({controls_.Find1, controls_.FindNext1});
    connect(find_, &EditorFind::EscapePressed, this,
            [this] { Guard([this] { line_.Send().Cancel(); }); });
    connect(controls_.Find1, &QAction::triggered, find_, &EditorFind::Open);
    connect(controls_.FindNext1, &QAction::triggered, find_, &EditorFind::FindNext);
    connect(controls_.GoToLine1, &QAction::triggered, this,
            [this] { Guard([this] { Perform(Command::Glance, [this] { find_->GoToLine(); }); }); });
    connect(controls_.SendFrom1, &QAction::triggered, this,
            [this] { Guard([this] { SendFrom1Click(); }); });
}

} // namespace feedrail
