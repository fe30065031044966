#include "serial/device/HostLookup.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <sys/eventfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace feedrail {
namespace {

struct AddressListDeleter {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

} // namespace

std::shared_ptr<HostLookup> HostLookup::Start(const std::string& host, std::uint16_t port) {
    std::shared_ptr<HostLookup> lookup(new HostLookup());
    if (lookup->Look(host, port, true)) {
        return lookup;
    }
    std::thread([lookup, host, port] { lookup->Look(host, port, false); }).detach();
    return lookup;
}

HostLookup::HostLookup() : ready_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (!ready_.Valid()) {
        throw std::system_error(errno, std::generic_category());
    }
}

bool HostLookup::Look(const std::string& host, std::uint16_t port, bool numericOnly) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = numericOnly ? AI_NUMERICHOST : 0;
    addrinfo* found = nullptr;
    const int error = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (numericOnly && error == EAI_NONAME) {
        return false;
    }
    const std::unique_ptr<addrinfo, AddressListDeleter> list(found);
    const std::lock_guard lock(mutex_);
    for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
        HostAddress address{
            entry->ai_family, entry->ai_socktype, entry->ai_protocol, {}, entry->ai_addrlen};
        std::memcpy(&address.address, entry->ai_addr, entry->ai_addrlen);
        addresses_.push_back(address);
    }
    if (error != 0) {
        failure_ = error == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(error);
    }
    done_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(ready_.Get(), &one, sizeof one);
    return true;
}

bool HostLookup::Done() const {
    const std::lock_guard lock(mutex_);
    return done_;
}

std::vector<HostAddress> HostLookup::Addresses() const {
    const std::lock_guard lock(mutex_);
    return addresses_;
}

std::string HostLookup::Failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

} // namespace feedrail
