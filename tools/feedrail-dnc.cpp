// feedrail-dnc: serves every machine of DNC.ini whose Auto Receive or Remote
// Request is on, all at once and without a window; `feedrail-dnc status`
// asks a running service what each machine is doing, `feedrail-dnc monitor
// MACHINE` shows the bytes on a machine's line as they pass.

#include "about/VersionOption.h"
#include "common/ProfileFolder.h"
#include "common/ProgramDirectory.h"
#include "profiles/ProfileFile.h"
#include "service/DncService.h"
#include "service/HttpServer.h"
#include "service/JournalLog.h"
#include "service/MachineConfig.h"
#include "service/ServiceSettings.h"
#include "service/ShopFloorPages.h"
#include "service/StatusSocket.h"
#include "transfer/TransferLog.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <system_error>
#include <vector>

namespace {

constexpr int ExitFailure = 2;

constexpr const char* Usage =
    "usage: feedrail-dnc [--profiles FOLDER] [--http [ADDRESS:]PORT]\n"
    "       feedrail-dnc status [--profiles FOLDER]\n"
    "       feedrail-dnc monitor MACHINE [--hex] [--profiles FOLDER]\n"
    "       feedrail-dnc --help | --version\n"
    "Serves every machine of DNC.ini whose Auto Receive or Remote Request is on:\n"
    "files the programs they punch and answers their requests, until SIGTERM.\n"
    "SIGHUP reads DNC.ini again. `status` prints a line per machine.\n"
    "`monitor` prints the bytes on MACHINE's line each way as they pass, with\n"
    "their times (--hex: as hexadecimal codes), until Ctrl+C.\n"
    "FOLDER is where DNC.ini is; without it, the folder the window uses.\n"
    "--http serves read-only web pages of the machines at PORT of 127.0.0.1,\n"
    "or of ADDRESS (0.0.0.0: every address); without it, as the line\n"
    "Http=[ADDRESS:]PORT of feedrail-dnc.conf beside DNC.ini says (off without).\n";

struct Request {
    bool status = false;
    std::optional<std::string> monitored;
    feedrail::TrafficView view = feedrail::TrafficView::Text;
    std::optional<std::string> profiles;
    std::optional<feedrail::HttpAddress> http;
};

std::optional<Request> ParseArguments(const std::vector<std::string>& args) {
    Request request;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i == 0 && args[i] == "status") {
            request.status = true;
        } else if (i == 0 && args[i] == "monitor") {
            request.monitored.emplace();
        } else if (request.monitored && args[i] == "--hex") {
            request.view = feedrail::TrafficView::Hex;
        } else if (request.monitored && request.monitored->empty() && !args[i].starts_with("-")) {
            *request.monitored = args[i];
        } else if (args[i] == "--profiles" && i + 1 < args.size()) {
            request.profiles = feedrail::WithTrailingSeparator(args[++i]);
        } else if (!request.status && !request.monitored && args[i] == "--http" &&
                   i + 1 < args.size()) {
            request.http = feedrail::ParseHttpAddress(args[++i]);
            if (!request.http) {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
    }
    if (request.monitored && request.monitored->empty()) {
        return std::nullopt;
    }
    return request;
}

std::string EnvFolder(const char* name, const std::string& otherwise) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : otherwise;
}

// The folder the window would choose, from the same rules.
std::string WindowProfileFolder() {
    const std::string home = EnvFolder("HOME", "");
    return feedrail::ChooseProfileFolder(
        feedrail::ProgramDirectory(), EnvFolder("XDG_CONFIG_HOME", home + "/.config") + "/feedrail",
        home.empty() ? "" : home + "/NC Programs");
}

int PrintStatus(const std::string& profileFolder) {
    try {
        std::cout << feedrail::AskStatus(feedrail::StatusSocketPath(profileFolder));
    } catch (const std::exception& error) {
        std::cerr << "feedrail-dnc: no service answers: " << error.what() << "\n";
        return ExitFailure;
    }
    return std::cout.flush() ? 0 : ExitFailure;
}

volatile std::sig_atomic_t interrupted = 0;

void Interrupt(int) {
    interrupted = 1;
}

