#pragma once

#include <cstdint>

namespace feedrail {

// The device settings record: what a serial device is told about line format,
// flow control and special characters.
struct SerialSettings {
    std::uint32_t BaudRate = 9600;
    std::uint32_t Flags = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 8;
    std::uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
    char XonChar = 0x11;
    char XoffChar = 0x13;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
};

// Bits of SerialSettings::Flags.
namespace DcbFlag {
inline constexpr std::uint32_t fBinary = 0x0001;
inline constexpr std::uint32_t fParity = 0x0002;
inline constexpr std::uint32_t fOutxCtsFlow = 0x0004;
inline constexpr std::uint32_t fOutxDsrFlow = 0x0008;
inline constexpr std::uint32_t DtrControlEnable = 0x0010;
inline constexpr std::uint32_t DtrControlHandshake = 0x0020;
inline constexpr std::uint32_t DtrControlMask = 0x0030;
inline constexpr std::uint32_t fDsrSensitivity = 0x0040;
inline constexpr std::uint32_t fTXContinueOnXoff = 0x0080;
inline constexpr std::uint32_t fOutX = 0x0100;
inline constexpr std::uint32_t fInX = 0x0200;
inline constexpr std::uint32_t fErrorChar = 0x0400;
inline constexpr std::uint32_t fNull = 0x0800;
inline constexpr std::uint32_t RtsControlEnable = 0x1000;
inline constexpr std::uint32_t RtsControlHandshake = 0x2000;
inline constexpr std::uint32_t RtsControlToggle = 0x3000;
inline constexpr std::uint32_t RtsControlMask = 0x3000;
inline constexpr std::uint32_t fAbortOnError = 0x4000;
// Ours, not a platform flag: the machine's XOFF holds the output and its XON
// frees it, as under fOutX, while both still reach the input as data, so
// that a send hands the device whole lines and the machine's flow control
// is still seen by the transfer.
inline constexpr std::uint32_t fOutXKept = 0x10000;
} // namespace DcbFlag

// Parity codes of SerialSettings::Parity.
inline constexpr std::uint8_t NoParity = 0;
inline constexpr std::uint8_t OddParity = 1;
inline constexpr std::uint8_t EvenParity = 2;
inline constexpr std::uint8_t MarkParity = 3;
inline constexpr std::uint8_t SpaceParity = 4;

// Stop-bit codes of SerialSettings::StopBits.
inline constexpr std::uint8_t OneStopBit = 0;
inline constexpr std::uint8_t One5StopBits = 1;
inline constexpr std::uint8_t TwoStopBits = 2;

} // namespace feedrail
