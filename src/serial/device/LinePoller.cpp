#include "serial/device/LinePoller.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/timerfd.h>
#include <system_error>
#include <unistd.h>

namespace feedrail {
namespace {

// epoll keys: the poller's own two descriptors, then a device's wake-up
// descriptor and line by its id.
constexpr std::uint64_t InterruptKey = 0;
constexpr std::uint64_t TimerKey = 1;
constexpr std::uint64_t WakeKey(std::uint64_t id) {
    return id << 1;
}
constexpr std::uint64_t LineKey(std::uint64_t id) {
    return (id << 1) | 1;
}

// A line that cannot be watched (the system is out of epoll watches) is
// looked at this often instead, so that its bytes still move.
constexpr auto UnwatchedLineInterval = std::chrono::milliseconds(10);

FileDescriptor Checked(int fd) {
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category());
    }
    return FileDescriptor(fd);
}

void Watch(int epoll, int fd, std::uint64_t key) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = key;
    if (::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) != 0) {
        throw std::system_error(errno, std::generic_category());
    }
}

void DrainCounter(int fd) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t ignored = ::read(fd, &count, sizeof count);
}

} // namespace

LinePoller::LinePoller()
    : epoll_(Checked(::epoll_create1(EPOLL_CLOEXEC))),
      interrupt_(Checked(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))),
      timer_(Checked(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))) {
    Watch(epoll_.Get(), interrupt_.Get(), InterruptKey);
    Watch(epoll_.Get(), timer_.Get(), TimerKey);
    thread_ = std::thread([this] { Loop(); });
}

LinePoller::~LinePoller() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    Interrupt();
    thread_.join();
}

std::uint64_t LinePoller::Add(LineServed& served, int wakeFd) {
    const std::lock_guard lock(mutex_);
    const std::uint64_t id = nextId_++;
    Watch(epoll_.Get(), wakeFd, WakeKey(id));
    entries_.emplace(id, Entry{.Served = &served, .WakeFd = wakeFd});
    ApplyNiceness();
    Interrupt();
    return id;
}

void LinePoller::Remove(std::uint64_t id) {
    std::unique_lock lock(mutex_);
    const auto found = entries_.find(id);
    if (found == entries_.end()) {
        return;
    }
    ::epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, found->second.WakeFd, nullptr);
    if (found->second.LineFd >= 0) {
        ::epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, found->second.LineFd, nullptr);
    }
    entries_.erase(found);
    ApplyNiceness();
    passEnded_.wait(lock, [&] { return running_ != id; });
}

void LinePoller::SetNiceness(std::uint64_t id, int niceness) {
    const std::lock_guard lock(mutex_);
    if (const auto found = entries_.find(id); found != entries_.end()) {
        found->second.Niceness = niceness;
        ApplyNiceness();
    }
}

std::size_t LinePoller::Served() const {
    const std::lock_guard lock(mutex_);
    return entries_.size();
}

void LinePoller::Loop() {
    std::unique_lock lock(mutex_);
    threadId_ = ::gettid();
    errno = 0;
    const int own = ::getpriority(PRIO_PROCESS, 0);
    ownNiceness_ = errno == 0 ? own : 0;
    appliedNiceness_ = ownNiceness_;
    ApplyNiceness();
    std::array<epoll_event, 64> events{};
    while (!stopping_) {
        const int timeout = ArmTimer(Clock::now());
        lock.unlock();
        const int count = ::epoll_wait(epoll_.Get(), events.data(), events.size(), timeout);
        lock.lock();
        for (int i = 0; i < count; ++i) {
            Take(events[static_cast<std::size_t>(i)]);
        }
        RunPasses(lock);
    }
}

