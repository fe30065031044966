// An INI file of arbitrary bytes is parsed, written back unchanged, and has
// one key written: the new value reads back and every other line stays byte
// for byte.

#include "FuzzCheck.h"
#include "profiles/IniDocument.h"

#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

using feedrail::IniDocument;
using feedrail::fuzz::Require;

// Lines with their ends, as the file holds them.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// The mark stands before the first line, not in it.
std::string_view WithoutByteOrderMark(std::string_view text) {
    return text.starts_with(ByteOrderMark) ? text.substr(ByteOrderMark.size()) : text;
}

bool EndAdded(std::string_view was, std::string_view is) {
    return is.starts_with(was) &&
           (is.substr(was.size()) == "\n" || is.substr(was.size()) == "\r\n");
}

// The key's line keeps its name and its '='.
bool SameKey(std::string_view was, std::string_view is) {
    const std::size_t equals = was.find('=');
    return equals != std::string_view::npos && is.starts_with(was.substr(0, equals + 1));
}

struct Changed {
    std::size_t at;  // the first line that differs
    std::size_t old; // lines of the old text between the same head and tail
    std::size_t now; // lines of the new text there
};

// The lines between the longest same head and the longest same tail.
Changed ChangedLines(const std::vector<std::string_view>& old,
                     const std::vector<std::string_view>& now) {
    std::size_t head = 0;
    while (head < old.size() && head < now.size() && old[head] == now[head]) {
        ++head;
    }
    std::size_t tail = 0;
    while (tail < old.size() - head && tail < now.size() - head &&
           old[old.size() - 1 - tail] == now[now.size() - 1 - tail]) {
        ++tail;
    }
    return {head, old.size() - head - tail, now.size() - head - tail};
}

// The write may change one line (the key's, or the last line when it gets an
// end of its own before lines added after it) and add up to two (a key, or a
// section and its key); everything before and after stays as it was.
void CheckOtherLinesKept(std::string_view before, std::string_view after) {
    Require(before.starts_with(ByteOrderMark) == after.starts_with(ByteOrderMark),
            "a byte order mark stays as it was");
    const auto old = SplitLines(WithoutByteOrderMark(before));
    const auto now = SplitLines(WithoutByteOrderMark(after));
    const Changed changed = ChangedLines(old, now);
    Require(changed.old <= 1, "a write changes at most one line");
    Require(changed.now >= changed.old && changed.now - changed.old <= 2,
            "a write adds at most two lines");
    if (changed.old == 1) {
        const std::size_t at = changed.at;
        Require(EndAdded(old[at], now[at]) || SameKey(old[at], now[at]),
                "a changed line is the key's line, or the last line given an end");
    }
}

// A name from the file itself at times, so that writes hit existing keys too.
std::string PickName(FuzzedDataProvider& input, const std::vector<std::string>& names) {
    if (!names.empty() && input.ConsumeBool()) {
        return names[input.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)];
    }
    return input.ConsumeRandomLengthString(64);
}

std::vector<std::string> KeyNames(std::string_view content) {
    std::vector<std::string> keys;
    for (const std::string_view line : SplitLines(content)) {
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            keys.emplace_back(line.substr(0, equals));
        }
    }
    return keys;
}

void CheckWrite(IniDocument document, FuzzedDataProvider& input, std::string_view content) {
    const std::string section = PickName(input, document.SectionNames());
    const std::string key = PickName(input, KeyNames(content));
    const std::string value = input.ConsumeRandomLengthString(IniDocument::MaxValueLength + 8);
    const auto earlier = document.Value(section, key);
    Require(!earlier || earlier->size() <= IniDocument::MaxValueLength, "values are cut");
    if (!document.SetValue(section, key, value)) {
        Require(document.Serialize() == content, "a refused write changes nothing");
        return;
    }
    const std::string written = document.Serialize();
    CheckOtherLinesKept(content, written);
    const auto read = IniDocument::Parse(written).Value(section, key);
    Require(read && *read == value.substr(0, IniDocument::MaxValueLength),
            "a written value reads back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string content = input.ConsumeRandomLengthString(size);
    const IniDocument document = IniDocument::Parse(content);
    Require(document.Serialize() == content, "an untouched file is written back byte for byte");
    CheckWrite(document, input, content);
    return 0;
}
