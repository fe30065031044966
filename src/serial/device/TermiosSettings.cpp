#include "serial/device/TermiosSettings.h"

#include "serial/device/ArbitraryBaudRate.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <termios.h>
#include <utility>

namespace feedrail {
namespace {

constexpr std::array<std::pair<unsigned, speed_t>, 13> ClassicRates{{
    {110, B110},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
    {460800, B460800},
}};

int SizeFlag(std::uint8_t byteSize, tcflag_t& flag) {
    switch (byteSize) {
    case 5:
        flag = CS5;
        return 0;
    case 6:
        flag = CS6;
        return 0;
    case 7:
        flag = CS7;
        return 0;
    case 8:
        flag = CS8;
        return 0;
    default:
        return EINVAL;
    }
}

int ParityFlags(std::uint8_t parity, tcflag_t& flags) {
    switch (parity) {
    case NoParity:
        flags = 0;
        return 0;
    case OddParity:
        flags = PARENB | PARODD;
        return 0;
    case EvenParity:
        flags = PARENB;
        return 0;
    case MarkParity:
        flags = PARENB | CMSPAR | PARODD;
        return 0;
    case SpaceParity:
        flags = PARENB | CMSPAR;
        return 0;
    default:
        return EINVAL;
    }
}

// A pseudo-terminal has no wire: the kernel keeps it at 8 bits without parity
// whatever is asked, and the C library reports that as EINVAL when nothing
// else changed. True when that is all that was refused.
bool OnlyFramingRefused(int fd, const termios& wanted) {
    termios actual{};
    if (::tcgetattr(fd, &actual) != 0) {
        return false;
    }
    const tcflag_t framing = CSIZE | PARENB | PARODD | CMSPAR;
    return (actual.c_cflag & framing & ~(PARODD | CMSPAR)) == CS8 &&
           (actual.c_cflag & ~framing) == (wanted.c_cflag & ~framing) &&
           actual.c_iflag == wanted.c_iflag;
}

// A driver that cannot make a rate sets the nearest it can; more than a few
// per cent off, characters would be garbled, so that counts as refused.
bool RateTaken(int fd, unsigned wanted) {
    const BaudRates actual = ReadBaudRates(fd);
    const auto near = [wanted](unsigned rate) {
        const std::uint64_t difference = rate > wanted ? rate - wanted : wanted - rate;
        return rate == 0 || difference * 100 <= std::uint64_t{wanted} * 3;
    };
    // Both directions: a machine heard at another rate than it is sent to
    // garbles every program it punches.
    return near(actual.Output) && near(actual.Input);
}

} // namespace

int BuildTermios(const SerialSettings& settings, termios& tty) {
    tcflag_t size = 0;
    tcflag_t parity = 0;
    if (SizeFlag(settings.ByteSize, size) != 0 || ParityFlags(settings.Parity, parity) != 0 ||
        settings.StopBits > TwoStopBits || settings.BaudRate == 0) {
        return EINVAL;
    }
    ::cfmakeraw(&tty);
    tty.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tty.c_cflag |= CLOCAL | CREAD | size | parity;
    // One and a half stop bits exist only with 5-bit bytes, where CSTOPB means
    // exactly that; elsewhere the line gets two.
    if (settings.StopBits != OneStopBit) {
        tty.c_cflag |= CSTOPB;
    }
    if ((settings.Flags & DcbFlag::fOutxCtsFlow) != 0 ||
        (settings.Flags & DcbFlag::RtsControlMask) == DcbFlag::RtsControlHandshake) {
        tty.c_cflag |= CRTSCTS;
    }
    tty.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);
    if ((settings.Flags & DcbFlag::fParity) != 0) {
        tty.c_iflag |= INPCK;
    }
    if ((settings.Flags & DcbFlag::fInX) != 0) {
        tty.c_iflag |= IXOFF;
    }
    tty.c_cc[VSTART] = static_cast<cc_t>(settings.XonChar);
    tty.c_cc[VSTOP] = static_cast<cc_t>(settings.XoffChar);
    tty.c_cc[VMIN] = 0;
    tty.c_cc[VTIME] = 0;
    speed_t speed = B38400;
    for (const auto& [rate, code] : ClassicRates) {
        if (rate == settings.BaudRate) {
            speed = code;
        }
    }
    // An input rate left over from an arbitrary rate (250000) would stay in
    // force: no input rate of its own means the output rate.
    tty.c_cflag &= ~CIBAUD;
    ::cfsetospeed(&tty, speed);
    return 0;
}

int ApplyTermios(int fd, const SerialSettings& settings) {
    termios tty{};
    if (::tcgetattr(fd, &tty) != 0) {
        return errno;
    }
    if (const int error = BuildTermios(settings, tty)) {
        return error;
    }
    if (::tcsetattr(fd, TCSANOW, &tty) != 0) {
        const int error = errno;
        if (error != EINVAL || !OnlyFramingRefused(fd, tty)) {
            return error;
        }
    }
    const bool classic = std::ranges::any_of(
        ClassicRates, [&](const auto& entry) { return entry.first == settings.BaudRate; });
    if (!classic) {
        if (const int error = SetArbitraryBaudRate(fd, settings.BaudRate)) {
            return error == EINVAL ? ERANGE : error;
        }
    }
    return RateTaken(fd, settings.BaudRate) ? 0 : ERANGE;
}

int ReadTermios(int fd, SerialSettings& settings) {
    termios tty{};
    if (::tcgetattr(fd, &tty) != 0) {
        return errno;
    }
    if (const unsigned rate = ReadBaudRates(fd).Output) {
        settings.BaudRate = rate;
    }
    switch (tty.c_cflag & CSIZE) {
    case CS5:
        settings.ByteSize = 5;
        break;
    case CS6:
        settings.ByteSize = 6;
        break;
    case CS7:
        settings.ByteSize = 7;
        break;
    default:
        settings.ByteSize = 8;
        break;
    }
    if ((tty.c_cflag & PARENB) == 0) {
        settings.Parity = NoParity;
    } else if ((tty.c_cflag & CMSPAR) != 0) {
        settings.Parity = (tty.c_cflag & PARODD) != 0 ? MarkParity : SpaceParity;
    } else {
        settings.Parity = (tty.c_cflag & PARODD) != 0 ? OddParity : EvenParity;
    }
    settings.StopBits = (tty.c_cflag & CSTOPB) != 0 ? TwoStopBits : OneStopBit;
    settings.XonChar = static_cast<char>(tty.c_cc[VSTART]);
    settings.XoffChar = static_cast<char>(tty.c_cc[VSTOP]);
    settings.EofChar = static_cast<char>(tty.c_cc[VEOF]);
    return 0;
}

} // namespace feedrail
