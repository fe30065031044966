#include "support/NullModemEnd.h"

#include "serial/device/LineRules.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace feedrail::test {

namespace {

constexpr std::uint32_t DefaultInputSize = 4096;

// A non-zero EofChar lets a test see that the record it set survives a
// read-back untouched.
SerialSettings InitialSettings() {
    SerialSettings settings;
    settings.EofChar = 0x1A;
    return settings;
}

} // namespace

struct NullModemEnd::Side {
    SerialSettings settings = InitialSettings();
    // The flag word whose line modes are in effect; none before the first
    // settings write, which sets both lines.
    std::optional<std::uint32_t> lineFlags;
    int settingsWrites = 0;
    std::uint32_t inputSize = DefaultInputSize;
    std::deque<char> input;
    std::deque<char> pending;
    std::string written;
    std::uint32_t events = 0;
    std::uint32_t eventMask = 0;
    std::uint32_t errors = 0;
    std::map<Operation, int> failures;
    bool dtr = false;
    bool rts = false;
    bool ring = false;
    bool xoffReceived = false;
    bool xoffEscape = false;
    bool heldByTest = false;
    std::size_t letThrough = 0;
    std::function<void()> listener;
    bool announced = false;
    bool closed = false;
};

// Both ends live under one lock, so a byte moves from one to the other, with
// every line and event it affects, as a single step.
struct NullModemEnd::Link {
    std::mutex mutex;
    std::condition_variable changed;
    std::array<Side, 2> sides;
};

std::array<std::shared_ptr<NullModemEnd>, 2> NullModemEnd::Cable() {
    auto link = std::make_shared<Link>();
    return {std::make_shared<NullModemEnd>(link, 0), std::make_shared<NullModemEnd>(link, 1)};
}

NullModemEnd::NullModemEnd(std::shared_ptr<Link> link, std::size_t side)
    : link_(std::move(link)), side_(side) {}

NullModemEnd::~NullModemEnd() {
    Close();
}

NullModemEnd::Side& NullModemEnd::Own() const {
    return link_->sides[side_];
}

NullModemEnd::Side& NullModemEnd::Peer() const {
    return link_->sides[1 - side_];
}

// Called with the lock held, before an operation does anything.
int NullModemEnd::Admit(Operation op) {
    Side& own = Own();
    if (own.closed) {
        return EBADF;
    }
    const auto failure = own.failures.find(op);
    if (failure == own.failures.end()) {
        return 0;
    }
    const int error = failure->second;
    own.failures.erase(failure);
    return error;
}

int NullModemEnd::GetSettings(SerialSettings& settings) {
    std::lock_guard lock(link_->mutex);
    if (const int error = Admit(Operation::GetSettings)) {
        return error;
    }
    settings = Own().settings;
    return 0;
}

int NullModemEnd::SetSettings(const SerialSettings& settings) {
    std::lock_guard lock(link_->mutex);
    if (const int error = Admit(Operation::SetSettings)) {
        return error;
    }
    Side& own = Own();
    const LineActions actions = LineModeActions(own.lineFlags, settings.Flags);
    own.settings = settings;
    own.lineFlags = settings.Flags;
    ++own.settingsWrites;
    ApplyLineActions(own, Peer(), actions);
    Settle(*link_);
    return 0;
}

int NullModemEnd::SetTimeouts() {
    std::lock_guard lock(link_->mutex);
    return Admit(Operation::SetTimeouts);
}

int NullModemEnd::SetQueueSizes(std::uint32_t inputBytes, std::uint32_t /*outputBytes*/) {
    std::lock_guard lock(link_->mutex);
    if (const int error = Admit(Operation::SetQueueSizes)) {
        return error;
    }
    Own().inputSize = inputBytes;
    Settle(*link_);
    return 0;
}

int NullModemEnd::SetEventMask(std::uint32_t mask) {
    std::lock_guard lock(link_->mutex);
    if (const int error = Admit(Operation::SetEventMask)) {
        return error;
    }
    Own().eventMask = mask;
    Changed(*link_);
    return 0;
}

