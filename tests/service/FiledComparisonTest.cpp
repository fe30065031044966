#include "service/FiledComparison.h"

#include "service/TaskPool.h"
#include "support/TempFolder.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace feedrail {
namespace {

using namespace std::chrono_literals;

// What the machines' comparisons said, in the order they said it.
class Said {
public:
    void Add(const std::string& text) {
        const std::lock_guard lock(mutex_);
        lines_.push_back(text);
    }
    std::vector<std::string> Lines() const {
        const std::lock_guard lock(mutex_);
        return lines_;
    }
    bool WaitFor(std::size_t count) const {
        for (auto waited = 0ms; waited < 10s; waited += 10ms) {
            if (Lines().size() >= count) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Opens the gate when the test ends however it ends, so that no lane is
// left waiting for it.
class Gate {
public:
    std::shared_future<void> Opened() const { return opened_; }
    void Open() {
        if (!std::exchange(open_, true)) {
            gate_.set_value();
        }
    }
    ~Gate() { Open(); }

private:
    std::promise<void> gate_;
    std::shared_future<void> opened_ = gate_.get_future().share();
    bool open_ = false;
};

// A machine whose comparison takes long (its first report waits at the gate)
// holds another machine's comparisons on the other thread not at all, and its
// own are told in their order once it goes on. Past the service's bound a
// program filed is told not compared at once: filing never waits.
TEST(FiledComparison, OneMachinesLongComparisonHoldsNoOtherAndPastTheBoundNoneWaits) {
    test::TempFolder folder;
    const std::string programs = folder.Path() + "/";
    for (const char* name : {"O1", "O1-2", "O1-3", "O1-4"}) {
        test::WriteFile(programs + name + ".nc", "%\nO1\nG1 X1\n%\n");
    }
    for (const char* name : {"O2", "O2-2", "O2-3"}) {
        test::WriteFile(programs + name + ".nc", "%\nO2\nG1 X2\n%\n");
    }
    TaskPool pool(2, 2);
    Said said;
    Gate gate;
    FiledComparison first(pool, [&said, opened = gate.Opened()](const std::string& text) {
        said.Add("M1: " + text);
        opened.wait();
    });
    FiledComparison second(pool, [&said](const std::string& text) { said.Add("M2: " + text); });
    const auto compare = [&programs](FiledComparison& machine, const char* name) {
        machine.Compare(programs + name + ".nc", "", programs, ".nc");
    };

    compare(first, "O1-2");
    ASSERT_TRUE(said.WaitFor(1));
    compare(first, "O1-3");
    compare(second, "O2-2");
    ASSERT_TRUE(said.WaitFor(2));
    compare(first, "O1-4");
    compare(second, "O2-3");
    EXPECT_EQ(said.Lines().size(), 3U);
    gate.Open();
    ASSERT_TRUE(said.WaitFor(5));
    EXPECT_EQ(said.Lines(),
              (std::vector<std::string>{
                  "M1: O1 filed as O1-2.nc: the same as O1.nc",
                  "M2: O2 filed as O2-2.nc: the same as O2.nc",
                  "M2: O2-3.nc not compared: the service has too many comparisons waiting",
                  "M1: O1 filed as O1-3.nc: the same as O1.nc",
                  "M1: O1 filed as O1-4.nc: the same as O1.nc",
              }));
}

} // namespace
} // namespace feedrail
