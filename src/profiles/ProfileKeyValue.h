#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace feedrail {

// The value a machine key's text in DNC.ini stands for, where Feedrail can
// use it as it is: any port number from 1 to 255, any positive rate (the
// device refuses one it cannot make, naming it), a handshake, tape code or
// end of line of ProfileValues.h, 7 or 8 data bits, 1 or 2 stop bits, parity
// O, E or N (the letter's code) and Leader 0 or 1. Nothing for any other
// text, nor for a key not named here.
std::optional<std::int32_t> UsableKeyValue(std::string_view key, std::string_view text);

} // namespace feedrail
