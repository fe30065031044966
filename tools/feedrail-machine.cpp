// feedrail-machine: a simulated CNC control on the other end of a serial
// line. It reads programs as a control's tape reader does (a buffer drained
// at its own pace, XOFF/XON, an overrun alarm for a sender that ignores its
// XOFF) or punches one, so that Feedrail can be tried and tested without a
// machine.

#include "about/VersionOption.h"
#include "common/ControlChars.h"
#include "common/RegularFile.h"
#include "machine/ControlPuncher.h"
#include "machine/ControlReceiver.h"
#include "machine/MachineLine.h"
#include "machine/MachineOptions.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using feedrail::machine::Clock;

constexpr int ExitUsage = 2;
constexpr int ExitAlarm = 3;
constexpr auto LingerAfterPunch = std::chrono::seconds(1);
// How long a control with nothing to punch, drain or read waits for the line
// before it looks at its keys again: hundreds of controls on one computer
// that looked every 2 ms took more processors than it has.
constexpr int IdleLookMs = 50;

constexpr const char* Usage =
    "usage: feedrail-machine [receive | punch FILE | request O<number>]\n"
    "         (--link PATH | --device PATH | --listen tcp:PORT)\n"
    "         [--preset fanuc|haas|plain] [--code iso|eia|ascii] [--eob crlf|lfcrcr|lf]\n"
    "         [--handshake xonxoff|none] [--buffer N] [--drain CPS] [--xon-repeat MS]\n"
    "         [--overrun-limit N]"
    " [--out DIR] [--programs N] [--raw FILE]\n"
    "         [--leader N] [--trailer N] [--cps N] [--start-after MS] [--punch-on-enter FILE]\n"
    "       feedrail-machine --help | --version\n"
    "--listen serves the line on 127.0.0.1 (loopback only; PORT 0 picks a free port)\n"
    "to one client at a time, as a raw TCP device server, and prints\n"
    "\"listening on tcp:PORT\".\n"
    "While it receives, each line typed on standard input is a key: an empty line\n"
    "punches (the --punch-on-enter file, or the request), \"request O<number>\"\n"
    "asks for that program and holds the next key until a program has come.\n";

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) {
    stopRequested = 1;
}

void WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (count > 0) {
            done += static_cast<std::size_t>(count);
        } else if (errno == EAGAIN || errno == EINTR) {
            pollfd out{fd, POLLOUT, 0};
            ::poll(&out, 1, 10);
        } else {
            return;
        }
    }
}

// What has arrived, waiting at most `timeoutMs` for it.
std::string ReadAvailable(int fd, int timeoutMs) {
    pollfd in{fd, POLLIN, 0};
    std::string bytes;
    if (::poll(&in, 1, timeoutMs) > 0 && (in.revents & POLLIN) != 0) {
        char buffer[4096];
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            bytes.assign(buffer, static_cast<std::size_t>(count));
        }
    }
    return bytes;
}

// "O1000.nc" for a program with an O number, else "program-N.nc"; never an
// existing file.
std::filesystem::path ProgramPath(const std::string& folder, const std::string& program,
                                  int number) {
    std::string name = "program-" + std::to_string(number);
    const std::size_t o = program.find("\nO");
    if (o != std::string::npos) {
        std::size_t end = o + 2;
        while (end < program.size() && std::isdigit(static_cast<unsigned char>(program[end]))) {
            ++end;
        }
        if (end > o + 2) {
            name = program.substr(o + 1, end - o - 1);
        }
    }
    std::filesystem::path path = std::filesystem::path(folder) / (name + ".nc");
    for (int copy = 2; std::filesystem::exists(path); ++copy) {
        path = std::filesystem::path(folder) / (name + "-" + std::to_string(copy) + ".nc");
    }
    return path;
}

std::optional<std::string> LoadProgram(const std::string& path) {
    feedrail::RegularFileRead file = feedrail::ReadRegularFile(path);
    if (file.outcome != feedrail::RegularFileRead::Read) {
        std::cerr << "feedrail-machine: cannot read '" << path << "'\n";
        return std::nullopt;
    }
    return std::move(file.content);
}

