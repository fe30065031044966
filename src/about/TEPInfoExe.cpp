#include "about/TEPInfoExe.h"

#include "about/VersionNote.h"

#include <optional>

namespace feedrail {

void TEPInfoExe::Read() {
    const std::optional<std::string> table = ReadVersionTable(ExeName);
    if (!table) {
        return;
    }
    const auto value = [&](const char* key) {
        const std::string path = "StringFileInfo\\" + LangId + "04E4\\" + key;
        return VersionTableValue(*table, path).value_or(std::string());
    };
    FileVersion = value("FileVersion");
    LegalCopyright = value("LegalCopyright");
    License = value("License");
}

} // namespace feedrail
