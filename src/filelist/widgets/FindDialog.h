#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;

namespace feedrail {

// Finds files and folders by name pattern below a folder and lists them; a
// match opens in the file list, in its folder and selected.
class FindDialog : public QDialog {
    Q_OBJECT
public:
    explicit FindDialog(QWidget* parent);

    // The folder the next search starts in.
    void SetFolder(const QString& folder);
    void Search();

    QLineEdit& Pattern() { return *pattern_; }
    QListWidget& Matches() { return *matches_; }

signals:
    void OpenMatch(const QString& path);

private:
    void OpenCurrent();

    QString folder_;
    QLabel* where_;
    QLineEdit* pattern_;
    QListWidget* matches_;
};

} // namespace feedrail
