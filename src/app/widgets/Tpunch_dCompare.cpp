#include "app/widgets/Tpunch_d.h"
#include "common/widgets/TextBridge.h"
#include "common/widgets/UserMessages.h"
#include "compare/widgets/CompareDialog.h"
#include "transfer/ProgramFiles.h"
#include "transfer/ProgramIndex.h"

#include <filesystem>

// The program in the editor, just received or being changed, against the
// one stored under its number.

namespace feedrail {
namespace {

// The program number stands within a program's first lines.
constexpr std::size_t HeadBytes = 4096;

} // namespace

void Tpunch_d::CompareWithStored1Click() {
    Perform(Command::Glance, [this] {
        const std::string text = editor_.Text();
        const auto number = ProgramNumber(TextLines(text.substr(0, HeadBytes)));
        if (!number) {
            messages_.ShowMessage(QStringLiteral("The program in the editor has no program number "
                                                 "(O or :) at its head to look up."));
            return;
        }
        const std::string& folder = activeSettings_.DefaultDir;
        if (folder.empty()) {
            messages_.ShowMessage(QStringLiteral("The machine has no program folder "
                                                 "(DefaultDir) to look in."));
            return;
        }
        const ProgramLookup found =
            ProgramIndex().Find(folder, *number, activeSettings_.DefaultExt);
        if (!found.Path) {
            QString why;
            for (const std::string& refused : found.Refused) {
                why += QStringLiteral("\n") + DisplayPath(refused);
            }
            messages_.ShowMessage(QStringLiteral("No stored program %1 in %2.%3")
                                      .arg(BytesText(*number), DisplayPath(folder), why));
            return;
        }
        const std::string name = std::filesystem::path(*found.Path).filename().string();
        CompareDialog::Open({DisplayPath(name), *found.Path, std::nullopt},
                            {QStringLiteral("the editor"), {}, text}, this);
    });
}

} // namespace feedrail
