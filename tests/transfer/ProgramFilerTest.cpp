#include "transfer/ProgramFiler.h"

#include "common/LocalTime.h"
#include "support/InChild.h"
#include "support/TempFolder.h"
#include "transfer/ReceivingLeftovers.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace feedrail {
namespace {

using test::InChild;
using test::ReadFile;
using test::TempFolder;
using Clock = ProgramFiler::Clock;

// A program of `lines` numbered lines, each different, so that a part of it
// written twice or left out shows.
std::string ProgramText(int lines) {
    std::string text = "O5001 (BIG)\n";
    for (int line = 1; line <= lines; ++line) {
        text += "N" + std::to_string(line) + " G1 X" + std::to_string(line % 997) + ".125\n";
    }
    return text;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The process in a mount namespace of its own: as root, or as the same user
// mapped to root in a user namespace of its own.
bool InMountNamespace() {
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWNS) != 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            return false;
        }
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    }
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// A filer of its own clock, keeping what it filed.
struct Filer {
    explicit Filer(std::vector<std::string> folders) {
        filer.SetPlaces(std::move(folders), ".nc", true, false);
    }
    void File(const std::string& text, std::size_t piece = 1000) {
        filer.ProgramBegins();
        for (std::size_t at = 0; at < text.size(); at += piece) {
            filer.ProgramText(std::string_view(text).substr(at, piece));
        }
        filer.ProgramEnds(ProgramSink::Ending::Complete);
    }

    Clock::time_point now = Clock::now();
    std::vector<FiledProgram> filed;
    ProgramFiler filer{[this](FiledProgram program) { filed.push_back(std::move(program)); },
                       [this] { return now; }};
};

// With versions kept, the newest program has the name; every earlier one is
// in versions/ under its own time, none lost or replaced, and a name that is
// not a plain file, or a versions/ that is not a real folder, is left alone.
TEST(ProgramFilerTest, EarlierVersionsMoveAsideAndNothingOddIsMoved) {
    const auto madeAt = std::chrono::system_clock::now() - std::chrono::hours(30);
    const std::string stamp = "O7-" + LocalTimeText(madeAt, "%Y%m%d-%H%M%S");
    const struct {
        const char* name;
        std::function<void(const TempFolder&)> before;
        std::vector<std::string> entries;
        bool versioned;
    } cases[] = {
        {"three in the same second", [](const TempFolder&) {}, {"O7.nc", "versions"}, true},
        {"a link under the name",
         [](const TempFolder& folder) {
             std::filesystem::create_symlink("/etc/hostname", folder.File("O7.nc"));
         },
         {"O7-2.nc", "O7-3.nc", "O7-4.nc", "O7.nc"},
         false},
        {"versions/ a link to elsewhere",
         [](const TempFolder& folder) {
             std::filesystem::create_directory_symlink("/tmp", folder.File("versions"));
         },
         {"O7-2.nc", "O7-3.nc", "O7.nc", "versions"},
         false},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        c.before(folder);
        Filer filer({folder.Path() + "/"});
        filer.filer.KeepVersions(true);
        for (const char* text : {"O7 (A)\n", "O7 (B)\n", "O7 (C)\n"}) {
            filer.File(text);
            if (!std::filesystem::is_symlink(folder.File("O7.nc"))) {
                std::filesystem::last_write_time(
                    folder.File("O7.nc"), std::filesystem::file_time_type::clock::from_sys(madeAt));
            }
        }
        EXPECT_EQ(Entries(folder.Path()), c.entries) << c.name;
        if (!c.versioned) {
            continue;
        }
        EXPECT_EQ(ReadFile(folder.File("O7.nc")), "%\nO7 (C)\n%\n") << c.name;
        EXPECT_EQ(Entries(folder.File("versions")),
                  (std::vector<std::string>{stamp + "-2.nc", stamp + ".nc"}));
        EXPECT_EQ(ReadFile(folder.File("versions/" + stamp + ".nc")), "%\nO7 (A)\n%\n");
        EXPECT_EQ(ReadFile(folder.File("versions/" + stamp + "-2.nc")), "%\nO7 (B)\n%\n");
        EXPECT_EQ(filer.filed.back().EarlierVersion, folder.File("versions/" + stamp + "-2.nc"))
            << "what the program replaced, to compare it with";
    }
}

