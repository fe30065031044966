#pragma once

#include <cstdint>
#include <initializer_list>

namespace feedrail {

// A set of values of a small enumeration, one bit per ordinal.
template <typename Enum> class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<Enum> values) {
        for (Enum value : values) {
            Include(value);
        }
    }

    constexpr bool Contains(Enum value) const { return (bits_ & Bit(value)) != 0; }
    constexpr EnumSet& Include(Enum value) {
        bits_ |= Bit(value);
        return *this;
    }
    constexpr EnumSet& Exclude(Enum value) {
        bits_ &= ~Bit(value);
        return *this;
    }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool operator==(const EnumSet&) const = default;

private:
    static constexpr std::uint32_t Bit(Enum value) {
        return std::uint32_t{1} << static_cast<unsigned>(value);
    }

    std::uint32_t bits_ = 0;
};

} // namespace feedrail
