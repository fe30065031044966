#include "support/AsNobody.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace feedrail::test {

namespace {
constexpr uid_t Nobody = 65534;
}

int RunAsNobody(const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0) {
            ::_exit(CannotBecomeNobody);
        }
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace feedrail::test
