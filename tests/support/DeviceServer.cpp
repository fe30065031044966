#include "support/DeviceServer.h"

#include "support/TempFolder.h"

#include <arpa/inet.h>
#include <array>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>

namespace feedrail::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* Settings = "device-server.yaml";
constexpr const char* ServerOutput = "device-server.log";
constexpr const char* LineOutput = "device-line.log";
constexpr const char* SerialLink = "device-serial";
constexpr const char* ControlLink = "device-control";
constexpr int StartAttempts = 5;

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// True once `done`, false when `failed` or after 5 s.
bool WaitFor(const std::function<bool()>& done, const std::function<bool()>& failed) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!done()) {
        if (failed() || std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

// Ports nobody listens on just now; all are bound at once, so they differ.
// Another program may still take one before ser2net does.
std::array<int, 3> FreePorts() {
    std::array<FileDescriptor, 3> sockets;
    std::array<int, 3> ports{};
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        sockets[i].Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address = Loopback(0);
        socklen_t size = sizeof address;
        if (::bind(sockets[i].Get(), reinterpret_cast<const sockaddr*>(&address), size) != 0 ||
            ::getsockname(sockets[i].Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            throw std::runtime_error("cannot find a free port");
        }
        ports[i] = ntohs(address.sin_port);
    }
    return ports;
}

// The inode numbers of the sockets process `pid` holds.
std::set<std::string> SocketInodes(pid_t pid) {
    std::set<std::string> inodes;
    std::error_code error;
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    // Without exceptions: the process may end while its folder is read.
    for (std::filesystem::directory_iterator entry(folder, error);
         !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        std::error_code gone;
        const std::string target = std::filesystem::read_symlink(entry->path(), gone).string();
        if (target.starts_with("socket:[")) {
            inodes.insert(target.substr(8, target.size() - 9));
        }
    }
    return inodes;
}

// Whether process `pid` itself listens on 127.0.0.1:`port`, rather than a
// program that took the port first.
bool Listens(pid_t pid, int port) {
    const std::set<std::string> inodes = SocketInodes(pid);
    char local[32];
    std::snprintf(local, sizeof local, "%08X:%04X", Loopback(port).sin_addr.s_addr, port);
    std::ifstream table("/proc/net/tcp");
    std::string row;
    std::getline(table, row); // the headings
    while (std::getline(table, row)) {
        std::istringstream fields(row);
        std::string slot, address, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> address >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> inode;
        const bool listening = state == "0A"; // the kernel's TCP_LISTEN
        if (listening && address == local && inodes.contains(inode)) {
            return true;
        }
    }
    return false;
}

std::string Installed(const std::string& name) {
    const std::string path = FindProgram(name);
    if (path.empty()) {
        throw std::runtime_error(name + " is not installed");
    }
    return path;
}

// `atOnce`: what the line receives goes on without ser2net's wait for more
// (chardelay, at least 1 ms).
std::string Connection(const std::string& name, const std::string& accepter,
                       const std::string& serialPath, bool atOnce = false) {
    // "local": a pseudo-terminal has no modem lines to watch.
    return "connection: &" + name + "\n    accepter: " + accepter + "\n    connector: serialdev," +
           serialPath + ",9600n81,local\n" +
           (atOnce ? "    options:\n      chardelay: false\n" : "");
}

} // namespace

DeviceServer::DeviceServer(const std::string& folder) : folder_(folder) {
    StartLine();
    for (int attempt = 1; !StartServer(); ++attempt) {
        if (attempt == StartAttempts) {
            throw std::runtime_error("other programs took ser2net's ports " +
                                     std::to_string(StartAttempts) + " times over");
        }
    }
}

DeviceServer::~DeviceServer() {
    server_.reset();
    serverEnd_.Reset();
    line_.reset();
    std::error_code ignored;
    for (const char* name : {Settings, ServerOutput, LineOutput, SerialLink, ControlLink}) {
        std::filesystem::remove(File(name), ignored);
    }
}

bool DeviceServer::Available() {
    return !FindProgram("ser2net").empty() && !FindProgram("socat").empty();
}

std::string DeviceServer::Rfc2217Address() const {
    return "rfc2217://127.0.0.1:" + std::to_string(rfc2217Port_);
}

std::string DeviceServer::Rfc2217AtOnceAddress() const {
    return "rfc2217://127.0.0.1:" + std::to_string(atOncePort_);
}

std::string DeviceServer::TcpAddress() const {
    return "tcp://127.0.0.1:" + std::to_string(tcpPort_);
}

std::string DeviceServer::ControlPath() const {
    return File(ControlLink);
}

termios DeviceServer::ServerLine() const {
    termios tty{};
    if (::tcgetattr(serverEnd_.Get(), &tty) != 0) {
        throw std::runtime_error("cannot read the settings of " + serverEndPath_);
    }
    return tty;
}

void DeviceServer::KillServer() {
    server_->Kill();
}

void DeviceServer::StartLine() {
    const std::string serial = File(SerialLink);
    const std::string control = File(ControlLink);
    std::filesystem::remove(serial);
    std::filesystem::remove(control);
    line_ = std::make_unique<ChildProcess>(
        Installed("socat"),
        std::vector<std::string>{"-d", "-d", "pty,raw,echo=0,link=" + serial,
                                 "pty,raw,echo=0,link=" + control},
        File(LineOutput));
    if (!WaitFor([&] { return Exists(serial) && Exists(control); },
                 [&] { return !line_->Running(); })) {
        throw std::runtime_error("socat made no pseudo-terminals:\n" + line_->Output());
    }
    // ser2net is given the terminal itself: its settings split at commas and
    // blanks, which the folder's name may hold.
    serverEndPath_ = std::filesystem::canonical(serial).string();
    serverEnd_.Reset(::open(serverEndPath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!serverEnd_.Valid()) {
        throw std::runtime_error("cannot open " + serverEndPath_);
    }
}

bool DeviceServer::StartServer() {
    const auto [rfc2217, tcp, atOnce] = FreePorts();
    WriteFile(File(Settings),
              "%YAML 1.1\n---\n" +
                  Connection("rfc2217", "telnet(rfc2217),tcp,127.0.0.1," + std::to_string(rfc2217),
                             serverEndPath_) +
                  Connection("tcp", "tcp,127.0.0.1," + std::to_string(tcp), serverEndPath_) +
                  Connection("atonce", "telnet(rfc2217),tcp,127.0.0.1," + std::to_string(atOnce),
                             serverEndPath_, true));
    // In the foreground, its log on standard output, and no UUCP lock files
    // in a system folder.
    server_ = std::make_unique<ChildProcess>(
        Installed("ser2net"), std::vector<std::string>{"-n", "-d", "-u", "-c", File(Settings)},
        File(ServerOutput));
    const pid_t pid = server_->Pid();
    const bool started =
        WaitFor([&] { return Listens(pid, rfc2217) && Listens(pid, tcp) && Listens(pid, atOnce); },
                [&] {
                    return !server_->Running() ||
                           server_->Output().find("Unable to startup") != std::string::npos;
                });
    if (started) {
        rfc2217Port_ = rfc2217;
        tcpPort_ = tcp;
        atOncePort_ = atOnce;
        return true;
    }
    const std::string output = server_->Output();
    server_.reset();
    if (output.find("Address already in use") != std::string::npos) {
        return false;
    }
    throw std::runtime_error("ser2net did not start:\n" + output);
}

std::string DeviceServer::File(const std::string& name) const {
    return folder_ + "/" + name;
}

} // namespace feedrail::test
