#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace feedrail {

class IniDocument;

// One INI file on disk. Nothing is cached (but what the second constructor
// is given): every read opens and parses the file as it is at that moment, and every write reads it
// again, changes one key and replaces the file in one step, so that other programs (or another
// Feedrail) see either the old or the new file, never a half-written one.
class IniFile {
public:
    // The section listing holds at most this many bytes of names, each
    // followed by a terminator, as the platform's listing buffer does.
    static constexpr std::size_t SectionListBytes = 16384;

    explicit IniFile(std::string path);
    // The file at `path` as `content`, read from it once: every read answers
    // from it, parsed once, whatever the file holds by then. For reading a
    // large file through many keys.
    IniFile(std::string path, std::string_view content);

    const std::string& Path() const noexcept { return path_; }

    std::vector<std::string> ReadSections() const;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    std::int32_t ReadInteger(std::string_view section, std::string_view key,
                             std::int32_t defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Each throws IniWriteError, leaving the file as it was, when it fails,
    // also when the file is one its user may not write.
    void WriteString(std::string_view section, std::string_view key, std::string_view value) const;
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value) const;
    void WriteBool(std::string_view section, std::string_view key, bool value) const;

private:
    IniDocument Load() const;

    std::string path_;
    std::shared_ptr<const IniDocument> held_;
};

} // namespace feedrail
