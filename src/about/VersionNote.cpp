#include "about/VersionNote.h"

#include "about/ElfSections.h"

#include <algorithm>

namespace feedrail {
namespace {

constexpr std::uint32_t NoteSectionType = 7;
constexpr std::size_t NoteHeaderSize = 12;
// The version note takes some hundred bytes; a larger section is not ours.
constexpr std::size_t NoteSectionCap = 65536;

std::uint64_t Padded(std::uint64_t size) {
    return (size + 3) / 4 * 4;
}

bool IsVersionOwner(std::string_view name) {
    return name.size() == VersionNoteOwner.size() + 1 && name.starts_with(VersionNoteOwner) &&
           name.back() == '\0';
}

} // namespace

std::optional<std::string> ReadVersionTable(const std::string& path) {
    const ElfSections elf(path);
    const std::optional<ElfSections::Section> section =
        elf.Find(VersionNoteSection, NoteSectionCap);
    if (!section || section->Type != NoteSectionType) {
        return std::nullopt;
    }
    const std::string_view notes = section->Contents;
    std::size_t at = 0;
    while (notes.size() - at >= NoteHeaderSize) {
        const std::uint64_t nameSize = elf.Word(notes, at);
        const std::uint64_t descSize = elf.Word(notes, at + 4);
        const std::uint32_t type = elf.Word(notes, at + 8);
        const std::size_t nameAt = at + NoteHeaderSize;
        if (Padded(nameSize) > notes.size() - nameAt) {
            return std::nullopt;
        }
        const std::size_t descAt = nameAt + Padded(nameSize);
        if (descSize > notes.size() - descAt) {
            return std::nullopt;
        }
        if (type == VersionNoteType && IsVersionOwner(notes.substr(nameAt, nameSize))) {
            return std::string(notes.substr(descAt, descSize));
        }
        at = descAt + std::min<std::uint64_t>(Padded(descSize), notes.size() - descAt);
    }
    return std::nullopt;
}

std::optional<std::string> VersionTableValue(std::string_view table, std::string_view key) {
    while (!table.empty()) {
        const std::size_t end = table.find('\n');
        const std::string_view line = table.substr(0, end);
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos && line.substr(0, equals) == key) {
            return std::string(line.substr(equals + 1));
        }
        table.remove_prefix(end == std::string_view::npos ? table.size() : end + 1);
    }
    return std::nullopt;
}

} // namespace feedrail
