#include "utilities/widgets/PrintCommands.h"

#include "common/AtomicFile.h"
#include "common/widgets/TextBridge.h"
#include "common/widgets/UserMessages.h"

#include <QFileInfo>

namespace feedrail {
namespace {

// Only a file has lines to list; empty for one.
QString WhyNotPrintable(const QFileInfo& item) {
    if (item.isSymLink() && !item.exists()) {
        return QStringLiteral("the link points to ") + item.symLinkTarget() +
               QStringLiteral(", which is not there");
    }
    if (item.isDir()) {
        return QStringLiteral("it is a folder");
    }
    if (!item.isFile()) {
        return QStringLiteral("it is no file but a device, pipe or socket");
    }
    return {};
}

} // namespace

PrintCommands::PrintCommands(RunState& state, UserMessages& messages, EditorText editorText,
                             SelectedPath selectedPath, QWidget* parent,
                             ListingDestination destination)
    : state_(state), messages_(messages), editorText_(std::move(editorText)),
      selectedPath_(std::move(selectedPath)), printer_(messages, std::move(destination)),
      printColumns_(std::make_unique<TPrint_Columns>(
          [this](int columns) { Print(lastWindowPrintFile_, columns); }, parent)) {}

void PrintCommands::PrintWindowButtonClick() {
    const std::string text = editorText_();
    if (text.empty()) {
        messages_.ShowMessage(QStringLiteral("Nothing in Edit Window"));
        return;
    }
    const std::string target = state_.ProgramDir + "temp.nc";
    if (const int error = ReplaceFileContent(ResolvedWriteTarget(target), text)) {
        messages_.ShowError(QStringLiteral("Cannot save ") + DisplayPath(target) +
                            QStringLiteral(": ") + SystemReason(error));
        return;
    }
    lastWindowPrintFile_ = DisplayPath(target);
    Print(lastWindowPrintFile_, 1);
}

void PrintCommands::BitBtn3Click() {
    const QString path = selectedPath_();
    if (path.isEmpty()) {
        messages_.ShowMessage(QStringLiteral("No File Selected"));
        return;
    }
    if (const QString why = WhyNotPrintable(QFileInfo(path)); !why.isEmpty()) {
        messages_.ShowError(QStringLiteral("Cannot print ") + path + QStringLiteral(": ") + why);
        return;
    }
    Print(path, 1);
}

void PrintCommands::PrintColumns1Click() {
    if (lastWindowPrintFile_.isEmpty()) {
        messages_.ShowMessage(QStringLiteral("Print Window has not printed a file yet"));
        return;
    }
    printColumns_->open();
}

// The editor's listing is named after the program loaded in it.
void PrintCommands::Print(const QString& path, int columns) {
    state_.CancelRequested = false;
    const bool editor = path == lastWindowPrintFile_ && !state_.CurrentFile.empty();
    printer_.PrintListing(path, columns,
                          editor ? QFileInfo(DisplayPath(state_.CurrentFile)).completeBaseName()
                                 : QString());
}

} // namespace feedrail
