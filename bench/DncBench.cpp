// Measures feedrail-dnc serving many simulated controls at once: each
// control (feedrail-machine on a pseudo-terminal, paced at the line's rate)
// punches PROGRAMS programs and requests PROGRAMS others, a punch and a
// request in turn, all controls at the same time. Prints whether every
// program was filed and every answer arrived byte for byte, the share of
// the line an answer kept busy, the service's processor time per byte, its
// peak memory, threads and descriptors.
//   feedrail-dnc-bench [--browsers] [CONTROLS BAUD [PROGRAMS [BYTES]]]
// Without arguments: 16 controls at 115200 baud, then 64 at 9600, the web
// pages off. With --browsers each is run twice, the service's web pages on:
// without browsers, then with 16 watching them, and the processor times are
// put side by side.

#include "ShopFloorBrowsers.h"
#include "service/StatusSocket.h"
#include "support/ChildProcess.h"
#include "support/MachineProcess.h"
#include "support/TempFolder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using feedrail::test::ReadFile;
using feedrail::test::WriteFile;

struct Scenario {
    int controls;
    int baud;
    int programs;
    std::size_t bytes;
};

std::string Program(const std::string& number, std::size_t bytes) {
    std::string text = "%\n" + number + "\n";
    for (int n = 1; text.size() + 6 < bytes; ++n) {
        text += "N" + std::to_string(n) + " G1 X" + std::to_string(n % 997) + ".5 Y-" +
                std::to_string(n % 313) + ".25 F800.\n";
    }
    return text + "M30\n%\n";
}

// Processor seconds the process has used, all its threads.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) {
            user = std::stoull(field);
        } else if (index == 15) {
            system = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Processor seconds of the child processes waited for so far.
double ChildrenCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long StatusField(pid_t pid, const std::string& name) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(name + ":")) {
            return std::atol(line.c_str() + name.size() + 1);
        }
    }
    return -1;
}

long Descriptors(pid_t pid) {
    long count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        ++count;
    }
    return count;
}

