#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace feedrail {

// A few threads shared by every machine of the service for work that may
// take long or wait on a folder. Each owner's tasks go through a TaskLane,
// which runs them one at a time in their order, so that many owners share
// the threads without one's tasks overtaking each other, and one owner's
// long task holds only its own lane and one thread.
class TaskPool {
public:
    // `mostWaiting` bounds the tasks waiting in all lanes together.
    TaskPool(std::size_t threads, std::size_t mostWaiting);
    // Every lane is closed first.
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    std::size_t Threads() const { return threads_.size(); }

private:
    friend class TaskLane;

    // One lane's tasks, under the pool's lock.
    struct Lane {
        // Told, on the pool's thread, what escaped one of the lane's tasks.
        std::function<void(const std::string&)> Failed;
        std::deque<std::function<void()>> Tasks;
        // One of its tasks runs now.
        bool Running = false;
        // It waits in ready_ for a thread.
        bool Ready = false;
        bool Closed = false;
    };

    bool Post(const std::shared_ptr<Lane>& lane, std::function<void()> task);
    void Close(const std::shared_ptr<Lane>& lane);
    void Serve();
    void MakeReady(const std::shared_ptr<Lane>& lane);
    static void Run(const Lane& lane, const std::function<void()>& task);

    std::size_t mostWaiting_;
    std::size_t waiting_ = 0;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable finished_;
    // Lanes with a task to run and none running, in the order they got it.
    std::deque<std::shared_ptr<Lane>> ready_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace feedrail
