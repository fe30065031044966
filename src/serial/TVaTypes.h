#pragma once

#include "serial/EnumSet.h"
#include "serial/device/SerialDevice.h"
#include "serial/device/SerialSettings.h"

#include <array>
#include <cstdint>

namespace feedrail {

enum TVaBaudrate : std::uint8_t {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
};

enum TVaDatabits : std::uint8_t { db4, db5, db6, db7, db8 };

enum TVaParity : std::uint8_t { paNone, paOdd, paEven, paMark, paSpace };

enum TVaStopbits : std::uint8_t { sb1, sb15, sb2 };

enum TVaFlowControl : std::uint8_t { fcNone, fcXonXoff, fcRtsCts, fcDtrDsr };

enum TVaDTRControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };

enum TVaRTSControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };

enum TVaCommOption : std::uint8_t {
    coContinueOnXOff,
    coErrorChar,
    coNullStrip,
    coParityCheck,
    coDsrSensitivity,
};
using TVaCommOptions = EnumSet<TVaCommOption>;

enum TVaCommEvent : std::uint8_t {
    ceBreak,
    ceCts,
    ceDsr,
    ceError,
    ceRing,
    ceRlsd,
    ceRxChar,
    ceTxEmpty,
    ceRxFlag,
};
using TVaCommEvents = EnumSet<TVaCommEvent>;
inline constexpr TVaCommEvents AllCommEvents{ceBreak, ceCts,    ceDsr,     ceError, ceRing,
                                             ceRlsd,  ceRxChar, ceTxEmpty, ceRxFlag};

enum TThreadPriority : std::uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical,
};

// The device value of each enumeration value, indexed by ordinal.
inline constexpr std::array<std::uint32_t, 15> BaudrateValues{110,   300,   600,    1200,   2400,
                                                              4800,  9600,  14400,  19200,  38400,
                                                              56000, 57600, 115200, 128000, 256000};
inline constexpr std::array<std::uint8_t, 5> DatabitsValues{4, 5, 6, 7, 8};
// The device flags of each flow control: none; Xon/Xoff both ways; CTS
// watched with RTS as handshake; DSR watched with DTR as handshake.
inline constexpr std::array<std::uint32_t, 4> FlowControlFlags{
    0,
    DcbFlag::fOutX | DcbFlag::fInX,
    DcbFlag::fOutxCtsFlow | DcbFlag::RtsControlHandshake,
    DcbFlag::fOutxDsrFlow | DcbFlag::DtrControlHandshake,
};
static_assert(FlowControlFlags == std::array<std::uint32_t, 4>{0x0000, 0x0300, 0x2004, 0x0028});
inline constexpr std::array<std::uint32_t, 3> DTRControlFlags{
    0,
    DcbFlag::DtrControlEnable,
    DcbFlag::DtrControlHandshake,
};
static_assert(DTRControlFlags == std::array<std::uint32_t, 3>{0x0000, 0x0010, 0x0020});
inline constexpr std::array<std::uint32_t, 4> RTSControlFlags{
    0,
    DcbFlag::RtsControlEnable,
    DcbFlag::RtsControlHandshake,
    DcbFlag::RtsControlToggle,
};
static_assert(RTSControlFlags == std::array<std::uint32_t, 4>{0x0000, 0x1000, 0x2000, 0x3000});
inline constexpr std::array<std::uint32_t, 5> CommOptionFlags{
    DcbFlag::fTXContinueOnXoff, DcbFlag::fErrorChar,      DcbFlag::fNull,
    DcbFlag::fParity,           DcbFlag::fDsrSensitivity,
};
static_assert(CommOptionFlags ==
              std::array<std::uint32_t, 5>{0x0080, 0x0400, 0x0800, 0x0002, 0x0040});
inline constexpr std::array<std::uint32_t, 9> CommEventBits{
    CommEventBit::EV_BREAK,  CommEventBit::EV_CTS,     CommEventBit::EV_DSR,
    CommEventBit::EV_ERR,    CommEventBit::EV_RING,    CommEventBit::EV_RLSD,
    CommEventBit::EV_RXCHAR, CommEventBit::EV_TXEMPTY, CommEventBit::EV_RXFLAG,
};
static_assert(CommEventBits == std::array<std::uint32_t, 9>{0x0040, 0x0008, 0x0010, 0x0080, 0x0100,
                                                            0x0020, 0x0001, 0x0004, 0x0002});
inline constexpr std::array<int, 7> ThreadPriorityValues{-15, -2, -1, 0, 1, 2, 15};

} // namespace feedrail
