#pragma once

#include <string>
#include <string_view>

namespace feedrail {

// The file a write replaces: the target of a link, so that a file kept
// elsewhere and linked beside the program stays where it is.
std::string ResolvedWriteTarget(const std::string& path);

// The folder of a path ("." for a bare name).
std::string FolderOf(const std::string& path);

// Replaces `target` with `content` in one step: the content goes to a new
// file beside it, which is flushed to disk and renamed over the old one, so
// a crash or a full disk leaves the old file or the new one, never a torn one.
// An existing file keeps its mode, and its owner and group as far as the user
// may set them. A file the user may not write, or one without any write bit
// even for root, is refused with EACCES. Returns 0 or the errno of the
// failure, leaving no temporary file behind.
int ReplaceFileContent(const std::string& target, std::string_view content);

} // namespace feedrail
