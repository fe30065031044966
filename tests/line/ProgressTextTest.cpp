#include "line/ProgressText.h"

#include <gtest/gtest.h>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using Way = TransferProgress::Way;

TEST(ProgressTextTest, FiguresReadAlikeForEveryTransfer) {
    const struct {
        const char* name;
        TransferProgress progress;
        std::optional<int> percent;
        const char* figures;
    } cases[] = {
        {"a send's first moment: no rate yet",
         {Way::Send, 1, 400, 0, 13'600, 0ms},
         0,
         "0.0 of 13.6 kB"},
        {"one long line: the percent follows the bytes",
         {Way::Send, 1, 1, 4'080, 13'600, 4250ms},
         30,
         "4.1 of 13.6 kB, 960 bytes/s, 10 s left"},
        {"a reckoning a little short never shows more than all",
         {Way::Send, 5, 5, 120, 100, 1s},
         100,
         "120 of 120 bytes, 120 bytes/s, 0 s left"},
        {"minutes left",
         {Way::Send, 2, 90, 1'000, 200'000, 1s},
         0,
         "1.0 of 200.0 kB, 1000 bytes/s, 3 min 19 s left"},
        {"hours left, in MB",
         {Way::Send, 2, 9, 11'520, 41'000'000, 12s},
         0,
         "0.0 of 41.0 MB, 960 bytes/s, 11 h 51 min left"},
        {"a receive has no end to reckon",
         {Way::Receive, 120, 0, 3'456, 0, 3600ms},
         std::nullopt,
         "3456 bytes, 960 bytes/s"},
        {"one byte", {Way::Receive, 0, 0, 1, 0, 50ms}, std::nullopt, "1 byte"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.progress.Percent(), c.percent) << c.name;
        EXPECT_EQ(ProgressFigures(c.progress), c.figures) << c.name;
    }
}

} // namespace
} // namespace feedrail
