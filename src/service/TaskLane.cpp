#include "service/TaskLane.h"

#include <utility>

namespace feedrail {

TaskLane::TaskLane(TaskPool& pool) : pool_(pool), lane_(std::make_shared<TaskPool::Lane>()) {}

TaskLane::~TaskLane() {
    Close();
}

bool TaskLane::Post(std::function<void()> task) {
    return pool_.Post(lane_, std::move(task));
}

void TaskLane::Close() {
    pool_.Close(lane_);
}

} // namespace feedrail
