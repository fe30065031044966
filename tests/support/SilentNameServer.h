#pragma once

#include "common/FileDescriptor.h"

#include <string>

namespace feedrail::test {

// A name server that takes every query and never answers, as the only one
// this process knows: the process gets network and mount namespaces of its
// own, its loopback up, a UDP socket on 127.0.0.1:53, and a resolv.conf and
// nsswitch.conf (written in `folder`) bind-mounted over the system's. It
// changes the whole process: call it in a child (InChild). False when
// namespaces are not permitted here.
class SilentNameServer {
public:
    bool Start(const std::string& folder);
    // A query has come: a lookup waits for the answer now.
    bool Asked() const;

private:
    FileDescriptor socket_;
};

} // namespace feedrail::test
