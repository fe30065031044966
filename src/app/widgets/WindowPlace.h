#pragma once

#include <QString>

class QWidget;

namespace feedrail {

// The main window's size, place and maximised state from one run to the next,
// in a file of the profile folder beside DNC.ini: a copy of Feedrail on a USB
// stick keeps its own, as it keeps its profiles.
class WindowPlace {
public:
    static constexpr const char* FileName = "DNCWindow.ini";

    // `profileFolder` ends with "/".
    explicit WindowPlace(const QString& profileFolder);

    // Puts `window` where it was when it last closed. False on a first start
    // or when the file holds nothing usable, leaving the window as it is; a
    // place off every screen now is brought onto one.
    bool Restore(QWidget& window) const;
    void Save(const QWidget& window) const;
    // Whether the line monitor was shown when the window last closed.
    bool LineMonitorShown() const;
    void SaveLineMonitorShown(bool shown) const;

private:
    QString path_;
};

} // namespace feedrail
