#include "app/widgets/SendFromDialog.h"
#include "app/widgets/Tpunch_d.h"

#include <optional>

// Send from...: the editor's program from a chosen block, its head first.

namespace feedrail {

// The dialog is busy work like any other; the send it asks for starts once
// it has closed, through the same request as Send, which the session refuses
// as it refuses Send.
void Tpunch_d::SendFrom1Click() {
    std::optional<SendFromPlan> plan;
    Perform(Command::Send, [this, &plan] {
        std::vector<std::string> lines;
        for (int line = 1; line <= editor_.EditorLineCount(); ++line) {
            lines.push_back(editor_.GetEditorLine(line));
        }
        SendFromDialog dialog(std::move(lines), this);
        if (dialog.exec() == QDialog::Accepted) {
            plan = dialog.Plan();
        }
    });
    if (!plan) {
        return;
    }
    composed_ = std::make_unique<ComposedProgram>(editor_, plan->Head, plan->FirstSkipped - 1,
                                                  plan->StartLine);
    line_.Send().SendProgramFrom(*composed_, plan->From);
}

} // namespace feedrail
