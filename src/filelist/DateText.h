#pragma once

#include "filelist/FileRow.h"

#include <cstdint>
#include <string>

namespace feedrail {

// A time in local time: the date in `format` ("mm/dd/yyyy", "dd/mm/yyyy" or
// "yyyy/mm/dd"), one blank, and "hh:nn".
std::string DateText(std::int64_t secondsSinceEpoch, TDateFormat format);

} // namespace feedrail
