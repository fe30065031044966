#include "filelist/DateText.h"

#include <cstdio>
#include <ctime>

namespace feedrail {

std::string DateText(std::int64_t secondsSinceEpoch, TDateFormat format) {
    const auto seconds = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    const int year = local.tm_year + 1900;
    const int month = local.tm_mon + 1;
    const int day = local.tm_mday;
    char text[40];
    switch (format) {
    case dfDMY:
        std::snprintf(text, sizeof text, "%02d/%02d/%04d", day, month, year);
        break;
    case dfYMD:
        std::snprintf(text, sizeof text, "%04d/%02d/%02d", year, month, day);
        break;
    case dfMDY:
        std::snprintf(text, sizeof text, "%02d/%02d/%04d", month, day, year);
        break;
    }
    char time[16];
    std::snprintf(time, sizeof time, " %02d:%02d", local.tm_hour, local.tm_min);
    return std::string(text) + time;
}

} // namespace feedrail
