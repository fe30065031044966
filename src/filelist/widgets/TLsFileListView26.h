#pragma once

#include <QString>
#include <QTreeWidget>

namespace feedrail {

// The file pane's list of folders and files. It offers what the main window
// needs: the current folder (with a trailing "/"), the drives view, one level
// up, the selected item, column widths, and a Changed signal whenever its
// items or its selection change.
class TLsFileListView26 : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr const char* DrivesView = "Drives";

    explicit TLsFileListView26(QWidget* parent = nullptr);

    QString Directory() const { return directory_; }
    // Shows a folder, or the drives for "Drives" in any case; a folder that
    // does not exist, or the one already shown, leaves the list as it is.
    void SetDirectory(const QString& directory);
    void OneLevelUp();

    QString SelectedPath() const;
    int SelectedCount() const;
    // Widths of the columns name, size, type, modified, attributes: 0 hides a
    // column; a shown one is as wide as its content needs.
    void SetColumnWidths(const QList<int>& widths);

signals:
    void Changed();

private:
    void Fill();
    void FillDrives();
    void OpenItem(QTreeWidgetItem* item);

    QString directory_;
};

} // namespace feedrail
