#pragma once

#include <functional>

namespace feedrail::test {

// The exit status RunAsNobody gives when the child could not drop root.
inline constexpr int CannotBecomeNobody = 200;

// Runs `work` in a child process as the unprivileged user "nobody" and gives
// its result (0 to 199), or CannotBecomeNobody, or 128 + a signal number.
int RunAsNobody(const std::function<int()>& work);

} // namespace feedrail::test
