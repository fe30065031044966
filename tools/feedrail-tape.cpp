// feedrail-tape: converts part-program text to tape images and back, with the
// same tables and line handling as sending and receiving on the serial line.

#include "about/VersionOption.h"
#include "common/RegularFile.h"
#include "transfer/TapeCode.h"
#include "transfer/TapeImage.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int ExitFailure = 2;

constexpr const char* Usage =
    "usage: feedrail-tape encode --code iso|eia|ascii --eob crlf|lfcrcr|lf [--leader] IN OUT\n"
    "       feedrail-tape decode --code iso|eia|ascii IN OUT\n"
    "       feedrail-tape --help | --version\n"
    "IN or OUT may be - for standard input or output.\n";

struct Request {
    bool encode = true;
    std::int32_t punchType = 0;
    std::int32_t eob = -1;
    bool leader = false;
    std::string in;
    std::string out;
};

class UsageError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::int32_t Choice(const std::map<std::string, std::int32_t>& choices, const std::string& option,
                    const std::string& value) {
    const auto found = choices.find(value);
    if (found == choices.end()) {
        throw UsageError("unknown value '" + value + "' for " + option);
    }
    return found->second;
}

Request ParseArguments(const std::vector<std::string>& args) {
    if (args.empty() || (args[0] != "encode" && args[0] != "decode")) {
        throw UsageError(args.empty() ? "no command given" : "unknown command '" + args[0] + "'");
    }
    Request request;
    request.encode = args[0] == "encode";
    std::vector<std::string> files;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--code" || (request.encode && arg == "--eob");
        if (takesValue && i + 1 >= args.size()) {
            throw UsageError(arg + " needs a value");
        }
        if (arg == "--code") {
            request.punchType = Choice({{"ascii", feedrail::PunchAscii},
                                        {"eia", feedrail::PunchEia},
                                        {"iso", feedrail::PunchIso}},
                                       arg, args[++i]);
        } else if (takesValue) {
            request.eob = Choice({{"crlf", feedrail::EobCrLf},
                                  {"lfcrcr", feedrail::EobLfCrCr},
                                  {"lf", feedrail::EobLf}},
                                 arg, args[++i]);
        } else if (request.encode && arg == "--leader") {
            request.leader = true;
        } else if (arg.starts_with("--")) {
            throw UsageError("unknown option '" + arg + "'");
        } else {
            files.push_back(arg);
        }
    }
    if (request.punchType == 0) {
        throw UsageError("--code is required");
    }
    if (request.encode && request.eob < 0) {
        throw UsageError("--eob is required");
    }
    if (files.size() != 2) {
        throw UsageError("expected an input and an output file");
    }
    request.in = files[0];
    request.out = files[1];
    return request;
}

std::optional<std::string> ReadInput(const std::string& path) {
    if (path == "-") {
        return std::string(std::istreambuf_iterator<char>(std::cin), {});
    }
    feedrail::RegularFileRead file = feedrail::ReadRegularFile(path);
    if (file.outcome != feedrail::RegularFileRead::Read) {
        errno = file.error;
        return std::nullopt;
    }
    return std::move(file.content);
}

bool WriteOutput(const std::string& path, const std::string& data) {
    if (path == "-") {
        std::cout.write(data.data(), static_cast<std::streamsize>(data.size()));
        return static_cast<bool>(std::cout.flush());
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(data.data(), static_cast<std::streamsize>(data.size()));
    file.close();
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char** argv) {
    if (feedrail::AsksForHelp(argc, argv)) {
        return feedrail::PrintUsage(std::cout, Usage);
    }
    if (feedrail::AsksForVersion(argc, argv)) {
        return feedrail::PrintVersion(std::cout, "feedrail-tape");
    }
    Request request;
    try {
        request = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& error) {
        std::cerr << "feedrail-tape: " << error.what() << "\n" << Usage;
        return ExitFailure;
    }
    const auto input = ReadInput(request.in);
    if (!input) {
        std::cerr << "feedrail-tape: cannot read '" << request.in << "': " << std::strerror(errno)
                  << "\n";
        return ExitFailure;
    }
    const std::string output =
        request.encode
            ? feedrail::EncodeProgramText(*input, request.punchType, request.eob, request.leader)
            : feedrail::DecodeTapeImage(*input, request.punchType);
    if (!WriteOutput(request.out, output)) {
        std::cerr << "feedrail-tape: cannot write '" << request.out << "': " << std::strerror(errno)
                  << "\n";
        return ExitFailure;
    }
    return 0;
}
