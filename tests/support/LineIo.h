#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace feedrail::test {

// Blocking writes and bounded reads on a non-blocking descriptor of a line.
void WriteToLine(int fd, std::string_view bytes);
// Reads until `count` bytes have come or `timeout` has passed.
std::string ReadFromLine(int fd, std::size_t count, std::chrono::milliseconds timeout);
// Everything that arrives within `timeout`.
std::string ReadAllFromLine(int fd, std::chrono::milliseconds timeout);

} // namespace feedrail::test
