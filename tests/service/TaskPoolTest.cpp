#include "service/TaskPool.h"

#include "service/TaskLane.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace feedrail {
namespace {

// A task that throws is told to its owner and ends neither the service nor
// its lane: the lane's next task runs, and Close returns rather than wait for
// a task that will never end.
TEST(TaskPool, ATaskThatThrowsIsReportedAndItsLaneGoesOn) {
    TaskPool pool(1, std::numeric_limits<std::size_t>::max());
    std::vector<std::string> failed;
    std::promise<void> next;
    TaskLane lane(pool, [&failed](const std::string& error) { failed.push_back(error); });
    lane.Post([] { throw std::runtime_error("the folder went"); });
    lane.Post([] { throw 7; });
    lane.Post([&next] { next.set_value(); });
    ASSERT_EQ(next.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    lane.Close();
    EXPECT_EQ(failed, (std::vector<std::string>{"the folder went", "an unknown error"}));
}

} // namespace
} // namespace feedrail
