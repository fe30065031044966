#include "about/TEPInfoExe.h"

#include "about/VersionOption.h"
#include "support/TempFolder.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <sys/wait.h>

namespace feedrail {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

std::string ReadVersion(const std::string& exeName, const std::string& langId = "0409") {
    TEPInfoExe info;
    info.ExeName = exeName;
    info.LangId = langId;
    info.FileVersion = "kept";
    info.Read();
    return info.FileVersion;
}

TEST(TEPInfoExe, TheBuiltProgramCarriesTheProjectVersionAndLicence) {
    EXPECT_EQ(ReadVersion(FEEDRAIL_PROGRAM), FEEDRAIL_VERSION);
    EXPECT_EQ(ReadVersion(FEEDRAIL_PROGRAM, "0407"), "") << "another language has no entry";
    EXPECT_EQ(ReadVersion(std::string(RunningExecutable)), "kept")
        << "the tests carry no version information";
    TEPInfoExe info;
    info.ExeName = FEEDRAIL_PROGRAM;
    info.Read();
    EXPECT_EQ(info.LegalCopyright, "Copyright (C) " FEEDRAIL_COPYRIGHT);
    EXPECT_EQ(info.License, "GPL-3.0-or-later");
}

// What a command prints on standard output, and its exit status.
struct CommandResult {
    std::string out;
    int status = -1;
};

CommandResult RunCommand(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    CommandResult result;
    char buffer[256];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) {
        result.out.append(buffer, got);
    }
    result.status = ::pclose(pipe);
    return result;
}

std::string ProgramName(const char* program) {
    return std::filesystem::path(program).filename().string();
}

constexpr const char* Programs[] = {FEEDRAIL_PROGRAM, FEEDRAIL_TAPE_TOOL, FEEDRAIL_MACHINE_TOOL,
                                    FEEDRAIL_DNC_TOOL};

// Each program reads its own note: one linked without it would print no
// version.
TEST(VersionOption, EveryProgramTellsItsVersionAndLicence) {
    for (const char* program : Programs) {
        const CommandResult result = RunCommand(std::string(program) + " --version 2>/dev/null");
        EXPECT_EQ(result.out, ProgramName(program) +
                                  " (Feedrail) " FEEDRAIL_VERSION "\n"
                                  "Copyright (C) " FEEDRAIL_COPYRIGHT "\n"
                                  "License: GPL-3.0-or-later\n"
                                  "This is free software: you are free to change and "
                                  "redistribute it.\n"
                                  "There is NO WARRANTY, to the extent permitted by law.\n");
        EXPECT_EQ(result.status, 0) << program;
    }
}

TEST(VersionOption, OnlyTheVersionOptionAsksForTheVersion) {
    const struct {
        std::vector<const char*> args;
        bool asks;
    } cases[] = {
        {{"feedrail"}, false},
        {{"feedrail", "--version"}, true},
        {{"feedrail", "-platform", "offscreen", "--version"}, true},
        {{"feedrail", "--versions"}, false},
        {{"feedrail", "-v"}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AsksForVersion(static_cast<int>(c.args.size()), c.args.data()), c.asks)
            << c.args.back();
    }
}

// Each program prints its usage on standard output and ends well, without a
// display or a port.
TEST(VersionOption, EveryProgramTellsItsUsageOnHelp) {
    for (const char* program : Programs) {
        for (const char* option : {"--help", "-h"}) {
            const std::string command = std::string(program) + " " + option + " 2>/dev/null";
            const CommandResult result = RunCommand(command);
            EXPECT_TRUE(result.out.starts_with("usage: " + ProgramName(program) + " "))
                << command << ": " << result.out;
            EXPECT_EQ(result.status, 0) << command;
        }
    }
}

// Usage or version that cannot be written is a failure, not a success.
TEST(VersionOption, OutputThatCannotBeWrittenFails) {
    for (const char* program : Programs) {
        for (const char* option : {"--version", "--help"}) {
            const std::string command = std::string(program) + " " + option;
            const int status = std::system((command + " >/dev/full 2>/dev/null").c_str());
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << command;
        }
    }
}

const std::string& ProgramBytes() {
    static const std::string bytes = ReadFile(FEEDRAIL_PROGRAM);
    return bytes;
}

// The program's bytes with a change made to them.
class ProgramCopy {
public:
    ProgramCopy() : bytes_(ProgramBytes()) {}

