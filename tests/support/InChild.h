#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace feedrail::test {

// Runs `body` in a forked copy of the test and gives its exit status, or 128
// plus the signal that ended it.
template <typename Body> int InChild(Body body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace feedrail::test
