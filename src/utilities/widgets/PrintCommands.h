#pragma once

#include "session/RunState.h"
#include "utilities/widgets/ListingPrinter.h"
#include "utilities/widgets/TPrint_Columns.h"

#include <QString>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace feedrail {

class UserMessages;

// The window's printing: "Print Window" lists the editor's text through
// "temp.nc" in the program's folder, "Print File" lists the file pane's
// selected file, and "Print Columns" lists the last "temp.nc" again in one to
// four columns.
class PrintCommands {
public:
    using EditorText = std::function<std::string()>;
    // The file pane's selected path, empty when nothing is selected.
    using SelectedPath = std::function<QString()>;

    PrintCommands(RunState& state, UserMessages& messages, EditorText editorText,
                  SelectedPath selectedPath, QWidget* parent,
                  ListingDestination destination = ListingDestination::System());

    void PrintWindowButtonClick();
    void BitBtn3Click();
    // Opens "Print Columns" once "Print Window" has written a file for it.
    void PrintColumns1Click();

    // Empty until "Print Window" has written one.
    const QString& LastWindowPrintFile() const { return lastWindowPrintFile_; }
    TPrint_Columns& Print_Columns() { return *printColumns_; }

private:
    void Print(const QString& path, int columns);

    RunState& state_;
    UserMessages& messages_;
    EditorText editorText_;
    SelectedPath selectedPath_;
    ListingPrinter printer_;
    QString lastWindowPrintFile_;
    std::unique_ptr<TPrint_Columns> printColumns_;
};

} // namespace feedrail
