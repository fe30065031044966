#include "service/FiledComparison.h"

#include "common/FileDescriptor.h"
#include "compare/ProgramComparison.h"
#include "transfer/EarlierVersions.h"
#include "transfer/ProgramFiles.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

// A program number stands within a program's first lines.
constexpr std::size_t HeadBytes = 4096;

std::optional<std::string> NumberOf(const std::string& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    std::string head(HeadBytes, '\0');
    const ssize_t count = file.Valid() ? ::read(file.Get(), head.data(), head.size()) : -1;
    head.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return ProgramNumber(TextLines(head));
}

bool TooLarge(const std::string& path) {
    struct stat file {};
    return ::stat(path.c_str(), &file) != 0 ||
           static_cast<std::uint64_t>(file.st_size) > FiledComparison::MostBytes;
}

// An earlier version is named with its folder, so that it can be found.
std::string NameOf(const std::string& path) {
    const std::filesystem::path file(path);
    const std::string name = file.filename().string();
    return file.parent_path().filename() == VersionsFolder ? VersionsFolder + ("/" + name) : name;
}

std::string Outcome(const std::string& filed, const std::string& stored) {
    if (TooLarge(filed) || TooLarge(stored)) {
        return "not compared with " + NameOf(stored) + ": too large";
    }
    const ProgramTextRead filedText = ReadProgramText(filed);
    const ProgramTextRead storedText = ReadProgramText(stored);
    if (filedText.Error != 0 || storedText.Error != 0) {
        return "not compared with " + NameOf(stored) + ": cannot read it";
    }
    const std::size_t differing = ComparePrograms(storedText.Text, filedText.Text, {}).Differing;
    if (differing == 0) {
        return "the same as " + NameOf(stored);
    }
    return std::to_string(differing) + (differing == 1 ? " line differs" : " lines differ") +
           " from " + NameOf(stored);
}

} // namespace

std::optional<std::string> FiledAgainstStored(const std::string& filed, const std::string& earlier,
                                              const std::string& folder,
                                              const std::string& extension, ProgramIndex& index) {
    const auto number = NumberOf(filed);
    if (!number) {
        return std::nullopt;
    }
    if (!earlier.empty()) {
        return *number + " filed as " + NameOf(filed) + ": " + Outcome(filed, earlier);
    }
    const ProgramLookup found = index.Find(folder, *number, extension);
    std::error_code error;
    if (!found.Path || std::filesystem::equivalent(*found.Path, filed, error)) {
        return std::nullopt;
    }
    return *number + " filed as " + NameOf(filed) + ": " + Outcome(filed, *found.Path);
}

FiledComparison::FiledComparison(std::function<void(const std::string&)> report)
    : report_(std::move(report)), thread_([this] { Run(); }) {}

FiledComparison::~FiledComparison() {
    jobs_.Close();
    thread_.join();
}

void FiledComparison::Compare(std::string filed, std::string earlier, std::string folder,
                              std::string extension) {
    const std::string name = NameOf(filed);
    if (!jobs_.Push(
            {std::move(filed), std::move(earlier), std::move(folder), std::move(extension)})) {
        report_(name + " not compared: " + std::to_string(MaxWaiting) +
                " programs already wait to be compared");
    }
}

void FiledComparison::Run() {
    while (std::optional<Job> next = jobs_.Pop()) {
        const Job& job = *next;
        // Whatever a comparison meets, the service and its machines go on.
        try {
            if (const auto said =
                    FiledAgainstStored(job.Filed, job.Earlier, job.Folder, job.Extension, index_)) {
                report_(*said);
            }
        } catch (const std::exception& error) {
            report_(NameOf(job.Filed) + " not compared: " + error.what());
        }
    }
}

} // namespace feedrail
