#include "service/ServedProgram.h"

#include <stdexcept>

namespace feedrail {
namespace {

[[noreturn]] void NoEditor() {
    throw std::logic_error("the service has no editor: it only sends programs from their files");
}

} // namespace

int ServedProgram::Load(const std::string& path) {
    sending_ = 0;
    return lines_.Open(path);
}

int ServedProgram::PercentSent() const {
    const int count = lines_.Count();
    return count == 0 ? 0 : static_cast<int>(static_cast<long long>(sending_) * 100 / count);
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
