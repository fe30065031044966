#include "filelist/widgets/FileListMenu.h"

#include <QMenu>

namespace feedrail {
namespace {

QAction* Entry(QMenu* menu, const char* caption) {
    return menu->addAction(QString::fromUtf8(caption));
}

} // namespace

FileListMenu::FileListMenu(QWidget* parent)
    : Menu(new QMenu(parent)), Open(Entry(Menu, "&Open")), View(Entry(Menu, "&View")),
      Compare(Entry(Menu, "Co&mpare")) {
    Menu->addSeparator();
    SendTo = Menu->addMenu(QStringLiteral("Se&nd To"));
    AnyFolder = Entry(SendTo, "Any Folder ...");
    ClipboardAsContents = Entry(SendTo, "Clipboard as Contents");
    ClipboardAsFileName = Entry(SendTo, "Clipboard as FileName");
    Menu->addSeparator();
    Cut = Entry(Menu, "Cu&t");
    Copy = Entry(Menu, "&Copy");
    Paste = Entry(Menu, "&Paste");
    Menu->addSeparator();
    Rename = Entry(Menu, "&Rename");
    Delete = Entry(Menu, "&Delete");
    Menu->addSeparator();
    Attributes = Entry(Menu, "&Attributes ...");
    Menu->addSeparator();
    NewFolder = Entry(Menu, "&New Folder ...");
}

void FileListMenu::Update(const MenuState& state) {
    Open->setEnabled(state.Selected);
    View->setEnabled(state.Viewable);
    Compare->setEnabled(state.Comparable);
    SendTo->menuAction()->setEnabled(state.Selected);
    AnyFolder->setEnabled(state.ItemsSelected);
    ClipboardAsContents->setEnabled(state.FileCurrent);
    ClipboardAsFileName->setEnabled(state.Selected);
    Cut->setEnabled(state.ItemsSelected);
    Copy->setEnabled(state.ItemsSelected);
    Paste->setEnabled(state.PasteReady && !state.DrivesView);
    Rename->setEnabled(state.OneItemSelected);
    Delete->setEnabled(state.ItemsSelected);
    Attributes->setEnabled(state.ItemsSelected);
    NewFolder->setEnabled(!state.DrivesView);
}

} // namespace feedrail
