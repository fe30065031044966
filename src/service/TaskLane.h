#pragma once

#include "service/TaskPool.h"

#include <functional>
#include <memory>
#include <string>

namespace feedrail {

// One owner's tasks on a shared TaskPool: run one at a time, in the order
// posted, each on whichever of the pool's threads is free. What a task lets
// escape is told to `failed`, on the pool's thread, and the lane goes on.
class TaskLane {
public:
    TaskLane(TaskPool& pool, std::function<void(const std::string&)> failed);
    ~TaskLane();
    TaskLane(const TaskLane&) = delete;
    TaskLane& operator=(const TaskLane&) = delete;

    // Any thread. False when the lane is closed or the pool holds its most
    // waiting tasks already: the task is dropped, never waited for.
    bool Post(std::function<void()> task);
    // Drops the tasks waiting and returns once none runs: after it, nothing
    // the lane's tasks hold is used again. Never from one of its own tasks.
    void Close();

private:
    TaskPool& pool_;
    std::shared_ptr<TaskPool::Lane> lane_;
};

} // namespace feedrail
