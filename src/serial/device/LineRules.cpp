#include "serial/device/LineRules.h"

#include "common/ControlChars.h"
#include "serial/device/SerialDevice.h"

namespace feedrail {
namespace {

bool Has(const SerialSettings& settings, std::uint32_t flag) {
    return (settings.Flags & flag) != 0;
}

ByteFate Fate(const SerialSettings& settings, char byte, bool dsrOn) {
    // XON and XOFF still steer the output while DSR sensitivity ignores the
    // data, so a control that drops DSR cannot leave the output stuck.
    if (Has(settings, DcbFlag::fOutX)) {
        if (byte == settings.XoffChar) {
            return ByteFate::TakeXoff;
        }
        if (byte == settings.XonChar) {
            return ByteFate::TakeXon;
        }
    }
    if (Has(settings, DcbFlag::fNull) && byte == ControlChar::Nul) {
        return ByteFate::DropNul;
    }
    if (Has(settings, DcbFlag::fDsrSensitivity) && !dsrOn) {
        return ByteFate::DropDsrOff;
    }
    return ByteFate::Keep;
}

LineAction ModeAction(std::uint32_t mode, std::uint32_t enable) {
    if (mode == 0) {
        return LineAction::Drop;
    }
    return mode == enable ? LineAction::Raise : LineAction::Driver;
}

} // namespace

LineActions LineModeActions(std::optional<std::uint32_t> previousFlags, std::uint32_t flags) {
    const auto changed = [&](std::uint32_t mask) {
        return !previousFlags || ((*previousFlags ^ flags) & mask) != 0;
    };
    LineActions actions;
    if (changed(DcbFlag::DtrControlMask)) {
        actions.Dtr = ModeAction(flags & DcbFlag::DtrControlMask, DcbFlag::DtrControlEnable);
    }
    if (changed(DcbFlag::RtsControlMask)) {
        actions.Rts = ModeAction(flags & DcbFlag::RtsControlMask, DcbFlag::RtsControlEnable);
    }
    return actions;
}

ReceivedByte ClassifyReceivedByte(const SerialSettings& settings, char byte, bool dsrOn) {
    const ByteFate fate = Fate(settings, byte, dsrOn);
    ReceivedByte received{fate, fate == ByteFate::Keep && byte == settings.EvtChar, {}};
    if (fate == ByteFate::Keep && Has(settings, DcbFlag::fOutXKept)) {
        // A tape code with its parity in the eighth bit (ISO on eight data
        // bits) sends XOFF as 0x93: the transfer reads it as XOFF, and so
        // must the hold.
        const char plain = static_cast<char>(byte & 0x7F);
        if (plain == settings.XoffChar) {
            received.Xoff = true;
        } else if (plain == settings.XonChar) {
            received.Xoff = false;
        }
    }
    return received;
}

std::uint32_t HoldReasons(const SerialSettings& settings, const OutputLineState& state) {
    std::uint32_t reasons = 0;
    if (Has(settings, DcbFlag::fOutxCtsFlow) && !state.CtsOn) {
        reasons |= ComStatBit::fCtsHold;
    }
    if (Has(settings, DcbFlag::fOutxDsrFlow) && !state.DsrOn) {
        reasons |= ComStatBit::fDsrHold;
    }
    // A received XOFF outlives a switch of flow control but holds only under it.
    if (state.XoffForced ||
        (Has(settings, DcbFlag::fOutX | DcbFlag::fOutXKept) && state.XoffReceived)) {
        reasons |= ComStatBit::fXoffHold;
    }
    return reasons;
}

} // namespace feedrail
