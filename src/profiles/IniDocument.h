#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace feedrail {

// Whether two section or key names are one to the file: ASCII letters match
// without regard to case, every other byte only itself.
bool SameIniName(std::string_view a, std::string_view b);

// The text of one INI file as lines, read and changed the way the platform's
// private-profile functions do it: section and key names match without regard
// to case, the first of duplicate sections or keys wins, and a change touches
// only the one line it must, so every other byte of the file stays as it was.
class IniDocument {
public:
    static constexpr std::size_t MaxValueLength = 2047;

    static IniDocument Parse(std::string_view content);
    std::string Serialize() const;

    // The value cut at a NUL byte, with surrounding blanks and then one pair
    // of matching quotes (double or single) removed, and cut at
    // MaxValueLength characters; nothing when the section or key is missing.
    // Names and values are bytes in whatever code page the file is written.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    // A section name runs from its opening bracket to the last closing one.
    std::vector<std::string> SectionNames() const;

    // Replaces the first matching key's value, adds the key at the end of its
    // section, or appends the section at the end of the file. The value is
    // written as it stands, in quotes only when a read would otherwise change
    // it (blanks at either end, or quotes of its own around it). Returns
    // false, changing nothing, when a name or the value cannot be stored in a
    // line, or the section has no name.
    bool SetValue(std::string_view section, std::string_view key, std::string_view value);

private:
    struct Line {
        std::string text;
        std::string end; // "\n", "\r\n", or empty for a last line without one
    };

    std::optional<std::size_t> FindSection(std::string_view section) const;
    std::size_t SectionEnd(std::size_t header) const;
    std::optional<std::size_t> FindKey(std::size_t header, std::string_view key) const;
    void InsertLine(std::size_t index, std::string text);

    bool byteOrderMark_ = false;
    std::string lineEnd_ = "\n";
    std::vector<Line> lines_;
};

} // namespace feedrail
