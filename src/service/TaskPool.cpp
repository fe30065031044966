#include "service/TaskPool.h"

#include <utility>

namespace feedrail {

TaskPool::TaskPool(std::size_t threads, std::size_t mostWaiting) : mostWaiting_(mostWaiting) {
    threads_.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i) {
        threads_.emplace_back([this] { Serve(); });
    }
}

TaskPool::~TaskPool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

bool TaskPool::Post(const std::shared_ptr<Lane>& lane, std::function<void()> task) {
    {
        const std::lock_guard lock(mutex_);
        if (lane->Closed || waiting_ >= mostWaiting_) {
            return false;
        }
        lane->Tasks.push_back(std::move(task));
        ++waiting_;
        if (lane->Running || lane->Ready) {
            return true;
        }
        MakeReady(lane);
    }
    work_.notify_one();
    return true;
}

void TaskPool::MakeReady(const std::shared_ptr<Lane>& lane) {
    lane->Ready = true;
    ready_.push_back(lane);
}

void TaskPool::Close(const std::shared_ptr<Lane>& lane) {
    std::unique_lock lock(mutex_);
    lane->Closed = true;
    waiting_ -= lane->Tasks.size();
    lane->Tasks.clear();
    finished_.wait(lock, [&lane] { return !lane->Running; });
}

// A lane that has run a task goes to the back of the queue, so that a lane
// with many tasks waiting shares the threads with the others.
void TaskPool::Serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return stopping_ || !ready_.empty(); });
        if (stopping_) {
            return;
        }
        const std::shared_ptr<Lane> lane = std::move(ready_.front());
        ready_.pop_front();
        lane->Ready = false;
        if (lane->Tasks.empty()) {
            continue;
        }
        const std::function<void()> task = std::move(lane->Tasks.front());
        lane->Tasks.pop_front();
        --waiting_;
        lane->Running = true;
        lock.unlock();
        Run(*lane, task);
        lock.lock();
        lane->Running = false;
        if (!lane->Tasks.empty()) {
            MakeReady(lane);
            work_.notify_one();
        }
        finished_.notify_all();
    }
}

// What escapes a task is the lane's to report: the thread goes on serving,
// and the lane is not left running for ever, which would hold its Close.
void TaskPool::Run(const Lane& lane, const std::function<void()>& task) {
    try {
        task();
    } catch (const std::exception& error) {
        lane.Failed(error.what());
    } catch (...) {
        lane.Failed("an unknown error");
    }
}

} // namespace feedrail