// Shows the service's whole lines of `pending`: its first, the watch's
// header or why there is none, on standard error, the traffic on standard
// output, and why the watch ended on standard error; the exit status once
// it is over.
std::optional<int> ShowLines(std::string& pending, bool& watching) {
    std::string traffic;
    std::string said;
    std::size_t start = 0;
    for (std::size_t end; said.empty() && (end = pending.find('\n', start)) != std::string::npos;
         start = end + 1) {
        const std::string line = pending.substr(start, end - start);
        if (watching && !line.starts_with(feedrail::ServiceClient::EndWord)) {
            traffic += line + "\n";
        } else if (watching) {
            said = "the monitor ended: " + line.substr(feedrail::ServiceClient::EndWord.size());
        } else if (line.starts_with(feedrail::StatusSocket::WatchingWord)) {
            watching = true;
            std::cerr << "feedrail-dnc: " << line << "; Ctrl+C ends" << std::endl;
        } else {
            said = line;
        }
    }
    pending.erase(0, start);
    if (!(std::cout << traffic << std::flush)) {
        return ExitFailure;
    }
    if (!said.empty()) {
        std::cerr << "feedrail-dnc: " << said << "\n";
        return ExitFailure;
    }
    return std::nullopt;
}

// Until Ctrl+C (a success) or the service's end of the watch. The signals
// are blocked but while waiting for the service, so that one that comes
// between two waits ends the next.
int Monitor(const std::string& profileFolder, const std::string& machine,
            feedrail::TrafficView view) {
    sigset_t signals;
    sigset_t waiting;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, &waiting);
    struct sigaction action {};
    action.sa_handler = Interrupt;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    feedrail::FileDescriptor socket;
    try {
        socket = feedrail::ConnectToService(feedrail::StatusSocketPath(profileFolder));
    } catch (const std::exception& error) {
        std::cerr << "feedrail-dnc: no service answers: " << error.what() << "\n";
        return ExitFailure;
    }
    const std::string request = feedrail::MonitorRequest(machine, view);
    if (::send(socket.Get(), request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size())) {
        std::cerr << "feedrail-dnc: the service took no request: " << std::strerror(errno) << "\n";
        return ExitFailure;
    }
    std::string pending;
    bool watching = false;
    for (;;) {
        pollfd in{socket.Get(), POLLIN, 0};
        if (::ppoll(&in, 1, nullptr, &waiting) < 0) {
            if (interrupted != 0) {
                return 0;
            }
            continue;
        }
        char block[64 * 1024];
        const ssize_t count = ::read(socket.Get(), block, sizeof block);
        if (count <= 0) {
            std::cerr << "feedrail-dnc: the service closed the connection\n";
            return ExitFailure;
        }
        pending.append(block, static_cast<std::size_t>(count));
        if (const std::optional<int> status = ShowLines(pending, watching)) {
            return *status;
        }
    }
}

// A reload made again every second while a machine's transfer ends says a
// failure once, not every second.
bool Reload(feedrail::DncService& service, feedrail::JournalLog& log, bool again = false) {
    static std::string lastFailure;
    try {
        service.Load();
        lastFailure.clear();
        return true;
    } catch (const std::exception& error) {
        if (!again || error.what() != lastFailure) {
            log.Write(feedrail::JournalLog::Error,
                      std::string("DNC.ini not read again: ") + error.what());
        }
        lastFailure = error.what();
        return false;
    }
}

// An IPv6 address goes in brackets, so that its colons are not the port's.
std::string PagesUrl(const std::string& host, int port) {
    const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return "http://" + shown + ":" + std::to_string(port) + "/";
}

// The web pages, on threads of their own; without them the service still
// serves every machine.
// An administrator who asked for them expects them: a failure is an error,
// the address and the reason named.
std::unique_ptr<feedrail::HttpServer> ServePages(const feedrail::HttpAddress& address,
                                                 const feedrail::DncService& service,
                                                 const std::string& profileFolder,
                                                 feedrail::JournalLog& log) {
    std::unique_ptr<feedrail::HttpServer> server;
    try {
        const feedrail::ShopFloorPages pages(
            [&service] { return service.Statuses(); },
            [&service](const std::string& machine, std::size_t limit) {
                return service.Watch(machine, limit);
            },
            profileFolder + std::string(feedrail::TransferLogName));
        server = std::make_unique<feedrail::HttpServer>(
            address, [&pages](httplib::Server& routes) { pages.Route(routes); });
        log.Write(feedrail::JournalLog::Notice,
                  "web pages at " + PagesUrl(address.Host, server->Port()));
    } catch (const std::system_error& error) {
        log.Write(feedrail::JournalLog::Error, "the web pages are not served at " +
                                                   PagesUrl(address.Host, address.Port) + ": " +
                                                   error.what());
    }
    return server;
}