// epoll_wait counts in milliseconds, and a pass paced to a character at
// 115200 baud is due within a tenth of one: the timer keeps the time exact.
int LinePoller::ArmTimer(Clock::time_point now) {
    Clock::time_point due = Clock::time_point::max();
    for (const auto& [id, entry] : entries_) {
        due = entry.Ready ? Clock::time_point::min() : std::min(due, entry.Due);
    }
    if (due <= now) {
        return 0;
    }
    if (due != timerSetFor_) {
        itimerspec setting{};
        if (due != Clock::time_point::max()) {
            const auto ns =
                std::chrono::duration_cast<std::chrono::nanoseconds>(due.time_since_epoch())
                    .count();
            setting.it_value.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            setting.it_value.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        }
        ::timerfd_settime(timer_.Get(), TFD_TIMER_ABSTIME, &setting, nullptr);
        timerSetFor_ = due;
    }
    return -1;
}

void LinePoller::Take(const epoll_event& event) {
    const std::uint64_t key = event.data.u64;
    if (key == InterruptKey) {
        DrainCounter(interrupt_.Get());
        return;
    }
    if (key == TimerKey) {
        DrainCounter(timer_.Get());
        timerSetFor_ = Clock::time_point::max();
        return;
    }
    // An event taken before its device was removed finds no entry.
    const auto found = entries_.find(key >> 1);
    if (found == entries_.end()) {
        return;
    }
    Entry& entry = found->second;
    entry.Ready = true;
    if (key == LineKey(found->first)) {
        entry.LineGone = entry.LineGone || (event.events & (EPOLLHUP | EPOLLERR)) != 0;
    } else {
        // Taken before the pass, so that a wake-up during it brings another.
        DrainCounter(entry.WakeFd);
    }
}

void LinePoller::RunPasses(std::unique_lock<std::mutex>& lock) {
    const Clock::time_point now = Clock::now();
    round_.clear();
    for (const auto& [id, entry] : entries_) {
        if (entry.Ready || entry.Due <= now) {
            round_.push_back(id);
        }
    }
    for (const std::uint64_t id : round_) {
        auto found = entries_.find(id);
        if (found == entries_.end()) {
            continue;
        }
        LineServed& served = *found->second.Served;
        const bool lineGone = std::exchange(found->second.LineGone, false);
        found->second.Ready = false;
        running_ = id;
        lock.unlock();
        const LineWait wait = served.LinePass(lineGone);
        lock.lock();
        running_ = 0;
        passEnded_.notify_all();
        found = entries_.find(id);
        if (found != entries_.end()) {
            found->second.Due = wait.Due;
            WatchLine(id, found->second, wait);
        }
    }
}

// Watched only while something of it is wanted: a line is in the set or not,
// as a hung-up terminal reports its hang-up whatever events are asked for.
void LinePoller::WatchLine(std::uint64_t id, Entry& entry, const LineWait& wait) {
    const std::uint32_t events = (wait.Input ? EPOLLIN : 0U) | (wait.Output ? EPOLLOUT : 0U);
    const int fd = events == 0 ? -1 : wait.Line;
    if (fd == entry.LineFd && (fd < 0 || events == entry.LineEvents)) {
        return;
    }
    if (entry.LineFd >= 0 && fd != entry.LineFd) {
        ::epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, entry.LineFd, nullptr);
        entry.LineFd = -1;
    }
    if (fd < 0) {
        return;
    }
    epoll_event event{};
    event.events = events;
    event.data.u64 = LineKey(id);
    const int operation = fd == entry.LineFd ? EPOLL_CTL_MOD : EPOLL_CTL_ADD;
    if (::epoll_ctl(epoll_.Get(), operation, fd, &event) != 0) {
        entry.Due = std::min(entry.Due, Clock::now() + UnwatchedLineInterval);
        return;
    }
    entry.LineFd = fd;
    entry.LineEvents = events;
}

// Lowering a thread's niceness needs privileges and may be refused: it is
// asked for again at the next change.
void LinePoller::ApplyNiceness() {
    if (threadId_ == 0) {
        return;
    }
    int best = entries_.empty() ? 0 : INT_MAX;
    for (const auto& [id, entry] : entries_) {
        best = std::min(best, entry.Niceness);
    }
    const int wanted = best == 0 ? ownNiceness_ : best;
    if (wanted != appliedNiceness_ &&
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId_), wanted) == 0) {
        appliedNiceness_ = wanted;
    }
}

void LinePoller::Interrupt() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(interrupt_.Get(), &one, sizeof one);
}

} // namespace feedrail
