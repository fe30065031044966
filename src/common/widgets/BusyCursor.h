#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace feedrail {

// The busy cursor for as long as the object lives, also when an error ends
// the work early.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
};

} // namespace feedrail