// A port nobody listens on now.
int FreePort() {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(socket, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(socket);
    return ntohs(address.sin_port);
}

bool AllListening(const std::string& profiles, int controls) {
    try {
        const std::string status = feedrail::AskStatus(feedrail::StatusSocketPath(profiles));
        std::size_t listening = 0;
        for (std::size_t at = 0; (at = status.find("\tlistening", at)) != std::string::npos; ++at) {
            ++listening;
        }
        return listening == static_cast<std::size_t>(controls);
    } catch (const std::exception&) {
        return false;
    }
}

// The service's processor time for the scenario, its web pages on with
// `pages`; `browsers` watch them throughout. Without pages its threads are
// those that serve the machines alone.
double Run(const Scenario& scenario, bool pages, std::size_t browsers) {
    feedrail::test::TempFolder root;
    const std::string profiles = root.Path() + "/";
    ::setenv("XDG_RUNTIME_DIR", root.Path().c_str(), 1);
    const std::string programs = root.File("programs");
    std::filesystem::create_directories(programs);
    const std::string punched = Program("O5000", scenario.bytes);
    WriteFile(root.File("punch.nc"), punched);
    for (int n = 1; n <= scenario.programs; ++n) {
        const std::string number = "O" + std::to_string(4000 + n);
        WriteFile(programs + "/" + number + ".nc", Program(number, scenario.bytes));
    }
    std::string ini;
    const int cps = scenario.baud / 10;
    std::vector<std::unique_ptr<feedrail::test::MachineProcess>> controls;
    for (int c = 1; c <= scenario.controls; ++c) {
        const std::string name = "M" + std::to_string(c);
        std::filesystem::create_directories(root.File("received/" + name));
        std::filesystem::create_directories(root.File("control/" + name));
        const std::string link = root.File("com" + std::to_string(c));
        // A port number is a byte: past 255 controls are named by their links.
        ini += "[" + name + "]\nCommDevice=" + link +
               "\nCommBaudRate=" + std::to_string(scenario.baud) +
               "\nCommHandshake=0\nPunchType=1\nEOB=2\nDefaultDir=" + programs +
               "/\nAutoReceive=1\nReceiveDir=" + root.File("received/" + name) +
               "/\nRemoteRequest=1\n";
        controls.push_back(std::make_unique<feedrail::test::MachineProcess>(
            std::vector<std::string>{"--punch-on-enter", root.File("punch.nc"), "--programs",
                                     std::to_string(scenario.programs), "--code", "ascii", "--eob",
                                     "lf", "--cps", std::to_string(cps), "--drain",
                                     std::to_string(cps), "--link", link, "--out",
                                     root.File("control/" + name)},
            root.File("control/" + name + ".log"), link));
    }
    WriteFile(root.File("DNC.ini"), ini);
    const int port = FreePort();
    std::vector<std::string> options{"--profiles", profiles};
    if (pages) {
        options.insert(options.end(), {"--http", std::to_string(port)});
    }
    feedrail::test::ChildProcess service(FEEDRAIL_DNC_TOOL, options, root.File("service.log"));
    for (const auto deadline = Clock::now() + 60s; !AllListening(profiles, scenario.controls);) {
        if (Clock::now() > deadline) {
            std::printf("the service did not listen on every line:\n%s\n",
                        service.Output().c_str());
            return 0;
        }
        std::this_thread::sleep_for(50ms);
    }

    std::vector<std::string> machines;
    for (int c = 1; c <= scenario.controls; ++c) {
        machines.push_back("M" + std::to_string(c));
    }
    std::optional<feedrail::bench::ShopFloorBrowsers> watching;
    if (browsers > 0) {
        watching.emplace(port, browsers, machines);
    }
    const double cpuBefore = CpuSeconds(service.Pid());
    const double childrenBefore = ChildrenCpuSeconds();
    const auto start = Clock::now();
    std::string keys;
    for (int n = 1; n <= scenario.programs; ++n) {
        keys += "\nrequest O" + std::to_string(4000 + n) + "\n";
    }
    for (const auto& control : controls) {
        control->Type(keys);
    }
    long threads = 0, descriptors = 0;
    bool ended = true;
    for (const auto& control : controls) {
        while (!control->Wait(100ms)) {
            threads = std::max(threads, StatusField(service.Pid(), "Threads"));
            descriptors = std::max(descriptors, Descriptors(service.Pid()));
            if (Clock::now() - start > 30min) {
                ended = false;
                break;
            }
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // The last punches are filed once their closing "%" has come.
    const auto filed = [&] {
        for (int c = 1; c <= scenario.controls; ++c) {
            const auto folder = root.File("received/M" + std::to_string(c));
            if (std::distance(std::filesystem::directory_iterator(folder), {}) <
                scenario.programs) {
                return false;
            }
        }
        return true;
    };
    for (const auto deadline = Clock::now() + 10s; !filed() && Clock::now() < deadline;) {
        std::this_thread::sleep_for(50ms);
    }
    const double cpu = CpuSeconds(service.Pid()) - cpuBefore;
    const std::size_t requests = watching ? watching->Requests() : 0;
    const std::size_t failures = watching ? watching->Failures() : 0;
    watching.reset();
    // The simulated controls run on the same processors: what they took is
    // what the service could not have.
    const double controlsCpu = ChildrenCpuSeconds() - childrenBefore;
    const long peakKb = StatusField(service.Pid(), "VmHWM");

    int filedRight = 0, answeredRight = 0;
    double answerChars = 0, answerMs = 0;
    const std::regex stored("stored .* \\(([0-9]+) characters in ([0-9]+) ms\\)");
    for (int c = 1; c <= scenario.controls; ++c) {
        const std::string name = "M" + std::to_string(c);
        for (const auto& entry :
             std::filesystem::directory_iterator(root.File("received/" + name))) {
            filedRight += ReadFile(entry.path().string()) == punched ? 1 : 0;
        }
        for (int n = 1; n <= scenario.programs; ++n) {
            const std::string number = "O" + std::to_string(4000 + n);
            answeredRight += ReadFile(root.File("control/" + name + "/" + number + ".nc")) ==
                                     ReadFile(programs + "/" + number + ".nc")
                                 ? 1
                                 : 0;
        }
        const std::string log = ReadFile(root.File("control/" + name + ".log"));
        for (std::sregex_iterator it(log.begin(), log.end(), stored), end; it != end; ++it) {
            answerChars += std::stod((*it)[1]);
            answerMs += std::stod((*it)[2]);
        }
    }
    const int expected = scenario.controls * scenario.programs;
    const double bytes = 2.0 * expected * static_cast<double>(scenario.bytes);
    std::printf("%d controls at %d baud, %d punched + %d requested programs of %zu bytes each, "
                "web pages %s, %zu browsers:\n",
                scenario.controls, scenario.baud, scenario.programs, scenario.programs,
                scenario.bytes, pages ? "on" : "off", browsers);
    if (browsers > 0) {
        std::printf("  the browsers asked %zu times, %zu not answered 200\n", requests, failures);
    }
    std::printf("  %s in %.1f s; filed byte for byte %d of %d, answered byte for byte %d of %d\n",
                ended ? "ended" : "NOT ENDED", seconds, filedRight, expected, answeredRight,
                expected);
    std::printf("  line kept busy while answering: %.2f %% (goal >= 99 %%)\n",
                answerMs > 0 ? 100.0 * answerChars / (answerMs / 1000.0 * cps) : 0.0);
    std::printf("  service processor time: %.2f s, %.2f us per byte (goal <= 3 us)\n", cpu,
                cpu / bytes * 1e6);
    std::printf("  the simulated controls took %.2f s of processor time, on %ld processors\n",
                controlsCpu, ::sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("  service peak memory: %.1f MB (goal < 100 MB); threads %ld (goal <= 16), "
                "descriptors %ld\n",
                static_cast<double>(peakKb) / 1024.0, threads, descriptors);
    service.Stop(10s);
    if (filedRight != expected || answeredRight != expected) {
        const auto kept = std::filesystem::temp_directory_path() / "feedrail-dnc-bench-failure";
        std::filesystem::remove_all(kept);
        std::filesystem::copy(root.Path(), kept,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::copy_symlinks);
        std::printf("  the folders and logs are kept in %s\n", kept.c_str());
    }
    return cpu;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool browsers = !args.empty() && args.front() == "--browsers";
    if (browsers) {
        args.erase(args.begin());
    }
    std::vector<Scenario> scenarios{{16, 115200, 20, 4000}, {64, 9600, 20, 1000}};
    if (args.size() >= 2) {
        scenarios = {
            {std::atoi(args[0].c_str()), std::atoi(args[1].c_str()),
             args.size() > 2 ? std::atoi(args[2].c_str()) : 20,
             args.size() > 3 ? static_cast<std::size_t>(std::atol(args[3].c_str())) : 2000}};
    }
    constexpr std::size_t Browsers = 16;
    for (const Scenario& scenario : scenarios) {
        const double alone = Run(scenario, browsers, 0);
        if (!browsers) {
            continue;
        }
        const double watched = Run(scenario, true, Browsers);
        std::printf("service processor time: %.2f s without browsers, %.2f s with %zu "
                    "(%+.1f %%; goal within 10 %%)\n",
                    alone, watched, Browsers, alone > 0 ? 100.0 * (watched - alone) / alone : 0.0);
    }
    return 0;
}
