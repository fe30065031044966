#pragma once

#include <string>
#include <string_view>

namespace feedrail {

// Splits a comma-separated profile value and returns field `fieldNumber`
// (counted from 1). Nothing is trimmed and there is no quoting; a field of
// 2 or more that is a lone apostrophe stands for a comma. Values with 99 or
// more commas have only a first field, and field numbers above 100 are empty.
std::string GetField(std::string_view value, int fieldNumber);

} // namespace feedrail