void NullModemEnd::SetEventListener(std::function<void()> listener) {
    std::lock_guard lock(link_->mutex);
    Side& own = Own();
    own.listener = own.closed ? nullptr : std::move(listener);
    own.announced = false;
    Changed(*link_);
}

int NullModemEnd::TakeEvents(std::uint32_t& events) {
    events = 0;
    std::lock_guard lock(link_->mutex);
    Side& own = Own();
    if (own.closed) {
        return EBADF;
    }
    events = own.events & own.eventMask;
    own.events &= ~events;
    own.announced = false;
    return 0;
}

int NullModemEnd::Write(const char* data, std::size_t count, int timeoutMs, std::size_t& written) {
    written = 0;
    std::unique_lock lock(link_->mutex);
    if (const int error = Admit(Operation::Write)) {
        return error;
    }
    Side& own = Own();
    own.pending.insert(own.pending.end(), data, data + count);
    const std::size_t goal = own.written.size() + own.pending.size();
    Settle(*link_);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    const bool delivered = link_->changed.wait_until(
        lock, deadline, [&own, goal] { return own.closed || own.written.size() >= goal; });
    if (own.closed) {
        return EBADF;
    }
    written = delivered ? count : 0;
    return 0;
}

void NullModemEnd::Unread(const char* data, std::size_t count) {
    std::lock_guard lock(link_->mutex);
    std::deque<char>& input = Own().input;
    input.insert(input.begin(), data, data + count);
}

int NullModemEnd::Read(char* data, std::size_t count, std::size_t& read) {
    read = 0;
    std::lock_guard lock(link_->mutex);
    if (const int error = Admit(Operation::Read)) {
        return error;
    }
    std::deque<char>& input = Own().input;
    read = std::min(count, input.size());
    const auto end = input.begin() + static_cast<std::ptrdiff_t>(read);
    std::copy(input.begin(), end, data);
    input.erase(input.begin(), end);
    Settle(*link_);
    return 0;
}

int NullModemEnd::ClearError(std::uint32_t& errors, ComStat& stat) {
    errors = 0;
    stat = {};
    std::lock_guard lock(link_->mutex);
    if (const int error = Admit(Operation::ClearError)) {
        return error;
    }
    Side& own = Own();
    errors = std::exchange(own.errors, 0);
    stat.Flags = HoldReasons(own, Peer());
    stat.cbInQue = static_cast<std::uint32_t>(own.input.size());
    stat.cbOutQue = static_cast<std::uint32_t>(own.pending.size());
    return 0;
}

int NullModemEnd::Purge(std::uint32_t flags) {
    std::lock_guard lock(link_->mutex);
    if (const int error = Admit(Operation::Purge)) {
        return error;
    }
    Side& own = Own();
    if ((flags & (PurgeFlag::PURGE_TXABORT | PurgeFlag::PURGE_TXCLEAR)) != 0) {
        own.pending.clear();
    }
    if ((flags & (PurgeFlag::PURGE_RXABORT | PurgeFlag::PURGE_RXCLEAR)) != 0) {
        own.input.clear();
    }
    Settle(*link_);
    return 0;
}

// SETXON resumes output as if an XON had arrived, so it also ends a hold by a
// received XOFF.
int NullModemEnd::EscapeFunction(int function) {
    std::lock_guard lock(link_->mutex);
    if (const int error = Admit(Operation::EscapeFunction)) {
        return error;
    }
    Side& own = Own();
    switch (function) {
    case EscapeCode::SETXOFF:
        own.xoffEscape = true;
        break;
    case EscapeCode::SETXON:
        own.xoffEscape = false;
        own.xoffReceived = false;
        break;
    case EscapeCode::SETRTS:
    case EscapeCode::CLRRTS:
        SetRts(own, Peer(), function == EscapeCode::SETRTS);
        break;
    case EscapeCode::SETDTR:
    case EscapeCode::CLRDTR:
        SetDtr(own, Peer(), function == EscapeCode::SETDTR);
        break;
    default:
        return EINVAL;
    }
    Settle(*link_);
    return 0;
}

