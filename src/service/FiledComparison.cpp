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

FiledComparison::FiledComparison(TaskPool& pool, std::function<void(const std::string&)> report)
    : report_(std::move(report)),
      lane_(pool, [this](const std::string& error) { report_("a comparison failed: " + error); }) {}

// The lane closes before the index and the report its tasks use go.
FiledComparison::~FiledComparison() {
    lane_.Close();
}

void FiledComparison::Compare(std::string filed, std::string earlier, std::string folder,
                              std::string extension) {
    const std::string name = NameOf(filed);
    if (!lane_.Post([this, filed = std::move(filed), earlier = std::move(earlier),
                     folder = std::move(folder), extension = std::move(extension)] {
            Run(filed, earlier, folder, extension);
        })) {
        report_(name + " not compared: the service has too many comparisons waiting");
    }
}

// Whatever a comparison meets, the service and its machines go on.
void FiledComparison::Run(const std::string& filed, const std::string& earlier,
                          const std::string& folder, const std::string& extension) {
    try {
        if (const auto said = FiledAgainstStored(filed, earlier, folder, extension, index_)) {
            report_(*said);
        }
    } catch (const std::exception& error) {
        report_(NameOf(filed) + " not compared: " + error.what());
    }
}

} // namespace feedrail
