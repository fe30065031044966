#pragma once

#include "utilities/ListingFile.h"
#include "utilities/ListingValues.h"
#include "utilities/PagePainter.h"

namespace feedrail {

// Lays a text file out as a listing on pages of `values`: a heading with the
// file's name, its folder and the part number found in its first lines, the
// file's lines in `values.Columns` columns with rules between them, and the
// page numbers. Reads the file twice, line by line: once for the part number,
// once for the listing. A page too short to move the listing on, and errors
// reading the file, leave by an exception.
void LayOutListing(ListingFile& file, const ListingValues& values, PagePainter& painter);

} // namespace feedrail
