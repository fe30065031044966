#include "DncServiceHttpFixture.h"
#include "support/ChildProcess.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace feedrail {
namespace {

using namespace std::chrono_literals;
using test::Program;
using test::WaitFor;

constexpr const char* Browser = "/usr/bin/chromium";

// The part of `dom` from `anchor` to the next machine's card.
std::string Part(const std::string& dom, const std::string& anchor) {
    const auto start = dom.find(anchor);
    if (start == std::string::npos) {
        return {};
    }
    return dom.substr(start, dom.find("data-machine=", start + anchor.size()) - start);
}

// The received bytes of a rendered line monitor, in words, its lines joined,
// without the XONs the simulated control sends as it punches.
std::string ReceivedWords(const std::string& dom) {
    static const std::regex received("<div class=\"received\">[^<]*\u2190 ([^<]*)</div>");
    std::string words;
    for (std::sregex_iterator it(dom.begin(), dom.end(), received), end; it != end; ++it) {
        words += (*it)[1];
    }
    return std::regex_replace(words, std::regex("&lt;XON&gt;"), "");
}

class ShopFloorBrowserTest : public test::DncServiceHttpFixture {
protected:
    // A headless browser that loads `path`, runs its script for three
    // seconds of the page's time and prints the page as it then stands.
    std::unique_ptr<test::ChildProcess> Render(const std::string& path, const std::string& name) {
        return std::make_unique<test::ChildProcess>(
            Browser,
            std::vector<std::string>{"--headless", "--no-sandbox", "--disable-gpu", "--dump-dom",
                                     "--virtual-time-budget=3000",
                                     "--user-data-dir=" + folder_.File("browser-" + name),
                                     "http://127.0.0.1:" + std::to_string(port_) + path},
            folder_.File(name + ".html"));
    }
};

TEST_F(ShopFloorBrowserTest, ABrowserShowsEachMachineAndTheBytesOnItsLine) {
    if (!std::filesystem::exists(Browser)) {
        GTEST_SKIP() << "no browser at " << Browser << " (Debian's chromium package)";
    }
    WriteProfiles(3, "[Mill 4]\nCommPort=9\n");
    const auto listener = StartMachine(1, {});
    const auto puncher = StartPuncher(2, Program("O1234", 4000));
    StartServing();
    ASSERT_TRUE(WaitFor([&] { return Listening(2); }, 10s)) << Journal();
    puncher->Type("\n");
    ASSERT_TRUE(WaitFor(
        [&] { return MachineJson("M2").find("\"code\":\"receiving\"") != std::string::npos; }, 10s))
        << Get("/api/machines").second;

    // Both at once: a browser takes seconds to start.
    const auto floor = Render("/", "floor");
    const auto machine = Render("/machine/M2", "machine");
    ASSERT_EQ(floor->Wait(60s), 0) << floor->Output();
    ASSERT_EQ(machine->Wait(60s), 0) << machine->Output();
    const std::string floorDom = floor->Output();
    const std::string machineDom = machine->Output();

    const struct {
        const std::string& dom;
        std::string part;
        std::vector<std::string> shown;
    } pages[] = {
        {floorDom,
         "data-machine=\"M1\"",
         {"data-code=\"listening\"", "<div class=\"port\">COM1</div>",
          "<div class=\"state\">listening</div>"}},
        {floorDom,
         "data-machine=\"M2\"",
         {"data-code=\"receiving\"", "<div class=\"state\">receiving O1234 "}},
        {floorDom,
         "data-machine=\"M3\"",
         {"data-code=\"port-gone\"", "<div class=\"state\">port gone and retrying"}},
        {floorDom,
         "data-machine=\"Mill 4\"",
         {"data-code=\"disabled\"", "<div class=\"state\">disabled</div>",
          "href=\"/machine/Mill%204\""}},
        {machineDom, "data-machine=\"M2\"", {"data-code=\"receiving\"", ">receiving O1234 "}},
        {machineDom, "<span class=\"state\" id=\"watching\">", {">watching</span>"}},
    };
    for (const auto& page : pages) {
        const std::string part = Part(page.dom, page.part);
        for (const std::string& shown : page.shown) {
            EXPECT_NE(part.find(shown), std::string::npos) << page.part << ": " << part;
        }
    }
    // The punch as it passed, in the line monitors' words.
    EXPECT_TRUE(std::regex_search(ReceivedWords(machineDom),
                                  std::regex("G1 X([0-9]+) F200&lt;LF&gt;N([0-9]+) ")))
        << machineDom;
}

} // namespace
} // namespace feedrail
