#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace feedrail {

// What a machine's CommDevice names: a device file, or a device server on the
// network that speaks RFC 2217 or carries raw bytes.
struct DeviceAddress {
    enum class Kind { Path, Rfc2217, Tcp };
    Kind kind = Kind::Path;
    // The file for a path; the host name or address for the network.
    std::string host;
    std::uint16_t port = 0;

    bool Network() const { return kind != Kind::Path; }
    // As the operator wrote it, for messages: "rfc2217://10.0.4.21:4001".
    std::string Text() const;
};

// Reads "rfc2217://host:port", "tcp://host:port" (an IPv6 host in brackets)
// or an absolute path. Nothing for a network address without a host or with a
// port outside 1 to 65535, for a scheme of another name, and for anything
// else that is not an absolute path; `problem`, when given, then says why in
// words that name the address ("Invalid port number 99999 in
// rfc2217://host:99999 (1 to 65535)").
std::optional<DeviceAddress> ParseDeviceAddress(std::string_view text,
                                                std::string* problem = nullptr);

// Whether `text` is meant as a network address ("scheme://..."), right or
// wrong: such a name is never opened as a file.
bool NetworkAddressLike(std::string_view text);

} // namespace feedrail