// A receive folder on a file system of 1 MiB (its own mount namespace, in a
// child): the program fills it in the middle and goes on in the next folder,
// from its first byte, each byte once.
TEST(ProgramFilerTest, AFolderThatFillsMidProgramHandsAllOfItToTheNext) {
    TempFolder small;
    TempFolder fallback;
    const std::string text = ProgramText(60000);
    ASSERT_GT(text.size(), 1U << 20);
    const int status = InChild([&] {
        if (!InMountNamespace() ||
            ::mount("none", small.Path().c_str(), "tmpfs", 0, "size=1m") != 0) {
            return 77;
        }
        Filer filer({small.Path() + "/", fallback.Path() + "/"});
        filer.File(text);
        const FiledProgram& filed = filer.filed.at(0);
        const bool inFallback = filed.Path == fallback.Path() + "/O5001.nc" &&
                                filed.Refused.size() == 1 &&
                                filed.Refused[0].find("No space left") != std::string::npos;
        return inFallback && Entries(small.Path()).empty() ? 0 : 1;
    });
    if (status == 77) {
        GTEST_SKIP() << "no mount namespace here for a small file system";
    }
    EXPECT_EQ(status, 0) << "not filed in the fallback folder alone";
    EXPECT_EQ(ReadFile(fallback.File("O5001.nc")), "%\n" + text + "%\n");
}

// Filed programs are readable as the umask allows, like saved ones, so that a
// shared program folder's other users and PCs can read them.
TEST(ProgramFilerTest, FiledProgramsHonourTheUmask) {
    TempFolder folder;
    const mode_t before = ::umask(022);
    Filer filer({folder.Path() + "/"});
    filer.File("O1\nG1\n");
    ::umask(before);
    struct stat file {};
    ASSERT_EQ(::stat(folder.File("O1.nc").c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 0777, 0644U);
}

// With no folder to take it, a program is held in memory only up to a bound,
// and one longer is reported as not saved rather than grown without end.
TEST(ProgramFilerTest, AProgramNoFolderTakesIsHeldInMemoryOnlyUpToABound) {
    TempFolder folder;
    Filer filer({folder.Path() + "/missing/"});
    const std::string piece(1 << 20, 'X');
    filer.filer.ProgramBegins();
    for (std::size_t sent = 0; sent <= ProgramFiler::MemoryBytes; sent += piece.size()) {
        filer.filer.ProgramText(piece);
    }
    filer.filer.ProgramEnds(ProgramSink::Ending::Complete);
    ASSERT_EQ(filer.filed.size(), 1U);
    EXPECT_TRUE(filer.filed[0].Path.empty());
    EXPECT_NE(filer.filed[0].Refused.back().find("MiB held in memory"), std::string::npos);
    EXPECT_NE(filer.filed[0].Error, 0);
}

// What came is on the disk within a second, and a punch whose Feedrail was
// killed is kept as incomplete at the next start; one still being written
// is left to its writer.
TEST(ProgramFilerTest, APunchCutShortByAKillIsOnDiskAndKeptAtTheNextStart) {
    TempFolder folder;
    const std::string place = folder.Path() + "/";
    {
        Filer writing({place});
        writing.filer.ProgramBegins();
        writing.filer.ProgramText("O5002\nG1\n");
        writing.now += ProgramFiler::FlushInterval;
        writing.filer.ProgramText("G2\n");
        EXPECT_TRUE(RecoverLeftovers({place}, ".nc").empty()) << "taken from its writer";
    }
    for (const std::string& name : Entries(folder.Path())) {
        std::filesystem::remove(folder.File(name));
    }
    const int status = InChild([&] {
        Filer killed({place});
        killed.filer.ProgramBegins();
        killed.filer.ProgramText("O5003\nG1\n");
        killed.now += ProgramFiler::FlushInterval;
        killed.filer.ProgramText("G2\n");
        ::raise(SIGKILL);
        return 0;
    });
    ASSERT_EQ(status, 128 + SIGKILL);
    const std::vector<Leftover> kept = RecoverLeftovers({place}, ".nc");
    ASSERT_EQ(kept.size(), 1U);
    EXPECT_EQ(kept[0].Bytes, 14U);
    EXPECT_TRUE(kept[0].Path.starts_with(place + "O5003-incomplete-")) << kept[0].Path;
    EXPECT_EQ(ReadFile(kept[0].Path), "%\nO5003\nG1\nG2\n");
    EXPECT_EQ(Entries(folder.Path()).size(), 1U) << "the hidden file is still there";
}

} // namespace
} // namespace feedrail
