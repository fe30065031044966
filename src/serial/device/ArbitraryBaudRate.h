#pragma once

// Kept apart from the other terminal code: the kernel's termios2 header, which
// these need, clashes with the C library's <termios.h>.

namespace feedrail {

// Sets a rate the classic rate table lacks, through the kernel's
// arbitrary-rate interface. Returns 0 or an errno.
int SetArbitraryBaudRate(int fd, unsigned rate);
// The rates in bits per second, whichever way they were set; 0 when the
// terminal cannot tell.
struct BaudRates {
    unsigned Input = 0;
    unsigned Output = 0;
};
BaudRates ReadBaudRates(int fd);

} // namespace feedrail
