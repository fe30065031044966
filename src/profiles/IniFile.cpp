#include "profiles/IniFile.h"

#include "common/FileDescriptor.h"
#include "common/RegularFile.h"
#include "profiles/IniDocument.h"
#include "profiles/IniWriteError.h"
#include "profiles/WholeNumber.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace feedrail {
namespace {

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t count = ::write(fd, data.data(), data.size());
        if (count < 0 && errno != EINTR) {
            return false;
        }
        if (count > 0) {
            data.remove_prefix(static_cast<std::size_t>(count));
        }
    }
    return true;
}

// The file a write replaces: the target of a link, so that a profile file
// kept elsewhere and linked beside the program stays where it is.
std::string WriteTarget(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// Creates a new temporary file beside the target. Its mode follows the
// umask, like any new file; the caller gives it the old file's mode.
FileDescriptor CreateTemporary(const std::string& target, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path targetPath(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = (targetPath.parent_path() /
                ("." + targetPath.filename().string() + "." + std::to_string(::getpid()) + "." +
                 std::to_string(counter++) + ".tmp"))
                   .string();
        FileDescriptor file(
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
        if (file.Valid() || errno != EEXIST) {
            return file;
        }
    }
    return FileDescriptor(-1);
}

bool ReplaceFile(const std::string& target, const std::string& content,
                 std::optional<mode_t> keepMode) {
    std::string temporary;
    FileDescriptor file = CreateTemporary(target, temporary);
    if (!file.Valid()) {
        return false;
    }
    const bool written = (!keepMode || ::fchmod(file.Get(), *keepMode) == 0) &&
                         WriteAll(file.Get(), content) && ::fsync(file.Get()) == 0 &&
                         ::close(file.Release()) == 0;
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself survive a crash.
    FileDescriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) {
        ::fsync(folder.Get());
    }
    return true;
}

} // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

IniDocument IniFile::Load() const {
    const RegularFileRead file = ReadRegularFile(path_);
    return IniDocument::Parse(file.outcome == RegularFileRead::Read ? file.content : std::string());
}

std::vector<std::string> IniFile::ReadSections() const {
    std::vector<std::string> names = Load().SectionNames();
    // Room for every name and its terminator, and the list's final terminator.
    std::size_t used = 1;
    std::size_t kept = 0;
    while (kept < names.size() && used + names[kept].size() + 1 <= SectionListBytes) {
        used += names[kept].size() + 1;
        ++kept;
    }
    names.resize(kept);
    return names;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    const auto value = Load().Value(section, key);
    return value ? *value : std::string(defaultValue.substr(0, IniDocument::MaxValueLength));
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                                  std::int32_t defaultValue) const {
    return ParseWholeNumber(ReadString(section, key, "")).value_or(defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key,
                          std::string_view value) const {
    const std::string target = WriteTarget(path_);
    // Writers in other processes take turns on the folder, so that two
    // changes made at the same moment both end up in the file.
    FileDescriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid() || ::flock(folder.Get(), LOCK_EX) != 0) {
        throw IniWriteError(path_);
    }
    const RegularFileRead file = ReadRegularFile(target);
    if (file.outcome == RegularFileRead::Failed) {
        throw IniWriteError(path_);
    }
    IniDocument document = IniDocument::Parse(file.content);
    if (!document.SetValue(section, key, value)) {
        throw IniWriteError(path_);
    }
    std::optional<mode_t> keepMode;
    struct stat info {};
    if (file.outcome == RegularFileRead::Read && ::stat(target.c_str(), &info) == 0) {
        keepMode = info.st_mode & 07777;
    }
    if (!ReplaceFile(target, document.Serialize(), keepMode)) {
        throw IniWriteError(path_);
    }
}

void IniFile::WriteInteger(std::string_view section, std::string_view key,
                           std::int32_t value) const {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) const {
    WriteString(section, key, value ? "1" : "0");
}

} // namespace feedrail
