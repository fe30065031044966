#include "line/TrafficText.h"

#include "common/LocalTime.h"

#include <array>
#include <cstdio>

namespace feedrail {
namespace {

// U+0305 COMBINING OVERLINE.
constexpr std::string_view Overline = "\xCC\x85";

std::string ByteName(unsigned char code) {
    switch (code) {
    case 0x00:
        return "<NUL>";
    case 0x0A:
        return "<LF>";
    case 0x0D:
        return "<CR>";
    case 0x11:
        return "<XON>";
    case 0x12:
        return "<DC2>";
    case 0x13:
        return "<XOFF>";
    case 0x14:
        return "<DC4>";
    default:
        break;
    }
    if (code >= 0x20 && code < 0x7F) {
        return std::string(1, static_cast<char>(code));
    }
    std::array<char, 8> name{};
    std::snprintf(name.data(), name.size(), "<0x%02X>", code);
    return name.data();
}

std::string Overlined(const std::string& text) {
    std::string marked;
    for (const char character : text) {
        marked += character;
        marked += Overline;
    }
    return marked;
}

std::vector<TrafficLine> AsText(const TappedBytes& piece, const std::string& time) {
    std::vector<TrafficLine> lines{{time, piece.Sent, {}}};
    for (std::size_t at = 0; at < piece.Bytes.size(); ++at) {
        const auto byte = static_cast<unsigned char>(piece.Bytes[at]);
        const auto low = static_cast<unsigned char>(byte & 0x7F);
        // DEL (every hole punched over a mistake) reads as its code, with
        // or without the parity bit.
        const bool parity = (byte & 0x80) != 0 && low != 0x7F;
        lines.back().Text += parity ? Overlined(ByteName(low)) : ByteName(byte);
        if (low == 0x0A && at + 1 < piece.Bytes.size()) {
            lines.push_back({{}, piece.Sent, {}});
        }
    }
    return lines;
}

std::vector<TrafficLine> AsHex(const TappedBytes& piece, const std::string& time) {
    std::vector<TrafficLine> lines;
    for (std::size_t at = 0; at < piece.Bytes.size(); ++at) {
        if (at % 16 == 0) {
            lines.push_back({lines.empty() ? time : std::string(), piece.Sent, {}});
        } else {
            lines.back().Text += ' ';
        }
        std::array<char, 4> code{};
        std::snprintf(code.data(), code.size(), "%02X",
                      static_cast<unsigned char>(piece.Bytes[at]));
        lines.back().Text += code.data();
    }
    return lines;
}

} // namespace

std::vector<TrafficLine> TrafficLines(const TappedBytes& piece, TrafficView view) {
    const std::string time = TrafficTime(piece.At);
    return view == TrafficView::Text ? AsText(piece, time) : AsHex(piece, time);
}

std::string TrafficTime(std::chrono::system_clock::time_point at) {
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count() % 1000;
    std::array<char, 8> fraction{};
    std::snprintf(fraction.data(), fraction.size(), ".%03lld",
                  static_cast<long long>(milliseconds));
    return LocalTimeText(at, "%H:%M:%S") + fraction.data();
}

std::string TrafficLineText(const TrafficLine& line) {
    constexpr std::size_t TimeWidth = 12;
    std::string text = line.Time;
    if (text.size() < TimeWidth) {
        text.append(TimeWidth - text.size(), ' ');
    }
    return text + (line.Sent ? " \u2192 " : " \u2190 ") + line.Text;
}

std::string TrafficDroppedText(std::uint64_t dropped) {
    return "... " + std::to_string(dropped) + " bytes not shown: the monitor fell behind the line";
}

} // namespace feedrail
