#include "support/NullModemPair.h"

#include "common/ControlChars.h"
#include "support/EventWaiter.h"

#include <cerrno>
#include <chrono>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <numeric>
#include <string>
#include <string_view>
#include <thread>

namespace feedrail::test {
namespace {

using namespace std::chrono_literals;
using namespace CommEventBit;
using namespace ModemStatusBit;
using Operation = NullModemEnd::Operation;

constexpr std::uint32_t AllEvents = 0x01FF;
using ControlChar::Xoff;
using ControlChar::Xon;

void Configure(NullModemEnd& end, std::uint32_t flags) {
    SerialSettings settings = end.LastSettings();
    settings.Flags = flags;
    ASSERT_EQ(end.SetSettings(settings), 0);
}

std::size_t Send(NullModemEnd& end, std::string_view data, int timeoutMs = 0) {
    std::size_t written = 12345;
    EXPECT_EQ(end.Write(data.data(), data.size(), timeoutMs, written), 0);
    return written;
}

std::string Received(NullModemEnd& end) {
    std::string received;
    char buffer[64];
    std::size_t read = 0;
    do {
        EXPECT_EQ(end.Read(buffer, sizeof buffer, read), 0);
        received.append(buffer, read);
    } while (read > 0);
    return received;
}

ComStat Status(NullModemEnd& end) {
    std::uint32_t errors = 0;
    ComStat stat;
    EXPECT_EQ(end.ClearError(errors, stat), 0);
    return stat;
}

std::uint32_t Modem(NullModemEnd& end) {
    std::uint32_t status = 0;
    EXPECT_EQ(end.GetModemStatus(status), 0);
    return status;
}

// What `end` has reported since last asked.
std::uint32_t TakeEvents(NullModemEnd& end) {
    EXPECT_EQ(end.SetEventMask(AllEvents), 0);
    std::uint32_t events = 0;
    EXPECT_EQ(end.TakeEvents(events), 0);
    return events;
}

TEST(NullModemPairTest, BytesTravelEitherWayInOrder) {
    std::string everyByte(256, '\0');
    std::iota(everyByte.begin(), everyByte.end(), '\0');
    const std::string program = "%\r\nO1000\r\nN10 G00 X0 Y0\r\nM30\r\n%\r\n";
    for (const std::size_t from : {0u, 1u}) {
        SCOPED_TRACE(from == 0 ? "A to B" : "B to A");
        NullModemPair pair;
        const std::array ends{pair.A(), pair.B()};
        NullModemEnd& sender = *ends[from];
        NullModemEnd& receiver = *ends[1 - from];

        EXPECT_EQ(Send(sender, program), program.size());
        EXPECT_EQ(Send(sender, everyByte), everyByte.size());
        EXPECT_EQ(Received(receiver), program + everyByte);
        EXPECT_EQ(sender.Written(), program + everyByte);
        EXPECT_EQ(sender.Pending(), "");
        EXPECT_EQ(Received(sender), "");
        EXPECT_EQ(receiver.Written(), "");
    }
}

TEST(NullModemPairTest, FullReceiverLeavesBytesPendingUntilItReads) {
    NullModemPair pair;
    NullModemEnd& a = *pair.A();
    NullModemEnd& b = *pair.B();
    ASSERT_EQ(b.SetQueueSizes(4, 4), 0);

    EXPECT_EQ(Send(a, "abcdefghij"), 0u);
    EXPECT_EQ(a.Pending(), "efghij");
    EXPECT_EQ(Status(b).cbInQue, 4u);
    EXPECT_EQ(Status(a).cbOutQue, 6u);

    auto waiting = std::async(std::launch::async, [&a] { return Send(a, "k", 10000); });
    EXPECT_EQ(waiting.wait_for(20ms), std::future_status::timeout);
    char buffer[3];
    std::size_t read = 0;
    ASSERT_EQ(b.Read(buffer, sizeof buffer, read), 0);
    EXPECT_EQ(std::string(buffer, read), "abc");
    EXPECT_EQ(waiting.wait_for(20ms), std::future_status::timeout)
        << "returned with earlier bytes still pending";
    EXPECT_EQ(TakeEvents(a), 0u);

    EXPECT_EQ(Received(b), "defghijk");
    EXPECT_EQ(waiting.get(), 1u);
    EXPECT_EQ(a.Written(), "abcdefghijk");
    EXPECT_EQ(TakeEvents(a), EV_TXEMPTY);
}

TEST(NullModemPairTest, HeldOutputIsDeliveredWholeOnRelease) {
    const struct {
        const char* name;
        std::uint32_t flags;
        std::function<void(NullModemEnd& a, NullModemEnd& b)> hold;
        std::function<void(NullModemEnd& a, NullModemEnd& b)> release;
        std::uint32_t reason;
    } holds[] = {
        {"received XOFF", DcbFlag::fOutX, [](auto&, auto& b) { Send(b, std::string(1, Xoff)); },
         [](auto&, auto& b) { Send(b, std::string(1, Xon)); }, ComStatBit::fXoffHold},
        {"SETXOFF", 0, [](auto& a, auto&) { a.EscapeFunction(EscapeCode::SETXOFF); },
         [](auto& a, auto&) { a.EscapeFunction(EscapeCode::SETXON); }, ComStatBit::fXoffHold},
        {"SETXON after received XOFF", DcbFlag::fOutX,
         [](auto&, auto& b) { Send(b, std::string(1, Xoff)); },
         [](auto& a, auto&) { a.EscapeFunction(EscapeCode::SETXON); }, ComStatBit::fXoffHold},
        {"CTS off", DcbFlag::fOutxCtsFlow,
         [](auto&, auto& b) { b.EscapeFunction(EscapeCode::CLRRTS); },
         [](auto&, auto& b) { b.EscapeFunction(EscapeCode::SETRTS); }, ComStatBit::fCtsHold},
        {"DSR off", DcbFlag::fOutxDsrFlow,
         [](auto&, auto& b) { b.EscapeFunction(EscapeCode::CLRDTR); },
         [](auto&, auto& b) { b.EscapeFunction(EscapeCode::SETDTR); }, ComStatBit::fDsrHold},
        {"test hold", 0, [](auto& a, auto&) { a.HoldOutput(true); },
         [](auto& a, auto&) { a.HoldOutput(false); }, 0},
    };
    const std::string first = "N10 G01 X5.\r\n";
    const std::string second = "N20 G01 Y5.\r\nN30 M30\r\n";
    for (const auto& row : holds) {
        SCOPED_TRACE(row.name);
        NullModemPair pair;
        NullModemEnd& a = *pair.A();
        NullModemEnd& b = *pair.B();
        Configure(a, row.flags);
        row.hold(a, b);

        EXPECT_EQ(Send(a, first, 10), 0u);
        EXPECT_EQ(a.Pending(), first);
        EXPECT_EQ(Status(b).cbInQue, 0u);
        const ComStat held = Status(a);
        EXPECT_EQ(held.Flags, row.reason);
        EXPECT_EQ(held.cbOutQue, first.size());

        auto waiting =
            std::async(std::launch::async, [&a, &second] { return Send(a, second, 10000); });
        EXPECT_EQ(waiting.wait_for(20ms), std::future_status::timeout);
        row.release(a, b);
        EXPECT_EQ(waiting.get(), second.size());

        EXPECT_EQ(Received(b), first + second);
        EXPECT_EQ(a.Written(), first + second);
        EXPECT_EQ(a.Pending(), "");
        EXPECT_EQ(Status(a).Flags, 0u);
        EXPECT_EQ(Received(a), "");
    }
}

TEST(NullModemPairTest, ReceiverDropsWhatItsSettingsSay) {
    const struct {
        const char* name;
        std::uint32_t flags;
        char evtChar;
        bool senderDtr;
        std::string sent;
        std::string received;
        std::uint32_t events;
    } rows[] = {
        {"event character", 0, '\n', false, "G1\n", "G1\n", EV_RXCHAR | EV_RXFLAG},
        {"only nulls", DcbFlag::fNull, '\0', false, std::string("\0\0", 2), "", 0},
        {"XOFF and XON taken out", DcbFlag::fOutX, '%', false, "x\x13y\x11z", "xyz", EV_RXCHAR},
        {"DSR off ignored", DcbFlag::fDsrSensitivity, '%', false, "abc", "", 0},
        {"DSR on", DcbFlag::fDsrSensitivity, '%', true, "abc", "abc", EV_RXCHAR},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        NullModemPair pair;
        NullModemEnd& a = *pair.A();
        NullModemEnd& b = *pair.B();
        SerialSettings settings = b.LastSettings();
        settings.Flags = row.flags;
        settings.EvtChar = row.evtChar;
        ASSERT_EQ(b.SetSettings(settings), 0);
        Configure(a, row.senderDtr ? DcbFlag::DtrControlEnable : 0);

        Send(a, row.sent);
        EXPECT_EQ(Received(b), row.received);
        EXPECT_EQ(a.Written(), row.sent);
        EXPECT_EQ(TakeEvents(b) & ~(EV_DSR | EV_RLSD), row.events);
    }
}

TEST(NullModemPairTest, LinesOfOneEndAreTheModemStatusOfTheOther) {
    const std::uint32_t dtrOn = MS_DSR_ON | MS_RLSD_ON;
    const std::uint32_t dtrChanged = EV_DSR | EV_RLSD;
    const struct {
        const char* name;
        std::uint32_t flags;
        int escape;
        std::uint32_t status;
        std::uint32_t events;
    } rows[] = {
        {"all off", 0, 0, 0, 0},
        {"DTR enabled", DcbFlag::DtrControlEnable, 0, dtrOn, dtrChanged},
        {"RTS enabled", DcbFlag::RtsControlEnable, 0, MS_CTS_ON, EV_CTS},
        {"DTR handshake with room", DcbFlag::DtrControlHandshake, 0, dtrOn, dtrChanged},
        {"RTS handshake with room", DcbFlag::RtsControlHandshake, 0, MS_CTS_ON, EV_CTS},
        {"RTS toggle with nothing to send", DcbFlag::RtsControlToggle, 0, 0, 0},
        {"SETDTR", 0, EscapeCode::SETDTR, dtrOn, dtrChanged},
        {"SETRTS", 0, EscapeCode::SETRTS, MS_CTS_ON, EV_CTS},
        {"CLRDTR", DcbFlag::DtrControlEnable | DcbFlag::RtsControlEnable, EscapeCode::CLRDTR,
         MS_CTS_ON, dtrChanged | EV_CTS},
        {"CLRRTS", DcbFlag::DtrControlEnable | DcbFlag::RtsControlEnable, EscapeCode::CLRRTS, dtrOn,
         dtrChanged | EV_CTS},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        NullModemPair pair;
        NullModemEnd& a = *pair.A();
        NullModemEnd& b = *pair.B();
        Configure(b, row.flags);
        if (row.escape != 0) {
            ASSERT_EQ(b.EscapeFunction(row.escape), 0);
        }
        EXPECT_EQ(Modem(a), row.status);
        EXPECT_EQ(b.Dtr(), (row.status & MS_DSR_ON) != 0);
        EXPECT_EQ(b.Rts(), (row.status & MS_CTS_ON) != 0);
        EXPECT_EQ(TakeEvents(a), row.events);
        EXPECT_EQ(Modem(b), 0u);
        EXPECT_EQ(TakeEvents(b), 0u);
    }
}

TEST(NullModemPairTest, HandshakeLinesDropWhileTheInputQueueIsFull) {
    NullModemPair pair;
    NullModemEnd& a = *pair.A();
    NullModemEnd& b = *pair.B();
    Configure(a, DcbFlag::fOutxCtsFlow);
    Configure(b, DcbFlag::DtrControlHandshake | DcbFlag::RtsControlHandshake);
    ASSERT_EQ(b.SetQueueSizes(3, 3), 0);
    TakeEvents(a);

    EXPECT_EQ(Send(a, "abcdef"), 0u);
    EXPECT_FALSE(b.Dtr());
    EXPECT_FALSE(b.Rts());
    EXPECT_EQ(Modem(a), 0u);
    EXPECT_EQ(Status(a).Flags, ComStatBit::fCtsHold);
    EXPECT_EQ(TakeEvents(a), EV_CTS | EV_DSR | EV_RLSD);

    EXPECT_EQ(Received(b), "abcdef");
    EXPECT_TRUE(b.Dtr());
    EXPECT_TRUE(b.Rts());
    EXPECT_EQ(a.Written(), "abcdef");
}

TEST(NullModemPairTest, ToggledRtsIsOnOnlyWhileOutputIsPending) {
    NullModemPair pair;
    NullModemEnd& a = *pair.A();
    NullModemEnd& b = *pair.B();
    Configure(b, DcbFlag::RtsControlToggle);
    b.HoldOutput(true);

    EXPECT_EQ(Send(b, "x"), 0u);
    EXPECT_TRUE(b.Rts());
    EXPECT_EQ(Modem(a), MS_CTS_ON);

    b.HoldOutput(false);
    EXPECT_FALSE(b.Rts());
    EXPECT_EQ(Modem(a), 0u);
    EXPECT_EQ(Received(a), "x");
    EXPECT_EQ(TakeEvents(a), EV_CTS | EV_RXCHAR);
}

TEST(NullModemPairTest, EventsReportWhatHappened) {
    const struct {
        const char* name;
        std::function<void(NullModemEnd& a, NullModemEnd& b)> action;
        std::uint32_t events;
    } rows[] = {
        {"nothing", [](auto&, auto&) {}, 0},
        {"byte received", [](auto&, auto& b) { Send(b, "x"); }, EV_RXCHAR},
        {"output drained", [](auto& a, auto&) { Send(a, "x"); }, EV_TXEMPTY},
        {"rung", [](auto&, auto& b) { b.SetRing(true); }, EV_RING},
        {"ringing ends", [](auto&, auto& b) { b.SetRing(false); }, 0},
        {"own lines", [](auto& a, auto&) { a.EscapeFunction(EscapeCode::SETDTR); }, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        NullModemPair pair;
        row.action(*pair.A(), *pair.B());
        EXPECT_EQ(TakeEvents(*pair.A()), row.events);
        EXPECT_EQ(TakeEvents(*pair.A()), 0u) << "reported twice";
    }
}

TEST(NullModemPairTest, TakeReturnsOnlyMaskedEventsAndKeepsTheRest) {
    NullModemPair pair;
    NullModemEnd& a = *pair.A();
    ASSERT_EQ(a.SetEventMask(EV_RXCHAR), 0);
    test::EventWaiter waiter(a);
    pair.B()->SetRing(true);
    EXPECT_EQ(Modem(a), MS_RING_ON);
    EXPECT_EQ(waiter.Calls(), 0) << "told of an event outside the mask";
    Send(*pair.B(), "x");
    EXPECT_EQ(waiter.Wait(1s), EV_RXCHAR);
    EXPECT_EQ(TakeEvents(a), EV_RING);
}

// One call per batch, however many events it grows to, until it is taken:
// a device does not post a dispatch per byte.
TEST(NullModemPairTest, TheListenerIsToldOncePerBatch) {
    NullModemPair pair;
    NullModemEnd& a = *pair.A();
    ASSERT_EQ(a.SetEventMask(AllEvents), 0);
    test::EventWaiter waiter(a);
    for (const char* byte : {"x", "y", "z"}) {
        Send(*pair.B(), byte);
    }
    pair.B()->SetRing(true);
    EXPECT_EQ(waiter.Calls(), 1);
    EXPECT_EQ(waiter.Wait(1s), EV_RXCHAR | EV_RING);
    Send(*pair.B(), "w");
    EXPECT_EQ(waiter.Calls(), 2) << "a batch after a take";
    a.Close();
    pair.B()->SetRing(false);
    Send(*pair.B(), "v");
    EXPECT_EQ(waiter.Calls(), 2) << "told after Close";
}

TEST(NullModemPairTest, ClearErrorReportsInjectedErrorsOnce) {
    using namespace CommErrorBit;
    const struct {
        const char* name;
        std::uint32_t lineErrors;
        bool lineBreak;
        std::uint32_t events;
    } rows[] = {
        {"framing and overrun", CE_FRAME | CE_OVERRUN, false, EV_ERR},
        {"break", 0, true, EV_BREAK},
        {"parity and break", CE_RXPARITY, true, EV_ERR | EV_BREAK},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        NullModemPair pair;
        NullModemEnd& a = *pair.A();
        if (row.lineErrors != 0) {
            a.InjectLineErrors(row.lineErrors);
        }
        if (row.lineBreak) {
            a.InjectBreak();
        }
        std::uint32_t errors = 0;
        ComStat stat;
        ASSERT_EQ(a.ClearError(errors, stat), 0);
        EXPECT_EQ(errors, row.lineErrors | (row.lineBreak ? CE_BREAK : 0));
        ASSERT_EQ(a.ClearError(errors, stat), 0);
        EXPECT_EQ(errors, 0u);
        EXPECT_EQ(TakeEvents(a), row.events);
        EXPECT_EQ(TakeEvents(*pair.B()), 0u);
    }
}

TEST(NullModemPairTest, PurgeDropsTheChosenQueuesOnly) {
    using namespace PurgeFlag;
    const struct {
        std::uint32_t flags;
        std::string sent;
        std::string kept;
    } rows[] = {
        {PURGE_TXCLEAR, "", "in"},
        {PURGE_TXABORT, "", "in"},
        {PURGE_RXCLEAR, "out", ""},
        {PURGE_RXABORT, "out", ""},
        {PURGE_TXCLEAR | PURGE_RXCLEAR, "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.flags);
        NullModemPair pair;
        NullModemEnd& a = *pair.A();
        a.HoldOutput(true);
        Send(a, "out");
        Send(*pair.B(), "in");

        ASSERT_EQ(a.Purge(row.flags), 0);
        EXPECT_EQ(a.Pending(), row.sent);
        a.HoldOutput(false);
        EXPECT_EQ(Received(*pair.B()), row.sent);
        EXPECT_EQ(Received(a), row.kept);
    }
}

TEST(NullModemPairTest, SettingsReadBackAsSet) {
    NullModemPair pair;
    NullModemEnd& a = *pair.A();
    SerialSettings settings;
    ASSERT_EQ(a.GetSettings(settings), 0);
    EXPECT_EQ(settings.EofChar, 0x1A);
    EXPECT_EQ(a.SettingsWrites(), 0);

    settings.BaudRate = 4800;
    settings.Flags = DcbFlag::fOutX;
    settings.XonChar = 'Q';
    ASSERT_EQ(a.SetSettings(settings), 0);
    SerialSettings readBack;
    ASSERT_EQ(a.GetSettings(readBack), 0);
    for (const SerialSettings& got : {readBack, a.LastSettings()}) {
        EXPECT_EQ(got.BaudRate, 4800u);
        EXPECT_EQ(got.Flags, DcbFlag::fOutX);
        EXPECT_EQ(got.XonChar, 'Q');
        EXPECT_EQ(got.EofChar, 0x1A);
    }
    EXPECT_EQ(a.SettingsWrites(), 1);
}

// What the operations below hand back; only whether they fail matters here.
struct Results {
    SerialSettings settings;
    std::size_t count = 0;
    char byte = 0;
    std::uint32_t word = 0;
    ComStat stat;
};

// Every device operation, called on `end` with arguments that succeed.
const struct {
    Operation op;
    std::function<int(NullModemEnd&, Results&)> call;
} Calls[] = {
    {Operation::GetSettings, [](auto& end, auto& out) { return end.GetSettings(out.settings); }},
    {Operation::SetSettings, [](auto& end, auto& out) { return end.SetSettings(out.settings); }},
    {Operation::SetTimeouts, [](auto& end, auto&) { return end.SetTimeouts(); }},
    {Operation::SetQueueSizes, [](auto& end, auto&) { return end.SetQueueSizes(64, 64); }},
    {Operation::SetEventMask, [](auto& end, auto&) { return end.SetEventMask(EV_RXCHAR); }},
    {Operation::Write, [](auto& end, auto& out) { return end.Write("x", 1, 0, out.count); }},
    {Operation::Read, [](auto& end, auto& out) { return end.Read(&out.byte, 1, out.count); }},
    {Operation::ClearError,
     [](auto& end, auto& out) { return end.ClearError(out.word, out.stat); }},
    {Operation::Purge, [](auto& end, auto&) { return end.Purge(PurgeFlag::PURGE_RXCLEAR); }},
    {Operation::EscapeFunction,
     [](auto& end, auto&) { return end.EscapeFunction(EscapeCode::SETDTR); }},
    {Operation::GetModemStatus, [](auto& end, auto& out) { return end.GetModemStatus(out.word); }},
};

TEST(NullModemPairTest, FailNextFailsOnlyTheNextCallOfThatOperation) {
    for (const auto& row : Calls) {
        SCOPED_TRACE(static_cast<int>(row.op));
        NullModemPair pair;
        NullModemEnd& a = *pair.A();
        Results results;
        a.FailNext(row.op, EIO);
        for (const auto& other : Calls) {
            if (other.op != row.op) {
                EXPECT_EQ(other.call(a, results), 0) << static_cast<int>(other.op);
            }
        }
        EXPECT_EQ(row.call(a, results), EIO);
        EXPECT_EQ(row.call(a, results), 0);
    }
}

TEST(NullModemPairTest, FailedCallsChangeNothing) {
    NullModemPair pair;
    NullModemEnd& a = *pair.A();
    a.FailNext(Operation::SetSettings, EIO);
    SerialSettings settings;
    settings.BaudRate = 300;
    EXPECT_EQ(a.SetSettings(settings), EIO);
    EXPECT_EQ(a.SettingsWrites(), 0);
    EXPECT_EQ(a.LastSettings().BaudRate, 9600u);

    a.FailNext(Operation::Write, EIO);
    std::size_t written = 99;
    EXPECT_EQ(a.Write("lost", 4, 0, written), EIO);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(Send(a, "kept"), 4u);
    EXPECT_EQ(Received(*pair.B()), "kept");

    EXPECT_EQ(a.EscapeFunction(99), EINVAL);
}

TEST(NullModemPairTest, CloseWakesAWriterAndEndsEveryOperation) {
    NullModemPair pair;
    NullModemEnd& a = *pair.A();
    ASSERT_EQ(a.SetEventMask(AllEvents), 0);
    a.HoldOutput(true);
    auto write = std::async(std::launch::async, [&a] {
        std::size_t written = 99;
        const int result = a.Write("x", 1, 10000, written);
        return std::pair{result, written};
    });
    EXPECT_EQ(write.wait_for(20ms), std::future_status::timeout);

    a.Close();
    ASSERT_EQ(write.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(write.get(), std::pair(EBADF, std::size_t{0}));
    Results results;
    for (const auto& row : Calls) {
        EXPECT_EQ(row.call(a, results), EBADF) << static_cast<int>(row.op);
    }
    std::uint32_t events = 0;
    EXPECT_EQ(a.TakeEvents(events), EBADF);
    a.HoldOutput(false);
    EXPECT_EQ(Received(*pair.B()), "") << "a closed end sent what it held";
}

TEST(NullModemPairTest, OtherEndKeepsWorkingAfterClose) {
    NullModemPair pair;
    NullModemEnd& b = *pair.B();
    Configure(*pair.A(), DcbFlag::DtrControlEnable | DcbFlag::RtsControlEnable);
    EXPECT_EQ(Modem(b), MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON);
    TakeEvents(b);

    pair.A()->Close();
    EXPECT_EQ(Modem(b), 0u);
    EXPECT_EQ(TakeEvents(b), EV_CTS | EV_DSR | EV_RLSD);
    EXPECT_EQ(Send(b, "abc"), 3u);
    EXPECT_EQ(b.Written(), "abc");
    Results results;
    for (const auto& row : Calls) {
        EXPECT_EQ(row.call(b, results), 0) << static_cast<int>(row.op);
    }
}

TEST(NullModemPairTest, ManyBytesThroughASmallQueueArriveOnceInOrder) {
    NullModemPair pair;
    NullModemEnd& a = *pair.A();
    NullModemEnd& b = *pair.B();
    Configure(a, DcbFlag::fOutxCtsFlow);
    Configure(b, DcbFlag::RtsControlHandshake);
    ASSERT_EQ(b.SetQueueSizes(7, 7), 0);
    std::string data;
    for (int i = 0; i < 20000; ++i) {
        data.push_back(static_cast<char>(i * 7 % 251));
    }

    auto writer = std::async(std::launch::async, [&a, &data] {
        std::size_t total = 0;
        for (std::size_t at = 0; at < data.size(); at += 100) {
            total += Send(a, std::string_view(data).substr(at, 100), 10000);
        }
        return total;
    });
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (received.size() < data.size() && std::chrono::steady_clock::now() < deadline) {
        received += Received(b);
        std::this_thread::yield();
    }
    EXPECT_EQ(writer.get(), data.size());
    EXPECT_EQ(received, data);
    EXPECT_EQ(a.Written(), data);
}

} // namespace
} // namespace feedrail::test
