#pragma once

#include "common/FileDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace feedrail {

// The named sections of an ELF file, 32- or 64-bit, of either byte order,
// found through its section headers. The file may be anything: every offset
// and size it states is checked against its length before it is read, and
// nothing larger than a cap is read, so a file that is not an executable, is
// cut short or is huge has no sections rather than a fault.
class ElfSections {
public:
    struct Section {
        std::uint32_t Type = 0;
        std::string Contents;
    };

    // A file that cannot be opened, is not a regular file or is not ELF has
    // no sections.
    explicit ElfSections(const std::string& path);

    // The first section called `name`, when its bytes lie inside the file and
    // are no more than `cap`.
    std::optional<Section> Find(std::string_view name, std::size_t cap) const;

    // A 32-bit word at `offset` of `bytes`, in the file's byte order.
    std::uint32_t Word(std::string_view bytes, std::size_t offset) const;

private:
    struct Header {
        std::uint32_t Name = 0;
        std::uint32_t Type = 0;
        std::uint64_t Offset = 0;
        std::uint64_t Size = 0;
    };

    bool ReadFileHeader();
    std::optional<Header> SectionHeader(std::size_t index) const;
    std::optional<std::string> ReadAt(std::uint64_t offset, std::uint64_t size,
                                      std::size_t cap) const;
    std::uint64_t Number(std::string_view bytes, std::size_t offset, std::size_t width) const;

    FileDescriptor file_;
    std::uint64_t fileSize_ = 0;
    bool wide_ = false;
    bool bigEndian_ = false;
    std::string headers_;
    std::size_t headerSize_ = 0;
    std::size_t headerCount_ = 0;
    std::string names_;
};

} // namespace feedrail
