#include "service/TodaysTransfers.h"

#include "common/LocalTime.h"
#include "service/StatusJson.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace feedrail {

namespace {

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream stream(line);
    for (std::string field; std::getline(stream, field, '\t');) {
        fields.push_back(field);
    }
    return fields;
}

// The count before the word: "12 lines" is 12.
std::string Count(const std::string& field) {
    std::uint64_t count = 0;
    std::from_chars(field.data(), field.data() + field.size(), count);
    return std::to_string(count);
}

std::string TransferJson(const std::vector<std::string>& fields) {
    return "{\"time\":" + JsonString(fields[0].substr(11)) +
           ",\"direction\":" + JsonString(fields[2]) +
           ",\"file\":" + JsonString(std::filesystem::path(fields[3]).filename().string()) +
           ",\"lines\":" + Count(fields[4]) + ",\"bytes\":" + Count(fields[5]) +
           ",\"result\":" + JsonString(fields[6]) + "}";
}

} // namespace

std::string TodaysTransfersJson(const std::string& logPath, const std::string& machine,
                                std::chrono::system_clock::time_point now) {
    const std::string today = LocalTimeText(now, "%Y-%m-%d ");
    std::ifstream log(logPath, std::ios::binary);
    log.seekg(0, std::ios::end);
    const std::streamoff size = log ? static_cast<std::streamoff>(log.tellg()) : 0;
    const std::streamoff from =
        std::max<std::streamoff>(0, size - static_cast<std::streamoff>(MaxTransferLogRead));
    log.seekg(from);
    std::string line;
    if (from > 0) {
        // The line the read begins inside is not whole.
        std::getline(log, line);
    }
    std::string json = "[";
    while (std::getline(log, line)) {
        if (!line.starts_with(today)) {
            continue;
        }
        const std::vector<std::string> fields = Fields(line);
        if (fields.size() == 7 && fields[0].size() == 19 && fields[1] == machine) {
            json += (json.size() > 1 ? ",\n" : "") + TransferJson(fields);
        }
    }
    return json + "]\n";
}

} // namespace feedrail
