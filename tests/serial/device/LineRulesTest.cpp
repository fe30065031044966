#include "serial/device/LineRules.h"

#include "common/ControlChars.h"
#include "serial/device/SerialDevice.h"

#include <gtest/gtest.h>
#include <optional>
#include <ostream>

namespace feedrail {

// Names the fate in a failure message, rather than its bytes.
static void PrintTo(ByteFate fate, std::ostream* out) {
    constexpr const char* names[] = {"Keep", "TakeXon", "TakeXoff", "DropNul", "DropDsrOff"};
    *out << names[static_cast<int>(fate)];
}

static void PrintTo(LineAction action, std::ostream* out) {
    constexpr const char* names[] = {"Keep", "Raise", "Drop", "Driver"};
    *out << names[static_cast<int>(action)];
}

namespace {

using ControlChar::Nul;
using ControlChar::Xoff;
using ControlChar::Xon;

TEST(LineRulesTest, ReceivedBytesAreKeptTakenOrDropped) {
    const struct {
        const char* name;
        std::uint32_t flags;
        char byte;
        bool dsrOn;
        ByteFate fate;
        bool eventChar;
        char xonChar = Xon;
        char xoffChar = Xoff;
        char evtChar = '%';
    } rows[] = {
        {"XOFF is data without output flow", 0, Xoff, true, ByteFate::Keep, false},
        {"XON is data without output flow", 0, Xon, true, ByteFate::Keep, false},
        {"input flow alone leaves XOFF data", DcbFlag::fInX, Xoff, true, ByteFate::Keep, false},
        {"XOFF taken", DcbFlag::fOutX, Xoff, true, ByteFate::TakeXoff, false},
        {"XON taken", DcbFlag::fOutX, Xon, true, ByteFate::TakeXon, false},
        {"data beside XON/XOFF", DcbFlag::fOutX, 'G', true, ByteFate::Keep, false},
        {"own XOFF character", DcbFlag::fOutX, 'S', true, ByteFate::TakeXoff, false, 'Q', 'S'},
        {"own XON character", DcbFlag::fOutX, 'Q', true, ByteFate::TakeXon, false, 'Q', 'S'},
        {"usual XOFF beside own characters", DcbFlag::fOutX, Xoff, true, ByteFate::Keep, false, 'Q',
         'S'},
        {"one character for both stops", DcbFlag::fOutX, Xoff, true, ByteFate::TakeXoff, false,
         Xoff, Xoff},
        {"NUL kept", 0, Nul, true, ByteFate::Keep, false},
        {"NUL dropped", DcbFlag::fNull, Nul, true, ByteFate::DropNul, false},
        {"data beside NUL stripping", DcbFlag::fNull, 'a', true, ByteFate::Keep, false},
        {"DSR off ignored", DcbFlag::fDsrSensitivity, 'a', false, ByteFate::DropDsrOff, false},
        {"DSR on", DcbFlag::fDsrSensitivity, 'a', true, ByteFate::Keep, false},
        {"DSR off without sensitivity", 0, 'a', false, ByteFate::Keep, false},
        {"XOFF acts while DSR is off", DcbFlag::fOutX | DcbFlag::fDsrSensitivity, Xoff, false,
         ByteFate::TakeXoff, false},
        {"XON acts while DSR is off", DcbFlag::fOutX | DcbFlag::fDsrSensitivity, Xon, false,
         ByteFate::TakeXon, false},
        {"event character", 0, '\n', true, ByteFate::Keep, true, Xon, Xoff, '\n'},
        {"NUL is the unset event character", 0, Nul, true, ByteFate::Keep, true, Xon, Xoff, Nul},
        {"stripped NUL raises nothing", DcbFlag::fNull, Nul, true, ByteFate::DropNul, false, Xon,
         Xoff, Nul},
        {"ignored event character", DcbFlag::fDsrSensitivity, '\n', false, ByteFate::DropDsrOff,
         false, Xon, Xoff, '\n'},
        {"XOFF as event character", DcbFlag::fOutX, Xoff, true, ByteFate::TakeXoff, false, Xon,
         Xoff, Xoff},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SerialSettings settings;
        settings.Flags = row.flags;
        settings.XonChar = row.xonChar;
        settings.XoffChar = row.xoffChar;
        settings.EvtChar = row.evtChar;
        const ReceivedByte received = ClassifyReceivedByte(settings, row.byte, row.dsrOn);
        EXPECT_EQ(received.Fate, row.fate);
        EXPECT_EQ(received.EventChar, row.eventChar);
    }
}

// Under the kept hold the machine's XON and XOFF stay data for the transfer
// and move the output's hold too, also with ISO's parity in the eighth bit.
TEST(LineRulesTest, KeptXonAndXoffAreDataThatMoveTheHold) {
    const struct {
        const char* name;
        char byte;
        std::optional<bool> xoff;
    } rows[] = {
        {"XOFF", Xoff, true},
        {"XON", Xon, false},
        {"ISO's XOFF, parity set", static_cast<char>(0x93), true},
        {"ISO's XON, parity clear", Xon, false},
        {"data", 'G', std::nullopt},
        {"DC4", '\x14', std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SerialSettings settings;
        settings.Flags = DcbFlag::fOutXKept;
        settings.XonChar = Xon;
        settings.XoffChar = Xoff;
        const ReceivedByte received = ClassifyReceivedByte(settings, row.byte, true);
        EXPECT_EQ(received.Fate, ByteFate::Keep);
        EXPECT_EQ(received.Xoff, row.xoff);
        settings.Flags = 0;
        EXPECT_EQ(ClassifyReceivedByte(settings, row.byte, true).Xoff, std::nullopt)
            << "moved the hold without it";
    }
}

TEST(LineRulesTest, OutputIsHeldForEachReasonItsFlowControlWatches) {
    using namespace ComStatBit;
    constexpr OutputLineState linesOn{};
    constexpr OutputLineState linesOff{.CtsOn = false, .DsrOn = false};
    constexpr OutputLineState xoffReceived{.XoffReceived = true};
    constexpr OutputLineState xoffForced{.XoffForced = true};
    constexpr OutputLineState everything{
        .CtsOn = false, .DsrOn = false, .XoffReceived = true, .XoffForced = true};
    const std::uint32_t allFlow = DcbFlag::fOutxCtsFlow | DcbFlag::fOutxDsrFlow | DcbFlag::fOutX;
    const struct {
        const char* name;
        std::uint32_t flags;
        OutputLineState state;
        std::uint32_t holds;
    } rows[] = {
        {"nothing watched", 0, linesOff, 0},
        {"lines up", allFlow, linesOn, 0},
        {"CTS off", DcbFlag::fOutxCtsFlow, {.CtsOn = false}, fCtsHold},
        {"DSR off under CTS flow", DcbFlag::fOutxCtsFlow, {.DsrOn = false}, 0},
        {"DSR off", DcbFlag::fOutxDsrFlow, {.DsrOn = false}, fDsrHold},
        {"CTS off under DSR flow", DcbFlag::fOutxDsrFlow, {.CtsOn = false}, 0},
        {"handshake of own lines only", DcbFlag::RtsControlHandshake | DcbFlag::DtrControlHandshake,
         linesOff, 0},
        {"XOFF received", DcbFlag::fOutX, xoffReceived, fXoffHold},
        {"XOFF received without output flow", DcbFlag::fInX, xoffReceived, 0},
        {"XOFF forced", 0, xoffForced, fXoffHold},
        {"XOFF forced under output flow", DcbFlag::fOutX, xoffForced, fXoffHold},
        {"both lines off", DcbFlag::fOutxCtsFlow | DcbFlag::fOutxDsrFlow, linesOff,
         fCtsHold | fDsrHold},
        {"every reason at once", allFlow, everything, fCtsHold | fDsrHold | fXoffHold},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SerialSettings settings;
        settings.Flags = row.flags;
        EXPECT_EQ(HoldReasons(settings, row.state), row.holds);
    }
}

TEST(LineRulesTest, ASettingsWriteMovesOnlyALineWhoseModeChanged) {
    using namespace DcbFlag;
    using enum LineAction;
    constexpr std::uint32_t base = fBinary | fAbortOnError;
    constexpr std::uint32_t rtsCtsFlow = fOutxCtsFlow | RtsControlHandshake;
    constexpr std::uint32_t dtrDsrFlow = fOutxDsrFlow | DtrControlHandshake;
    const struct {
        const char* name;
        std::optional<std::uint32_t> previous;
        std::uint32_t flags;
        LineAction dtr;
        LineAction rts;
    } rows[] = {
        {"first write drops disabled lines", std::nullopt, base, Drop, Drop},
        {"first write raises enabled lines", std::nullopt,
         base | DtrControlEnable | RtsControlEnable, Raise, Raise},
        {"first write hands handshake lines over", std::nullopt,
         base | DtrControlHandshake | RtsControlHandshake, Driver, Driver},
        {"toggled RTS is the driver's", std::nullopt, base | RtsControlToggle, Drop, Driver},
        {"same modes, other flags", base | DtrControlEnable, base | DtrControlEnable | fOutX | fInX,
         Keep, Keep},
        {"DTR enabled alone", base, base | DtrControlEnable, Raise, Keep},
        {"DTR disabled alone", base | DtrControlEnable | RtsControlEnable, base | RtsControlEnable,
         Drop, Keep},
        {"RTS/CTS flow keeps DTR", base, base | rtsCtsFlow, Keep, Driver},
        {"RTS handed over again under RTS/CTS flow", base | rtsCtsFlow, base | rtsCtsFlow, Keep,
         Keep},
        {"DTR/DSR flow keeps RTS", base | DtrControlEnable, base | dtrDsrFlow, Driver, Keep},
        {"DTR enabled under DTR/DSR flow", base | dtrDsrFlow, base | dtrDsrFlow, Keep, Keep},
        {"handshake given back", base | rtsCtsFlow, base, Keep, Drop},
        {"toggle to enable", base | RtsControlToggle, base | RtsControlEnable, Keep, Raise},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const LineActions actions = LineModeActions(row.previous, row.flags);
        EXPECT_EQ(actions.Dtr, row.dtr);
        EXPECT_EQ(actions.Rts, row.rts);
    }
}

} // namespace
} // namespace feedrail
