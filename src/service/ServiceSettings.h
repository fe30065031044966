#pragma once

#include "service/HttpServer.h"

#include <optional>
#include <string>
#include <string_view>

namespace feedrail {

// The service's own settings, from feedrail-dnc.conf beside DNC.ini: a
// line "Key=Value" each, blank lines and lines starting "#" or ";" aside.
// DNC.ini's sections are machines; these are not.
struct ServiceSettings {
    // Http=[ADDRESS:]PORT serves the web pages there; empty or "off", not.
    std::optional<HttpAddress> Http;
};

inline constexpr std::string_view ServiceSettingsName = "feedrail-dnc.conf";

// The settings of the file at `path`; none when there is no file. Raises
// std::runtime_error naming the line of a key it does not know, or of a
// value it cannot read, as a service started with it would not do what was
// asked.
ServiceSettings ReadServiceSettings(const std::string& path);

} // namespace feedrail