// The operator's keys, a line each typed on standard input: an empty line is
// Punch, "request O1234" asks for that program. Lines typed ahead wait their
// turn. Stops looking once standard input has ended.
class TypedKeys {
public:
    std::optional<std::string> Next() {
        Read();
        if (lines_.empty()) {
            return std::nullopt;
        }
        std::string line = std::move(lines_.front());
        lines_.pop_front();
        return line;
    }

private:
    void Read() {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (!watching_ || ::poll(&in, 1, 0) <= 0) {
            return;
        }
        char buffer[256];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            watching_ = false;
            return;
        }
        partial_.append(buffer, static_cast<std::size_t>(count));
        for (std::size_t end; (end = partial_.find('\n')) != std::string::npos;) {
            lines_.push_back(partial_.substr(0, end));
            partial_.erase(0, end + 1);
        }
    }

    bool watching_ = true;
    std::string partial_;
    std::deque<std::string> lines_;
};

std::string RequestTape(const std::string& number) {
    return "%\n" + number + " (REQUEST)\n%\n";
}

int Punch(const feedrail::machine::MachineOptions& options,
          const feedrail::machine::MachineLine& line, std::ofstream& raw) {
    const int fd = line.Fd();
    const std::optional<std::string> program = LoadProgram(options.punchFile);
    if (!program) {
        return ExitUsage;
    }
    feedrail::machine::ControlPuncher puncher(options.puncher, *program);
    const Clock::time_point start = Clock::now() + options.startAfter;
    while (stopRequested == 0 && Clock::now() < start) {
        raw << ReadAvailable(fd, 10);
    }
    while (!puncher.Done() && stopRequested == 0) {
        const std::string incoming = ReadAvailable(fd, 1);
        raw << incoming;
        puncher.Receive(incoming);
        WriteAll(fd, puncher.Next(Clock::now()));
    }
    ::tcdrain(fd);
    // Closing the control's side of a pseudo-terminal throws away what the
    // other side has not read, including what is still on its way there.
    Clock::time_point lastUnread = Clock::now();
    while (stopRequested == 0 && Clock::now() - lastUnread < LingerAfterPunch) {
        raw << ReadAvailable(fd, 10);
        if (line.Unread() > 0) {
            lastUnread = Clock::now();
        }
    }
    std::cout << "feedrail-machine: punched " << puncher.Tape().size() << " characters"
              << std::endl;
    return 0;
}

int Receive(const feedrail::machine::MachineOptions& options, int fd, std::ofstream& raw) {
    const bool requesting = !options.requestNumber.empty();
    std::optional<std::string> punchProgram;
    if (requesting) {
        punchProgram = RequestTape(options.requestNumber);
    } else if (!options.punchOnEnter.empty() &&
               !(punchProgram = LoadProgram(options.punchOnEnter))) {
        return ExitUsage;
    }
    TypedKeys keys;
    std::optional<feedrail::machine::ControlPuncher> puncher;
    // What is punched now asks for a program, and keys typed ahead wait for
    // it when it was typed as "request O<number>".
    bool asking = false;
    bool awaitingAnswer = false;
    // A request is punched after --start-after, and again at each Enter.
    bool requestDue = requesting;
    const Clock::time_point requestAt = Clock::now() + options.startAfter;
    feedrail::machine::ControlReceiver receiver(options.receiver);
    WriteAll(fd, receiver.Start(Clock::now()));
    int stored = 0;
    bool alarmReported = false;
    // When the program being read began: its first "%".
    bool programBegun = false;
    Clock::time_point programBegan = Clock::now();
    while (stopRequested == 0 && (!options.programs || stored < *options.programs)) {
        const bool idle = !puncher && !programBegun && receiver.Buffered() == 0;
        const std::string incoming = ReadAvailable(fd, puncher ? 1 : idle ? IdleLookMs : 2);
        raw << incoming << std::flush;
        const Clock::time_point now = Clock::now();
        if (!programBegun && !puncher && incoming.find('%') != std::string::npos) {
            programBegun = true;
            programBegan = now;
        }
        WriteAll(fd, receiver.Receive(incoming, now) + receiver.Tick(now));
        if (puncher) {
            puncher->Receive(incoming);
            WriteAll(fd, puncher->Next(now));
            if (puncher->Done()) {
                std::cout << "feedrail-machine: punched " << puncher->Tape().size() << " characters"
                          << std::endl;
                puncher.reset();
                // Having asked, the control switches to reading and says so once.
                if (asking && options.receiver.xonXoff) {
                    WriteAll(fd, std::string(1, feedrail::ControlChar::Xon));
                }
            }
        } else if (requestDue && now >= requestAt) {
            requestDue = false;
            asking = true;
            std::cout << "feedrail-machine: requesting " << options.requestNumber << std::endl;
            puncher.emplace(options.puncher, *punchProgram);
        } else if (const auto key = awaitingAnswer ? std::nullopt : keys.Next()) {
            if (key->starts_with("request O")) {
                asking = awaitingAnswer = true;
                std::cout << "feedrail-machine: requesting " << key->substr(8) << std::endl;
                puncher.emplace(options.puncher, RequestTape(key->substr(8)));
            } else if (key->empty() && punchProgram) {
                asking = requesting;
                std::cout << "feedrail-machine: "
                          << (requesting ? "requesting " + options.requestNumber
                                         : "punching " + options.punchOnEnter)
                          << std::endl;
                puncher.emplace(options.puncher, *punchProgram);
            }
        }
        if (receiver.Alarm() && !alarmReported) {
            alarmReported = true;
            std::cout << "feedrail-machine: ALARM overrun: more than "
                      << options.receiver.overrunLimit << " characters after XOFF" << std::endl;
        }
        for (const std::string& program : receiver.TakePrograms()) {
            awaitingAnswer = false;
            const auto path = ProgramPath(options.outFolder, program, ++stored);
            std::ofstream file(path, std::ios::binary);
            file << program;
            file.close();
            const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                programBegun ? Clock::now() - programBegan : Clock::duration::zero());
            programBegun = false;
            if (file) {
                std::cout << "feedrail-machine: stored " << path.string() << " (" << program.size()
                          << " characters in " << took.count() << " ms)" << std::endl;
            } else {
                std::cerr << "feedrail-machine: cannot store " << path.string() << ": "
                          << std::strerror(errno) << std::endl;
            }
        }
    }
    std::cout << "feedrail-machine: at most " << receiver.MostAfterXoff()
              << " characters arrived after an XOFF" << std::endl;
    return receiver.Alarm() ? ExitAlarm : 0;
}

