#include "app/widgets/Tpunch_d.h"
#include "app/widgets/WindowPlace.h"
#include "common/widgets/TextBridge.h"

// The window as a desktop program: a file handed to it at start, and its
// size and place from one run to the next.

namespace feedrail {

void Tpunch_d::OpenProgram(const std::string& path) {
    Guard([this, &path] { Perform(Command::EditProgram, [this, &path] { files_.Get(path); }); });
}

bool Tpunch_d::RestorePlace() {
    return WindowPlace(DisplayPath(runState_.ProgramDir)).Restore(*this);
}

void Tpunch_d::SavePlace() const {
    WindowPlace(DisplayPath(runState_.ProgramDir)).Save(*this);
}

} // namespace feedrail