int NullModemEnd::GetModemStatus(std::uint32_t& status) {
    status = 0;
    std::lock_guard lock(link_->mutex);
    if (const int error = Admit(Operation::GetModemStatus)) {
        return error;
    }
    const Side& peer = Peer();
    if (peer.rts) {
        status |= ModemStatusBit::MS_CTS_ON;
    }
    if (peer.dtr) {
        status |= ModemStatusBit::MS_DSR_ON | ModemStatusBit::MS_RLSD_ON;
    }
    if (peer.ring) {
        status |= ModemStatusBit::MS_RING_ON;
    }
    return 0;
}

void NullModemEnd::Close() {
    std::lock_guard lock(link_->mutex);
    Side& own = Own();
    if (own.closed) {
        return;
    }
    own.pending.clear();
    own.input.clear();
    SetDtr(own, Peer(), false);
    SetRts(own, Peer(), false);
    own.ring = false;
    own.closed = true;
    own.listener = nullptr;
    Settle(*link_);
}

void NullModemEnd::SetRing(bool on) {
    std::lock_guard lock(link_->mutex);
    Side& own = Own();
    if (on && !own.ring) {
        Peer().events |= CommEventBit::EV_RING;
    }
    own.ring = on;
    Changed(*link_);
}

void NullModemEnd::HoldOutput(bool hold) {
    std::lock_guard lock(link_->mutex);
    Own().heldByTest = hold;
    Settle(*link_);
}

void NullModemEnd::LetThrough(std::size_t count) {
    std::lock_guard lock(link_->mutex);
    Own().letThrough += count;
    Settle(*link_);
}

void NullModemEnd::InjectLineErrors(std::uint32_t ceFlags) {
    std::lock_guard lock(link_->mutex);
    Own().errors |= ceFlags;
    Own().events |= CommEventBit::EV_ERR;
    Changed(*link_);
}

void NullModemEnd::InjectBreak() {
    std::lock_guard lock(link_->mutex);
    Own().errors |= CommErrorBit::CE_BREAK;
    Own().events |= CommEventBit::EV_BREAK;
    Changed(*link_);
}

void NullModemEnd::FailNext(Operation op, int error) {
    std::lock_guard lock(link_->mutex);
    Own().failures[op] = error;
}

std::string NullModemEnd::Written() const {
    std::lock_guard lock(link_->mutex);
    return Own().written;
}

std::string NullModemEnd::Pending() const {
    std::lock_guard lock(link_->mutex);
    return std::string(Own().pending.begin(), Own().pending.end());
}

SerialSettings NullModemEnd::LastSettings() const {
    std::lock_guard lock(link_->mutex);
    return Own().settings;
}

int NullModemEnd::SettingsWrites() const {
    std::lock_guard lock(link_->mutex);
    return Own().settingsWrites;
}

bool NullModemEnd::Dtr() const {
    std::lock_guard lock(link_->mutex);
    return Own().dtr;
}

bool NullModemEnd::Rts() const {
    std::lock_guard lock(link_->mutex);
    return Own().rts;
}

void NullModemEnd::SetDtr(Side& side, Side& peer, bool on) {
    if (side.dtr != on) {
        side.dtr = on;
        peer.events |= CommEventBit::EV_DSR | CommEventBit::EV_RLSD;
    }
}

void NullModemEnd::SetRts(Side& side, Side& peer, bool on) {
    if (side.rts != on) {
        side.rts = on;
        peer.events |= CommEventBit::EV_CTS;
    }
}

