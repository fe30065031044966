#include "filelist/DateText.h"

#include <ctime>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

std::int64_t LocalTime(int year, int month, int day, int hour, int minute) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = 59;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

TEST(FileListDateTextTest, DatesFollowTheFormatAndTimesShowHoursAndMinutes) {
    const std::int64_t time = LocalTime(2026, 3, 7, 9, 5);
    const std::int64_t evening = LocalTime(1999, 12, 31, 23, 59);
    const struct {
        std::int64_t time;
        TDateFormat format;
        const char* text;
    } cases[] = {
        {time, dfMDY, "03/07/2026 09:05"},    {time, dfDMY, "07/03/2026 09:05"},
        {time, dfYMD, "2026/03/07 09:05"},    {evening, dfMDY, "12/31/1999 23:59"},
        {evening, dfDMY, "31/12/1999 23:59"}, {evening, dfYMD, "1999/12/31 23:59"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateText(c.time, c.format), c.text);
    }
}

} // namespace
} // namespace feedrail
