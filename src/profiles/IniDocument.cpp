#include "profiles/IniDocument.h"

#include <algorithm>

namespace feedrail {
namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::optional<std::string_view> SectionHeaderName(std::string_view line) {
    line = Trim(line);
    if (!line.starts_with('[')) {
        return std::nullopt;
    }
    line.remove_prefix(1);
    // A name may hold brackets of its own ("Lathe [2]"): it runs to the last
    // closing bracket of the line.
    return Trim(line.substr(0, line.rfind(']')));
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

// Hand-written files quote values with blanks in them; one matching pair of
// quotes around a value is not part of it.
std::string_view WithoutQuotes(std::string_view value) {
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// A value is written as it stands unless reading it back would trim it or
// drop its quotes; then it goes in quotes of its own, which a read removes.
std::string StoredValue(std::string_view value) {
    const bool changedByRead =
        Trim(value).size() != value.size() || WithoutQuotes(value).size() != value.size();
    return changedByRead ? "\"" + std::string(value) + "\"" : std::string(value);
}

struct KeyLine {
    std::string_view key;
    std::size_t valueStart; // offset of the value in the line, after '=' and blanks
};

std::optional<KeyLine> SplitKeyLine(std::string_view line) {
    if (SectionHeaderName(line)) {
        return std::nullopt;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t valueStart = equals + 1;
    while (valueStart < line.size() && (line[valueStart] == ' ' || line[valueStart] == '\t')) {
        ++valueStart;
    }
    return KeyLine{Trim(line.substr(0, equals)), valueStart};
}

bool HasAny(std::string_view text, std::string_view forbidden) {
    return text.find_first_of(forbidden) != std::string_view::npos;
}

// Whether the names and the value fit in their lines and read back as they
// are; a nameless section would read back as no section at all.
bool Storable(std::string_view section, std::string_view key, std::string_view value) {
    using namespace std::string_view_literals;
    const auto lineBreakOrNul = "\r\n\0"sv;
    return !HasAny(section, lineBreakOrNul) && !Trim(section).empty() &&
           !HasAny(key, lineBreakOrNul) && !HasAny(key, "=") && !Trim(key).starts_with('[') &&
           !HasAny(value, lineBreakOrNul);
}

} // namespace

bool SameIniName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

IniDocument IniDocument::Parse(std::string_view content) {
    IniDocument document;
    if (content.starts_with(ByteOrderMark)) {
        document.byteOrderMark_ = true;
        content.remove_prefix(ByteOrderMark.size());
    }
    bool styleKnown = false;
    while (!content.empty()) {
        const std::size_t newline = content.find('\n');
        Line line;
        if (newline == std::string_view::npos) {
            line.text = std::string(content);
            content = {};
        } else {
            const bool crlf = newline > 0 && content[newline - 1] == '\r';
            line.text = std::string(content.substr(0, crlf ? newline - 1 : newline));
            line.end = crlf ? "\r\n" : "\n";
            content.remove_prefix(newline + 1);
            if (!styleKnown) {
                document.lineEnd_ = line.end;
                styleKnown = true;
            }
        }
        document.lines_.push_back(std::move(line));
    }
    return document;
}

std::string IniDocument::Serialize() const {
    std::string content(byteOrderMark_ ? ByteOrderMark : std::string_view{});
    for (const Line& line : lines_) {
        content += line.text;
        content += line.end;
    }
    return content;
}

std::optional<std::string> IniDocument::Value(std::string_view section,
                                              std::string_view key) const {
    const auto header = FindSection(section);
    if (!header) {
        return std::nullopt;
    }
    const auto index = FindKey(*header, key);
    if (!index) {
        return std::nullopt;
    }
    std::string_view text = lines_[*index].text;
    text.remove_prefix(SplitKeyLine(text)->valueStart);
    text = WithoutQuotes(Trim(text.substr(0, text.find('\0'))));
    return std::string(text.substr(0, MaxValueLength));
}

std::vector<std::string> IniDocument::SectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : lines_) {
        if (const auto name = SectionHeaderName(line.text)) {
            names.emplace_back(*name);
        }
    }
    return names;
}

bool IniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    if (!Storable(section, key, value)) {
        return false;
    }
    const std::string stored = StoredValue(value);
    const auto header = FindSection(section);
    if (!header) {
        InsertLine(lines_.size(), "[" + std::string(section) + "]");
        InsertLine(lines_.size(), std::string(key) + "=" + stored);
        return true;
    }
    if (const auto index = FindKey(*header, key)) {
        std::string& text = lines_[*index].text;
        text = text.substr(0, SplitKeyLine(text)->valueStart) + stored;
        return true;
    }
    // A new key goes after the section's last non-blank line, so blank lines
    // that separate it from the next section stay where they are.
    std::size_t at = SectionEnd(*header);
    while (at > *header + 1 && Trim(lines_[at - 1].text).empty()) {
        --at;
    }
    InsertLine(at, std::string(key) + "=" + stored);
    return true;
}

std::optional<std::size_t> IniDocument::FindSection(std::string_view section) const {
    const std::string_view wanted = Trim(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionHeaderName(lines_[i].text);
        if (name && SameIniName(*name, wanted)) {
            return i;
        }
    }
    return std::nullopt;
}

std::size_t IniDocument::SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && !SectionHeaderName(lines_[i].text)) {
        ++i;
    }
    return i;
}

std::optional<std::size_t> IniDocument::FindKey(std::size_t header, std::string_view key) const {
    const std::string_view wanted = Trim(key);
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const auto keyLine = SplitKeyLine(lines_[i].text);
        if (keyLine && SameIniName(keyLine->key, wanted)) {
            return i;
        }
    }
    return std::nullopt;
}

void IniDocument::InsertLine(std::size_t index, std::string text) {
    // The line before a new last line needs an end of its own. A lone CR at
    // its end would join a "\n" into one CRLF end and leave the line without
    // its CR, so such a line gets a CRLF end after that CR.
    if (index == lines_.size() && !lines_.empty() && lines_.back().end.empty()) {
        Line& last = lines_.back();
        last.end = last.text.ends_with('\r') ? "\r\n" : lineEnd_;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index),
                  Line{std::move(text), lineEnd_});
}

} // namespace feedrail