    // Where the version note's header starts.
    std::size_t Note() const {
        const std::size_t owner = bytes_.find(std::string("Feedrail\0\0\0\0StringFileInfo", 26));
        EXPECT_NE(owner, std::string::npos);
        return owner - 12;
    }
    // Within the note, which comes before any other copy of its text.
    void ReplaceInNote(std::string_view from, std::string_view to) {
        Replace(bytes_.find(from, Note()), from, to);
    }
    // The section names come last.
    void RenameSection(std::string_view from, std::string_view to) {
        Replace(bytes_.rfind(from), from, to);
    }
    void PutWord(std::size_t at, std::uint64_t value, int width) {
        for (int i = 0; i < width; ++i) {
            bytes_[at + i] = static_cast<char>(value >> (8 * i));
        }
    }
    std::string& Bytes() { return bytes_; }

private:
    void Replace(std::size_t at, std::string_view from, std::string_view to) {
        ASSERT_NE(at, std::string::npos) << from;
        bytes_.replace(at, from.size(), to);
    }

    std::string bytes_;
};

TEST(TEPInfoExe, AProgramWithoutTheEntryGivesAnEmptyVersion) {
    TempFolder folder;
    ProgramCopy program;
    program.ReplaceInNote("\\FileVersion=", "\\FileVersioN=");
    WriteFile(folder.File("program"), program.Bytes());
    EXPECT_EQ(ReadVersion(folder.File("program")), "");
}

std::string RandomBytes(std::size_t size) {
    std::mt19937 engine(5);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(engine());
    }
    return bytes;
}

TEST(TEPInfoExe, AnythingButAProgramWithTheNoteLeavesTheVersionAsItWas) {
    const std::string& program = ProgramBytes();
    const auto patched = [](const std::function<void(ProgramCopy&)>& change) {
        ProgramCopy copy;
        change(copy);
        return copy.Bytes();
    };
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"text", "StringFileInfo\\040904E4\\FileVersion=9.9\n"},
        {"magic alone", "\x7f"
                        "ELF"},
        {"random after an ELF header's first bytes", "\x7f"
                                                     "ELF\x02\x01\x01" +
                                                         RandomBytes(1 << 16)},
        {"cut in the file header", program.substr(0, 40)},
        {"cut before the section headers", program.substr(0, program.size() / 2)},
        {"section headers past the end",
         patched([](ProgramCopy& p) { p.PutWord(0x28, 0xfffffffffffffff0u, 8); })},
        {"section header size too small", patched([](ProgramCopy& p) { p.PutWord(0x3a, 16, 2); })},
        {"names' index out of range", patched([](ProgramCopy& p) { p.PutWord(0x3e, 0xffff, 2); })},
        {"note larger than its section",
         patched([](ProgramCopy& p) { p.PutWord(p.Note() + 4, 0xffffffffu, 4); })},
        {"note of another owner", patched([](ProgramCopy& p) { p.Bytes()[p.Note() + 12] = 'f'; })},
        {"note of another type", patched([](ProgramCopy& p) { p.PutWord(p.Note() + 8, 2, 4); })},
        {"section of another name", patched([](ProgramCopy& p) {
             p.RenameSection(".note.feedrail.version", ".note.feedrail.versioN");
         })},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        WriteFile(folder.File("file"), c.bytes);
        EXPECT_EQ(ReadVersion(folder.File("file")), "kept") << c.name;
    }
    EXPECT_EQ(ReadVersion(folder.Path()), "kept") << "a folder";
    EXPECT_EQ(ReadVersion(folder.File("missing")), "kept") << "a missing file";
    EXPECT_EQ(ReadVersion("/dev/zero"), "kept") << "a device";
}

// A file of some gigabytes, most of it a hole: only its headers are read.
TEST(TEPInfoExe, AHugeFileIsReadOnlyWhereItsHeadersPoint) {
    TempFolder folder;
    const std::string path = folder.File("huge");
    constexpr std::uintmax_t size = std::uintmax_t{6} << 30;
    const struct {
        const char* name;
        std::string start;
        const char* version;
    } cases[] = {
        {"program", ProgramBytes(), FEEDRAIL_VERSION},
        {"zeros", std::string(64, '\0'), "kept"},
    };
    for (const auto& c : cases) {
        WriteFile(path, c.start);
        std::filesystem::resize_file(path, size);
        EXPECT_EQ(ReadVersion(path), c.version) << c.name;
    }
}

} // namespace
} // namespace feedrail
