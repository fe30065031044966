#include "support/SilentNameServer.h"

#include "support/TempFolder.h"

#include <fstream>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>

namespace feedrail::test {
namespace {

bool OwnNamespaces() {
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET) != 0) {
            return false;
        }
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    }
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// A new network namespace has its loopback down.
bool LoopbackUp() {
    const FileDescriptor control(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    ifreq request{};
    request.ifr_name[0] = 'l';
    request.ifr_name[1] = 'o';
    if (::ioctl(control.Get(), SIOCGIFFLAGS, &request) != 0) {
        return false;
    }
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    return ::ioctl(control.Get(), SIOCSIFFLAGS, &request) == 0;
}

bool MountOver(const std::string& path, const std::string& file, const std::string& text) {
    WriteFile(file, text);
    return ::mount(file.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0;
}

} // namespace

bool SilentNameServer::Start(const std::string& folder) {
    if (!OwnNamespaces() || !LoopbackUp()) {
        return false;
    }
    socket_.Reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(53);
    if (::bind(socket_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        return false;
    }
    // Far beyond any limit under test: the resolver's own time-out never ends the wait.
    return MountOver("/etc/resolv.conf", folder + "/resolv.conf",
                     "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n") &&
           MountOver("/etc/nsswitch.conf", folder + "/nsswitch.conf", "hosts: files dns\n");
}

bool SilentNameServer::Asked() const {
    pollfd query{socket_.Get(), POLLIN, 0};
    return ::poll(&query, 1, 0) == 1;
}

} // namespace feedrail::test
