#include "profiles/IniFile.h"

#include "common/AtomicFile.h"
#include "common/FileDescriptor.h"
#include "common/RegularFile.h"
#include "profiles/IniDocument.h"
#include "profiles/IniWriteError.h"
#include "profiles/WholeNumber.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <utility>

namespace feedrail {

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

IniFile::IniFile(std::string path, std::string_view content)
    : path_(std::move(path)),
      held_(std::make_shared<const IniDocument>(IniDocument::Parse(content))) {}

IniDocument IniFile::Load() const {
    const RegularFileRead file = ReadRegularFile(path_);
    return IniDocument::Parse(file.outcome == RegularFileRead::Read ? file.content : std::string());
}

std::vector<std::string> IniFile::ReadSections() const {
    std::vector<std::string> names = held_ ? held_->SectionNames() : Load().SectionNames();
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
    const auto value = held_ ? held_->Value(section, key) : Load().Value(section, key);
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
    const std::string target = ResolvedWriteTarget(path_);
    // Writers in other processes take turns on the folder, so that two
    // changes made at the same moment both end up in the file.
    FileDescriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid() || ::flock(folder.Get(), LOCK_EX) != 0) {
        throw IniWriteError(path_, std::strerror(errno));
    }
    const RegularFileRead file = ReadRegularFile(target);
    if (file.outcome == RegularFileRead::Failed) {
        throw IniWriteError(path_, std::strerror(file.error));
    }
    IniDocument document = IniDocument::Parse(file.content);
    // A value as it stands is not written again: a profile that may not be
    // written still serves every machine selection.
    if (document.Value(section, key) == value) {
        return;
    }
    if (!document.SetValue(section, key, value)) {
        throw IniWriteError(path_, "a value is one line of at most 2047 characters");
    }
    if (const int error = ReplaceFileContent(target, document.Serialize())) {
        throw IniWriteError(path_, std::strerror(error));
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