// Raises or drops a line whose new mode fixes it; a line whose mode stayed
// keeps its state, and handshake and toggle lines are left to FollowQueues.
void NullModemEnd::ApplyLineActions(Side& side, Side& peer, const LineActions& actions) {
    if (actions.Dtr == LineAction::Raise || actions.Dtr == LineAction::Drop) {
        SetDtr(side, peer, actions.Dtr == LineAction::Raise);
    }
    if (actions.Rts == LineAction::Raise || actions.Rts == LineAction::Drop) {
        SetRts(side, peer, actions.Rts == LineAction::Raise);
    }
}

void NullModemEnd::FollowQueues(Side& side, Side& peer) {
    if (side.closed) {
        return;
    }
    const bool room = side.input.size() < side.inputSize;
    if ((side.settings.Flags & DcbFlag::DtrControlMask) == DcbFlag::DtrControlHandshake) {
        SetDtr(side, peer, room);
    }
    const std::uint32_t rtsMode = side.settings.Flags & DcbFlag::RtsControlMask;
    if (rtsMode == DcbFlag::RtsControlHandshake) {
        SetRts(side, peer, room);
    } else if (rtsMode == DcbFlag::RtsControlToggle) {
        SetRts(side, peer, !side.pending.empty());
    }
}

// The far end's RTS is this end's CTS, its DTR this end's DSR.
std::uint32_t NullModemEnd::HoldReasons(const Side& from, const Side& to) {
    return feedrail::HoldReasons(from.settings, {.CtsOn = to.rts,
                                                 .DsrOn = to.dtr,
                                                 .XoffReceived = from.xoffReceived,
                                                 .XoffForced = from.xoffEscape});
}

// Returns false when the byte must wait for room in the input queue. Bytes the
// receiver drops or acts on never reach the queue, so they need no room; an
// unplugged end takes everything and keeps nothing, as a cable with nothing on
// its far end would.
bool NullModemEnd::Receive(Side& to, const Side& from, char byte) {
    if (to.closed) {
        return true;
    }
    const ReceivedByte received = ClassifyReceivedByte(to.settings, byte, from.dtr);
    if (received.Fate == ByteFate::TakeXon || received.Fate == ByteFate::TakeXoff) {
        to.xoffReceived = received.Fate == ByteFate::TakeXoff;
        return true;
    }
    if (received.Fate != ByteFate::Keep) {
        return true;
    }
    if (to.input.size() >= to.inputSize) {
        return false;
    }
    if (received.Xoff) {
        to.xoffReceived = *received.Xoff;
    }
    to.input.push_back(byte);
    to.events |= CommEventBit::EV_RXCHAR;
    if (received.EventChar) {
        to.events |= CommEventBit::EV_RXFLAG;
    }
    return true;
}

bool NullModemEnd::TransmitOne(Side& from, Side& to) {
    const bool held = from.heldByTest && from.letThrough == 0;
    if (from.pending.empty() || held || HoldReasons(from, to) != 0) {
        return false;
    }
    const char byte = from.pending.front();
    if (!Receive(to, from, byte)) {
        return false;
    }
    if (from.heldByTest) {
        --from.letThrough;
    }
    from.pending.pop_front();
    from.written.push_back(byte);
    if (from.pending.empty()) {
        from.events |= CommEventBit::EV_TXEMPTY;
    }
    return true;
}

// One byte at a time each way, with the lines brought up to date between
// bytes: a byte can fill a queue and drop a handshake line, or be an XON that
// frees the other direction.
void NullModemEnd::Settle(Link& link) {
    auto& [first, second] = link.sides;
    bool moved = true;
    while (moved) {
        FollowQueues(first, second);
        FollowQueues(second, first);
        moved = TransmitOne(first, second);
        moved = TransmitOne(second, first) || moved;
    }
    Changed(link);
}

// Each end's listener hears of its events once until they are taken.
void NullModemEnd::Changed(Link& link) {
    for (Side& side : link.sides) {
        if ((side.events & side.eventMask) != 0 && !side.announced && side.listener) {
            side.announced = true;
            side.listener();
        }
    }
    link.changed.notify_all();
}

} // namespace feedrail::test
