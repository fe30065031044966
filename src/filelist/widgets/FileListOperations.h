#pragma once

#include "filelist/RememberedFiles.h"
#include "filelist/ViewKinds.h"
#include "filelist/widgets/FileListMenu.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

class QTreeWidgetItem;

namespace feedrail {

class FindDialog;
class TLsFileListView26;

// The file operations of the file list's keys and context menu, on its
// selection and in its folder. Failures name the item and the reason.
class FileListOperations {
public:
    FileListOperations(TLsFileListView26& list, std::string profilePath);

    // The profile file whose part-program extensions View shows as text.
    void SetProfileFile(std::string path) { viewKinds_ = ViewKinds(std::move(path)); }
    // Runs a Delete, or refuses it and says why: the window's, since the
    // file under a transfer may be the one selected. Until set, Delete runs.
    using DeleteGate = std::function<void(const std::function<void()>& remove)>;
    void SetDeleteGate(DeleteGate gate) { deleteGate_ = std::move(gate); }

    MenuState State() const;

    void View();
    void Cut();
    void Copy();
    void Paste();
    void Delete();
    // Starts editing the name in place; the item is renamed when the edit
    // ends with a new name.
    void Rename();
    void NewFolder();
    void Attributes();
    void SendToAnyFolder();
    void ClipboardAsContents();
    void ClipboardAsFileName();
    void Find();

    FindDialog* Finder() const { return finder_; }

private:
    // Moves the item to the trash; the failure, or nothing.
    QString Trash(const std::string& path);
    void DeleteSelected();
    void EditEnded(QTreeWidgetItem* item, int column);
    void FinishRename(const std::string& oldPath, const QString& newName);
    void Remember(PasteMode mode);
    void Transfer(const std::vector<std::string>& paths, const QString& folder, PasteMode mode);
    void ShowFailures(const QStringList& failures);
    void Refill(const QString& select);
    void OpenMatch(const QString& path);

    TLsFileListView26& list_;
    ViewKinds viewKinds_;
    RememberedFiles remembered_;
    // The bytes of the item being renamed in place.
    std::string renaming_;
    FindDialog* finder_ = nullptr;
    DeleteGate deleteGate_ = [](const std::function<void()>& remove) { remove(); };
};

} // namespace feedrail
