// feedrail-dnc: serves every machine of DNC.ini whose Auto Receive or Remote
// Request is on, all at once and without a window; `feedrail-dnc status`
// asks a running service what each machine is doing.

#include "about/VersionOption.h"
#include "common/ProfileFolder.h"
#include "common/ProgramDirectory.h"
#include "profiles/ProfileFile.h"
#include "service/DncService.h"
#include "service/JournalLog.h"
#include "service/MachineConfig.h"
#include "service/StatusSocket.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <system_error>
#include <vector>

namespace {

constexpr int ExitFailure = 2;

constexpr const char* Usage =
    "usage: feedrail-dnc [--profiles FOLDER]\n"
    "       feedrail-dnc status [--profiles FOLDER]\n"
    "       feedrail-dnc --help | --version\n"
    "Serves every machine of DNC.ini whose Auto Receive or Remote Request is on:\n"
    "files the programs they punch and answers their requests, until SIGTERM.\n"
    "SIGHUP reads DNC.ini again. `status` prints a line per machine.\n"
    "FOLDER is where DNC.ini is; without it, the folder the window uses.\n";

struct Request {
    bool status = false;
    std::optional<std::string> profiles;
};

std::optional<Request> ParseArguments(const std::vector<std::string>& args) {
    Request request;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i == 0 && args[i] == "status") {
            request.status = true;
        } else if (args[i] == "--profiles" && i + 1 < args.size()) {
            request.profiles = feedrail::WithTrailingSeparator(args[++i]);
        } else {
            return std::nullopt;
        }
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

// Runs until SIGTERM or SIGINT; SIGHUP reloads. The signals are taken by
// sigwait here, blocked everywhere else (every thread inherits the mask).
int Serve(const std::string& profileFolder) {
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
            status.emplace(feedrail::StatusSocketPath(profileFolder),
                           [&service] { return service.StatusText(); });
        } catch (const std::system_error& error) {
            log.Write(feedrail::JournalLog::Warning,
                      std::string("the status socket is off, so \"feedrail-dnc status\" cannot "
                                  "answer: ") +
                          error.what());
        }
        service.Load();
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
        }
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
    return request->status ? PrintStatus(profileFolder) : Serve(profileFolder);
}
