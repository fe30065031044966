#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace feedrail {

// Work handed from one thread to another, bounded: a producer never waits,
// and what would overfill the queue is refused back to it. A consumer waits
// for the next item until the queue is closed; closing drops what still
// waits, as nobody is left to take it.
template <typename T> class BlockingQueue {
public:
    explicit BlockingQueue(std::size_t capacity) : capacity_(capacity) {}
    BlockingQueue(const BlockingQueue&) = delete;
    BlockingQueue& operator=(const BlockingQueue&) = delete;

    // Whether `item` was queued; it is dropped when the queue is full or closed.
    bool Push(T item) {
        {
            const std::lock_guard lock(mutex_);
            if (closed_ || items_.size() >= capacity_) {
                return false;
            }
            items_.push_back(std::move(item));
        }
        changed_.notify_one();
        return true;
    }

    // The oldest item, waiting for one; nothing once the queue is closed.
    std::optional<T> Pop() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return closed_ || !items_.empty(); });
        if (closed_) {
            return std::nullopt;
        }
        T item = std::move(items_.front());
        items_.pop_front();
        return item;
    }

    void Close() {
        std::deque<T> dropped;
        {
            const std::lock_guard lock(mutex_);
            closed_ = true;
            dropped.swap(items_);
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<T> items_;
    std::size_t capacity_;
    bool closed_ = false;
};

} // namespace feedrail
