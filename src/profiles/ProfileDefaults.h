#pragma once

#include <cstdint>
#include <string_view>

namespace feedrail {

// What a reader of a machine section takes for a missing or unreadable key.
// Each reader has its own set; the settings dialog's differs from the others.
struct ProfileDefaults {
    std::int32_t PunchType;
    std::int32_t CommHandshake;
    std::int32_t PunchWait;
    std::int32_t CommPort;
    std::int32_t CommBaudRate;
    std::string_view CommParity;
    std::int32_t CommDataBits;
    std::int32_t CommStopBits;
    std::int32_t EOB;
    bool Leader;
    std::string_view DefaultDir;
    std::string_view DefaultFileFilter;
    std::string_view DefaultExt;
};

inline constexpr ProfileDefaults StartupDefaults{1, 0, 0,     2,  600, "NONE", 8,
                                                 1, 0, false, "", "*", ".nc"};
inline constexpr ProfileDefaults SelectionDefaults{1, 0, 0,     2,  600, "NONE", 8,
                                                   1, 0, false, "", "*", ".nc"};
inline constexpr ProfileDefaults LoadSettingsDefaults{1, 0, 0,     2,  2400, "NONE", 8,
                                                      1, 0, false, "", "*",  ".nc"};

} // namespace feedrail
