#include "about/TEPInfoExe.h"

#include "about/VersionNote.h"

#include <optional>

namespace feedrail {

void TEPInfoExe::Read() {
    const std::optional<std::string> table = ReadVersionTable(ExeName);
    if (!table) {
        return;
    }
    const std::string path = "StringFileInfo\\" + LangId + "04E4\\FileVersion";
    FileVersion = VersionTableValue(*table, path).value_or(std::string());
}

} // namespace feedrail
