#include "about/ElfSections.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace feedrail {
namespace {

constexpr std::string_view Magic = "\x7f"
                                   "ELF";
constexpr std::size_t ClassByte = 4;
constexpr std::size_t OrderByte = 5;
constexpr char Class32 = 1;
constexpr char Class64 = 2;
constexpr char LittleEndian = 1;
constexpr char BigEndian = 2;
constexpr std::uint32_t NoBits = 8;

// Where the fields this reader needs sit, in the file header and in a section
// header, for each class.
struct Layout {
    std::size_t FileHeaderSize;
    std::size_t SectionTableOffset;
    std::size_t AddressWidth;
    std::size_t EntrySizeAt;
    std::size_t CountAt;
    std::size_t NamesIndexAt;
    std::size_t SectionHeaderSize;
    std::size_t SectionOffsetAt;
    std::size_t SectionSizeAt;
};

constexpr Layout Elf32{52, 0x20, 4, 0x2e, 0x30, 0x32, 40, 16, 20};
constexpr Layout Elf64{64, 0x28, 8, 0x3a, 0x3c, 0x3e, 64, 24, 32};

// Caps on what is read: 65535 section headers fit, and a program's section
// names take a few hundred bytes.
constexpr std::size_t HeaderTableCap = std::size_t{1} << 22;
constexpr std::size_t NamesCap = std::size_t{1} << 20;

} // namespace

ElfSections::ElfSections(const std::string& path)
    : file_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) {
    struct stat info {};
    if (!file_.Valid() || ::fstat(file_.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return;
    }
    fileSize_ = static_cast<std::uint64_t>(info.st_size);
    if (!ReadFileHeader()) {
        headerCount_ = 0;
    }
}

bool ElfSections::ReadFileHeader() {
    const std::optional<std::string> head = ReadAt(0, std::min<std::uint64_t>(fileSize_, 64), 64);
    if (!head || head->size() <= OrderByte || !head->starts_with(Magic)) {
        return false;
    }
    const char elfClass = (*head)[ClassByte];
    const char order = (*head)[OrderByte];
    if ((elfClass != Class32 && elfClass != Class64) ||
        (order != LittleEndian && order != BigEndian)) {
        return false;
    }
    wide_ = elfClass == Class64;
    bigEndian_ = order == BigEndian;
    const Layout& layout = wide_ ? Elf64 : Elf32;
    if (head->size() < layout.FileHeaderSize) {
        return false;
    }
    const std::uint64_t tableOffset = Number(*head, layout.SectionTableOffset, layout.AddressWidth);
    headerSize_ = Number(*head, layout.EntrySizeAt, 2);
    headerCount_ = Number(*head, layout.CountAt, 2);
    const std::size_t namesIndex = Number(*head, layout.NamesIndexAt, 2);
    if (headerSize_ < layout.SectionHeaderSize || namesIndex >= headerCount_) {
        return false;
    }
    std::optional<std::string> table =
        ReadAt(tableOffset, std::uint64_t{headerSize_} * headerCount_, HeaderTableCap);
    if (!table) {
        return false;
    }
    headers_ = std::move(*table);
    const std::optional<Header> namesHeader = SectionHeader(namesIndex);
    std::optional<std::string> names =
        namesHeader ? ReadAt(namesHeader->Offset, namesHeader->Size, NamesCap) : std::nullopt;
    if (!names) {
        return false;
    }
    names_ = std::move(*names);
    return true;
}

std::optional<ElfSections::Section> ElfSections::Find(std::string_view name,
                                                      std::size_t cap) const {
    for (std::size_t index = 0; index < headerCount_; ++index) {
        const std::optional<Header> header = SectionHeader(index);
        if (!header || header->Name >= names_.size()) {
            continue;
        }
        const std::size_t end = names_.find('\0', header->Name);
        if (end == std::string::npos ||
            std::string_view(names_).substr(header->Name, end - header->Name) != name) {
            continue;
        }
        if (header->Type == NoBits) {
            return Section{header->Type, {}};
        }
        std::optional<std::string> contents = ReadAt(header->Offset, header->Size, cap);
        if (!contents) {
            return std::nullopt;
        }
        return Section{header->Type, std::move(*contents)};
    }
    return std::nullopt;
}

std::uint32_t ElfSections::Word(std::string_view bytes, std::size_t offset) const {
    return static_cast<std::uint32_t>(Number(bytes, offset, 4));
}

std::optional<ElfSections::Header> ElfSections::SectionHeader(std::size_t index) const {
    const Layout& layout = wide_ ? Elf64 : Elf32;
    if (index >= headerCount_ || (index + 1) * headerSize_ > headers_.size()) {
        return std::nullopt;
    }
    const std::string_view entry = std::string_view(headers_).substr(index * headerSize_);
    Header header;
    header.Name = Word(entry, 0);
    header.Type = Word(entry, 4);
    header.Offset = Number(entry, layout.SectionOffsetAt, layout.AddressWidth);
    header.Size = Number(entry, layout.SectionSizeAt, layout.AddressWidth);
    return header;
}

std::optional<std::string> ElfSections::ReadAt(std::uint64_t offset, std::uint64_t size,
                                               std::size_t cap) const {
    if (!file_.Valid() || size > cap || offset > fileSize_ || size > fileSize_ - offset) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::pread(file_.Get(), bytes.data() + done, bytes.size() - done,
                                      static_cast<off_t>(offset + done));
        if (count == 0 || (count < 0 && errno != EINTR)) {
            return std::nullopt;
        }
        done += count > 0 ? static_cast<std::size_t>(count) : 0;
    }
    return bytes;
}

// Outside `bytes` a number reads as 0; every caller has checked its block's
// size first, so this only keeps a slip from reading past the block.
std::uint64_t ElfSections::Number(std::string_view bytes, std::size_t offset,
                                  std::size_t width) const {
    if (offset > bytes.size() || width > bytes.size() - offset) {
        return 0;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t at = bigEndian_ ? offset + i : offset + width - 1 - i;
        value = (value << 8) | static_cast<unsigned char>(bytes[at]);
    }
    return value;
}

} // namespace feedrail
