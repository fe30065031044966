#include "serial/device/ArbitraryBaudRate.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace feedrail {

int SetArbitraryBaudRate(int fd, unsigned rate) {
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0) {
        return errno;
    }
    settings.c_cflag &= ~CBAUD;
    settings.c_cflag |= BOTHER;
    settings.c_cflag &= ~(CBAUD << IBSHIFT);
    settings.c_cflag |= BOTHER << IBSHIFT;
    settings.c_ispeed = rate;
    settings.c_ospeed = rate;
    return ioctl(fd, TCSETS2, &settings) == 0 ? 0 : errno;
}

BaudRates ReadBaudRates(int fd) {
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0) {
        return {};
    }
    return {settings.c_ispeed, settings.c_ospeed};
}

} // namespace feedrail