// The web pages as feedrail-dnc.conf asks for them now: at a new address
// they replace those at the old one, and pages that could not be served are
// tried again. A file that cannot be read leaves them as they are.
void ReloadPages(const std::string& profileFolder, const feedrail::DncService& service,
                 feedrail::JournalLog& log, std::optional<feedrail::HttpAddress>& address,
                 std::unique_ptr<feedrail::HttpServer>& pages) {
    const std::string path = profileFolder + std::string(feedrail::ServiceSettingsName);
    std::optional<feedrail::HttpAddress> wanted;
    try {
        wanted = feedrail::ReadServiceSettings(path).Http;
    } catch (const std::exception& error) {
        log.Write(feedrail::JournalLog::Error,
                  std::string(error.what()) + "; the web pages stay as they were");
        return;
    }
    if (wanted == address && (pages || !wanted)) {
        return;
    }
    pages.reset();
    address = wanted;
    if (address) {
        pages = ServePages(*address, service, profileFolder, log);
    } else {
        log.Write(feedrail::JournalLog::Notice, "the web pages are no longer served");
    }
}

// Runs until SIGTERM or SIGINT; SIGHUP reloads. The signals are taken by
// sigwait here, blocked everywhere else (every thread inherits the mask).
int Serve(const std::string& profileFolder, const std::optional<feedrail::HttpAddress>& http) {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGHUP, SIGTERM, SIGINT}) {
        sigaddset(&signals, signal);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // Each machine holds about four descriptors: a few hundred machines need
    // more than the usual soft limit of 1024.
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }

    feedrail::JournalLog log;
    feedrail::DncService service(profileFolder, log);
    try {
        // A DNC.ini that cannot be read says so before anything else.
        feedrail::ReadMachineConfigs(profileFolder);
        // Without its status socket the service still serves every machine.
        std::optional<feedrail::StatusSocket> status;
        try {
            status.emplace(
                feedrail::StatusSocketPath(profileFolder),
                feedrail::ServiceAnswers{
                    .Status = [&service] { return service.StatusText(); },
                    .Watch =
                        [&service](const std::string& machine) { return service.Watch(machine); }});
        } catch (const std::system_error& error) {
            log.Write(feedrail::JournalLog::Warning,
                      std::string("the status socket is off, so \"feedrail-dnc status\" cannot "
                                  "answer: ") +
                          error.what());
        }
        // The command line wins over the file.
        std::optional<feedrail::HttpAddress> address =
            http ? http
                 : feedrail::ReadServiceSettings(profileFolder +
                                                 std::string(feedrail::ServiceSettingsName))
                       .Http;
        service.Load();
        std::unique_ptr<feedrail::HttpServer> pages;
        if (address) {
            pages = ServePages(*address, service, profileFolder, log);
        }
        log.Write(feedrail::JournalLog::Notice, "serving the machines of " + profileFolder +
                                                    std::string(feedrail::ProfileFile::FileName));
        for (;;) {
            // A reload that waits for a machine's transfer is made again
            // every second until it is done.
            const timespec second{1, 0};
            const int signal = service.ReloadWaits() ? sigtimedwait(&signals, nullptr, &second)
                                                     : sigwaitinfo(&signals, nullptr);
            if (signal < 0) {
                if (errno == EAGAIN) {
                    Reload(service, log, true);
                }
                continue;
            }
            if (signal != SIGHUP) {
                break;
            }
            if (Reload(service, log)) {
                log.Write(feedrail::JournalLog::Notice, "DNC.ini read again");
            }
            if (!http) {
                ReloadPages(profileFolder, service, log, address, pages);
            }
        }
        // The pages go first: they would show every machine as disabled
        // while it stops, and no machine may end on one of their threads.
        pages.reset();
        service.Stop();
        log.Write(feedrail::JournalLog::Notice, "stopped");
    } catch (const std::exception& error) {
        log.Write(feedrail::JournalLog::Error, error.what());
        return ExitFailure;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (feedrail::AsksForHelp(argc, argv)) {
        return feedrail::PrintUsage(std::cout, Usage);
    }
    if (feedrail::AsksForVersion(argc, argv)) {
        return feedrail::PrintVersion(std::cout, "feedrail-dnc");
    }
    const auto request = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!request) {
        std::cerr << "feedrail-dnc: unknown arguments\n" << Usage;
        return ExitFailure;
    }
    const std::string profileFolder = request->profiles.value_or(WindowProfileFolder());
    if (request->monitored) {
        return Monitor(profileFolder, *request->monitored, request->view);
    }
    return request->status ? PrintStatus(profileFolder) : Serve(profileFolder, request->http);
}
