#pragma once

#include "serial/device/SerialSettings.h"

#include <termios.h>

namespace feedrail {

// The parts of a settings record a terminal can hold: raw mode, line format,
// rate, RTS/CTS flow, parity checking and input XON/XOFF. The rest (output
// XON/XOFF, DSR flow and sensitivity, NUL stripping, the lines) is done by the
// device itself. Return 0 or an errno.
int ApplyTermios(int fd, const SerialSettings& settings);
// The terminal settings for a record, built on `tty`; rates outside the
// classic table are left for SetArbitraryBaudRate.
int BuildTermios(const SerialSettings& settings, termios& tty);
// The line format and special characters the terminal has now.
int ReadTermios(int fd, SerialSettings& settings);

} // namespace feedrail
