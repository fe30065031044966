#include "service/ServedProgram.h"

#include "transfer/ProgramIndex.h"

#include <cstring>
#include <stdexcept>

namespace feedrail {
namespace {

[[noreturn]] void NoEditor() {
    throw std::logic_error("the service has no editor: it only sends programs from their files");
}

} // namespace

std::string ServedProgram::Load(const std::string& path, const std::string& realFolder) {
    // Looked at before anything is opened: opening a device, even to refuse
    // it, moves its lines.
    if (!RealPathInside(path, realFolder)) {
        lines_.Close();
        return "Not sending " + path + ": it leads out of the machine's folder";
    }
    if (const int error = lines_.Open(path)) {
        return "Cannot read " + path + ": " + std::strerror(error);
    }
    // No control reads such a line; sent, it would be held whole in memory.
    if (const int line = lines_.FirstOverlongLine()) {
        lines_.Close();
        return "Not sending " + path + ": its line " + std::to_string(line) + " is longer than " +
               std::to_string(ProgramFileLines::MaxLineBytes >> 20) + " MiB";
    }
    // Checked on what was opened, so that a name changed meanwhile cannot
    // lead elsewhere.
    const std::string real = lines_.RealPath();
    if (!real.starts_with(realFolder + "/")) {
        lines_.Close();
        return "Not sending " + path + ": it leads out of the machine's folder, to " + real;
    }
    return {};
}

std::string ServedProgram::GetEditorLine(int line) const {
    return lines_.Line(line);
}

void ServedProgram::SetEditorLines(int, const std::vector<std::string>&) {
    NoEditor();
}

void ServedProgram::BeginUndoStep() {
    NoEditor();
}

void ServedProgram::EndUndoStep() {
    NoEditor();
}

void ServedProgram::AppendReceivedLine(const std::string&) {
    NoEditor();
}

void ServedProgram::ClearEditorAndFileName() {
    NoEditor();
}

} // namespace feedrail
