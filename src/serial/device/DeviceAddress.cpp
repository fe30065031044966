#include "serial/device/DeviceAddress.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <utility>

namespace feedrail {
namespace {

constexpr std::array<std::pair<std::string_view, DeviceAddress::Kind>, 2> Schemes{{
    {"rfc2217://", DeviceAddress::Kind::Rfc2217},
    {"tcp://", DeviceAddress::Kind::Tcp},
}};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

std::optional<std::uint16_t> PortNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 5 ||
        !std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int number = std::stoi(std::string(digits));
    if (number < 1 || number > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(number);
}

// Sets `problem` (when asked for) to `why`; nothing, for the caller to return.
std::nullopt_t Refuse(std::string* problem, std::string why) {
    if (problem != nullptr) {
        *problem = std::move(why);
    }
    return std::nullopt;
}

std::optional<DeviceAddress> ParseHostPort(DeviceAddress::Kind kind, std::string_view text,
                                           std::string_view rest, std::string* problem) {
    const std::string in = " in " + std::string(text);
    std::string_view host;
    std::string_view port;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            return Refuse(problem, "No closing ] after the IPv6 address" + in);
        }
        if (close + 1 >= rest.size() || rest[close + 1] != ':') {
            return Refuse(problem, "No port number" + in + " (write host:port)");
        }
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) {
            return Refuse(problem, "No port number" + in + " (write host:port)");
        }
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) {
            return Refuse(problem, "Invalid host" + in + " (an IPv6 address goes in brackets)");
        }
    }
    if (host.empty()) {
        return Refuse(problem, "No host" + in);
    }
    if (std::ranges::any_of(host, [](char c) { return c <= ' ' || c == '/'; })) {
        return Refuse(problem, "Invalid host \"" + std::string(host) + "\"" + in);
    }
    const auto number = PortNumber(port);
    if (!number) {
        return Refuse(problem, port.empty() ? "No port number" + in
                                            : "Invalid port number " + std::string(port) + in +
                                                  " (1 to 65535)");
    }
    return DeviceAddress{kind, std::string(host), *number};
}

} // namespace

std::string DeviceAddress::Text() const {
    switch (kind) {
    case Kind::Path:
        return host;
    case Kind::Rfc2217:
    case Kind::Tcp: {
        const bool bracket = host.find(':') != std::string::npos;
        const std::string shown = bracket ? "[" + host + "]" : host;
        return std::string(kind == Kind::Rfc2217 ? "rfc2217://" : "tcp://") + shown + ":" +
               std::to_string(port);
    }
    }
    return host;
}

std::optional<DeviceAddress> ParseDeviceAddress(std::string_view text, std::string* problem) {
    for (const auto& [scheme, kind] : Schemes) {
        if (StartsWithNoCase(text, scheme)) {
            return ParseHostPort(kind, text, text.substr(scheme.size()), problem);
        }
    }
    if (NetworkAddressLike(text)) {
        const std::string_view scheme = text.substr(0, text.find("://") + 3);
        return Refuse(problem, "Unknown scheme " + std::string(scheme) + " in " +
                                   std::string(text) + " (write rfc2217:// or tcp://)");
    }
    if (!text.starts_with('/') || text.find("://") != std::string_view::npos) {
        return Refuse(problem, "\"" + std::string(text) +
                                   "\" is neither an absolute path nor a network address");
    }
    return DeviceAddress{DeviceAddress::Kind::Path, std::string(text), 0};
}

bool NetworkAddressLike(std::string_view text) {
    const std::size_t end = text.find("://");
    if (end == std::string_view::npos || end == 0) {
        return false;
    }
    const std::string_view scheme = text.substr(0, end);
    return std::isalpha(static_cast<unsigned char>(scheme.front())) != 0 &&
           std::ranges::all_of(scheme, [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' ||
                      c == '.';
           });
}

} // namespace feedrail
