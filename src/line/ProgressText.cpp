#include "line/ProgressText.h"

#include <algorithm>
#include <cstdio>

namespace feedrail {
namespace {

struct Unit {
    std::uint64_t Size;
    const char* Name;
};

Unit UnitFor(std::uint64_t bytes) {
    if (bytes < 10'000) {
        return {1, "bytes"};
    }
    return bytes < 10'000'000 ? Unit{1000, "kB"} : Unit{1'000'000, "MB"};
}

// In whole bytes, or in tenths of a larger unit.
std::string Number(std::uint64_t bytes, std::uint64_t unit) {
    if (unit == 1) {
        return std::to_string(bytes);
    }
    const std::uint64_t tenths = (bytes * 10 + unit / 2) / unit;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string TimeText(std::chrono::seconds time) {
    const long long seconds = time.count();
    char text[48];
    if (seconds < 60) {
        std::snprintf(text, sizeof text, "%lld s", seconds);
    } else if (seconds < 3600) {
        std::snprintf(text, sizeof text, "%lld min %02lld s", seconds / 60, seconds % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld h %02lld min", seconds / 3600, seconds / 60 % 60);
    }
    return text;
}

} // namespace

std::string ByteCountText(std::uint64_t bytes) {
    const Unit unit = UnitFor(bytes);
    return Number(bytes, unit.Size) + " " + (bytes == 1 ? "byte" : unit.Name);
}

std::string ProgressFigures(const TransferProgress& progress) {
    std::string text;
    if (progress.TotalBytes == 0) {
        text = ByteCountText(progress.Bytes);
    } else {
        // Both counts in the total's unit, so that they read as a fraction.
        // A reckoning a little short (a leader within a line) grows with
        // what went, so that the figures never read more than all.
        const std::uint64_t total = std::max(progress.TotalBytes, progress.Bytes);
        const Unit unit = UnitFor(total);
        text =
            Number(progress.Bytes, unit.Size) + " of " + Number(total, unit.Size) + " " + unit.Name;
    }
    if (const std::uint64_t rate = progress.BytesPerSecond(); rate > 0) {
        text += ", " + ByteCountText(rate) + "/s";
        if (const auto left = progress.TimeLeft()) {
            text += ", " + TimeText(*left) + " left";
        }
    }
    return text;
}

} // namespace feedrail
