#include "service/TaskLane.h"

#include <utility>

namespace feedrail {

TaskLane::TaskLane(TaskPool& pool, std::function<void(const std::string&)> failed)
    : pool_(pool), lane_(std::make_shared<TaskPool::Lane>()) {
    lane_->Failed = std::move(failed);
}

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
