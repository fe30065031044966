#include "serial/device/DeviceAddress.h"

#include <algorithm>
#include <array>
#include <cctype>
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

std::optional<DeviceAddress> ParseHostPort(DeviceAddress::Kind kind, std::string_view rest) {
    std::string_view host;
    std::string_view port;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
            return std::nullopt;
        }
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find_first_of(":/") != std::string_view::npos) {
            return std::nullopt;
        }
    }
    const auto number = PortNumber(port);
    if (host.empty() || !number ||
        std::ranges::any_of(host, [](char c) { return c <= ' ' || c == '/'; })) {
        return std::nullopt;
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

std::optional<DeviceAddress> ParseDeviceAddress(std::string_view text) {
    for (const auto& [scheme, kind] : Schemes) {
        if (StartsWithNoCase(text, scheme)) {
            return ParseHostPort(kind, text.substr(scheme.size()));
        }
    }
    if (text.find("://") != std::string_view::npos || !text.starts_with('/')) {
        return std::nullopt;
    }
    return DeviceAddress{DeviceAddress::Kind::Path, std::string(text), 0};
}

} // namespace feedrail
