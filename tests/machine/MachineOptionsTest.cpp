#include "machine/MachineOptions.h"

#include <gtest/gtest.h>

namespace feedrail::machine {
namespace {

using namespace std::chrono_literals;

TEST(MachineOptionsTest, PresetsThenOptions) {
    const MachineOptions byDefault = ParseMachineOptions({"--link", "com2"});
    EXPECT_FALSE(byDefault.punch);
    EXPECT_TRUE(byDefault.receiver.xonXoff);
    EXPECT_EQ(byDefault.receiver.overrunLimit, 10u);
    EXPECT_EQ(byDefault.receiver.xonRepeat, 5s)
        << "a send pressed after the control started must not wait for ever";

    const MachineOptions fanuc = ParseMachineOptions({"--link", "com2", "--preset", "fanuc"});
    EXPECT_TRUE(fanuc.receiver.xonAtStart);
    EXPECT_EQ(fanuc.receiver.xonRepeat, 0ms);

    const MachineOptions plain = ParseMachineOptions(
        {"punch", "O1.nc", "--device", "/dev/ttyUSB0", "--preset", "plain", "--code", "eia"});
    EXPECT_TRUE(plain.punch);
    EXPECT_EQ(plain.punchFile, "O1.nc");
    EXPECT_FALSE(plain.receiver.xonXoff);
    EXPECT_FALSE(plain.puncher.dcCodes);
    EXPECT_EQ(plain.puncher.punchType, 2);

    const MachineOptions sized = ParseMachineOptions(
        {"--preset", "plain", "--link", "x", "--handshake", "xonxoff", "--buffer", "100"});
    EXPECT_TRUE(sized.receiver.xonXoff) << "an option overrides the preset wherever it stands";
    EXPECT_EQ(sized.receiver.highMark, 75u);
    EXPECT_EQ(sized.receiver.lowMark, 25u);

    const MachineOptions request = ParseMachineOptions({"request", "o77", "--link", "x"});
    EXPECT_EQ(request.requestNumber, "O77");
    EXPECT_EQ(request.programs, 1) << "done after the answer";
    EXPECT_EQ(ParseMachineOptions({"request", "O77", "--link", "x", "--programs", "2"}).programs,
              2);

    EXPECT_EQ(ParseMachineOptions({"--listen", "tcp:0"}).listenPort, 0) << "any free port";
    EXPECT_EQ(ParseMachineOptions({"--listen", "tcp:65535"}).listenPort, 65535);
}

TEST(MachineOptionsTest, BadArgumentsAreRefusedWithAReason) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{}, "give one of --link, --device or --listen"},
        {{"--link", "a", "--device", "b"}, "give one of --link, --device or --listen"},
        {{"--listen", "tcp:0", "--link", "a"}, "give one of --link, --device or --listen"},
        {{"--listen", "tcp:65536"},
         "--listen needs tcp:PORT, PORT from 0 to 65535, not 'tcp:65536'"},
        {{"--listen", "tcp:abc"}, "--listen needs tcp:PORT, PORT from 0 to 65535, not 'tcp:abc'"},
        {{"--listen", "tcp:-1"}, "--listen needs tcp:PORT, PORT from 0 to 65535, not 'tcp:-1'"},
        {{"--listen", "tcp:"}, "--listen needs tcp:PORT, PORT from 0 to 65535, not 'tcp:'"},
        {{"--listen", "2000"}, "--listen needs tcp:PORT, PORT from 0 to 65535, not '2000'"},
        {{"--link"}, "--link needs a value"},
        {{"--link", "a", "--code", "baudot"}, "unknown value 'baudot' for --code"},
        {{"--link", "a", "--preset", "okuma"}, "unknown preset 'okuma'"},
        {{"--link", "a", "--buffer", "0"}, "--buffer needs a whole number above 0, not '0'"},
        {{"--link", "a", "--drain", "fast"}, "--drain needs a whole number above 0, not 'fast'"},
        {{"--link", "a", "--speed", "1"}, "unknown option '--speed'"},
        {{"--link", "a", "--leader", "2147483647"}, "--leader is at most 10000, not '2147483647'"},
        {{"--link", "a", "--trailer", "10001"}, "--trailer is at most 10000, not '10001'"},
        {{"--link", "a", "punch"}, "punch needs one program file"},
        {{"--link", "a", "send", "x"}, "unexpected 'send'"},
        {{"--link", "a", "request"}, "request needs one program number such as O1234"},
        {{"--link", "a", "request", "1234"}, "request needs one program number such as O1234"},
        {{"--link", "a", "punch", "x", "--punch-on-enter", "y"}, "--punch-on-enter is for receive"},
        {{"--link", "a", "request", "O1", "--punch-on-enter", "y"},
         "--punch-on-enter is for receive"},
    };
    for (const auto& c : cases) {
        try {
            ParseMachineOptions(c.args);
            ADD_FAILURE() << c.message;
        } catch (const OptionError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

} // namespace
} // namespace feedrail::machine