feedrail::machine::MachineLine OpenLine(const feedrail::machine::MachineOptions& options) {
    using feedrail::machine::MachineLine;
    if (options.listenPort) {
        auto line = MachineLine::ListenTcp(*options.listenPort);
        const std::string& address = line.PeerPath();
        std::cout << "feedrail-machine: listening on tcp:" << address.substr(address.rfind(':') + 1)
                  << std::endl;
        return line;
    }
    if (!options.linkPath.empty()) {
        return MachineLine::CreateLinked(options.linkPath);
    }
    return MachineLine::OpenDevice(options.devicePath);
}

} // namespace

int main(int argc, char** argv) {
    if (feedrail::AsksForHelp(argc, argv)) {
        return feedrail::PrintUsage(std::cout, Usage);
    }
    if (feedrail::AsksForVersion(argc, argv)) {
        return feedrail::PrintVersion(std::cout, "feedrail-machine");
    }
    feedrail::machine::MachineOptions options;
    try {
        options =
            feedrail::machine::ParseMachineOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const feedrail::machine::OptionError& error) {
        std::cerr << "feedrail-machine: " << error.what() << "\n" << Usage;
        return ExitUsage;
    }
    struct sigaction action {};
    action.sa_handler = RequestStop;
    // Each way of being ended removes the link, as Ctrl+C does.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    std::error_code error;
    if (!options.punch && !std::filesystem::is_directory(options.outFolder, error)) {
        std::cerr << "feedrail-machine: the --out folder " << options.outFolder
                  << " does not exist\n";
        return ExitUsage;
    }
    try {
        auto line = OpenLine(options);
        std::cout << "feedrail-machine: "
                  << (options.linkPath.empty() ? line.PeerPath()
                                               : options.linkPath + " -> " + line.PeerPath())
                  << "; " << feedrail::machine::DescribeOptions(options) << std::endl;
        std::ofstream raw;
        if (!options.rawFile.empty()) {
            raw.open(options.rawFile, std::ios::binary | std::ios::trunc);
        }
        return options.punch ? Punch(options, line, raw) : Receive(options, line.Fd(), raw);
    } catch (const std::runtime_error& error) {
        std::cerr << "feedrail-machine: " << error.what() << "\n";
        return ExitUsage;
    }
}
