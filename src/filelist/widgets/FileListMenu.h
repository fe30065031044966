#pragma once

class QAction;
class QMenu;
class QWidget;

namespace feedrail {

// What the entries of the context menu depend on.
struct MenuState {
    bool DrivesView = false;
    // Rows selected, of any kind.
    bool Selected = false;
    // Folders or files selected (drives are not handled as files).
    bool ItemsSelected = false;
    // Exactly one folder or file selected.
    bool OneItemSelected = false;
    // The row last clicked is a file.
    bool FileCurrent = false;
    // ... and View shows it.
    bool Viewable = false;
    bool PasteReady = false;
    // Two files selected, or one with a program in the editor to compare.
    bool Comparable = false;
};

// The file list's context menu, its entries in their order: "&Open",
// "&View", "Co&mpare", "Se&nd To" ("Any Folder ...", "Clipboard as Contents",
// "Clipboard as FileName"), "Cu&t", "&Copy", "&Paste", "&Rename", "&Delete",
// "&Attributes ...", "&New Folder ...". The keys trigger the same entries, so
// that one set of rules enables both.
class FileListMenu {
public:
    explicit FileListMenu(QWidget* parent);

    void Update(const MenuState& state);

    QMenu* Menu;
    QAction* Open;
    QAction* View;
    QAction* Compare;
    QMenu* SendTo;
    QAction* AnyFolder;
    QAction* ClipboardAsContents;
    QAction* ClipboardAsFileName;
    QAction* Cut;
    QAction* Copy;
    QAction* Paste;
    QAction* Rename;
    QAction* Delete;
    QAction* Attributes;
    QAction* NewFolder;
};

} // namespace feedrail
