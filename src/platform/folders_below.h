// Folders made inside a folder the user chose, never outside it.
#pragma once

#include <string>
#include <string_view>

namespace quillora::files {

// Creates the folders of `relative` (names separated by "/", none of them
// "." or "..") inside `base`, which must exist; folders already there are
// used. Below `base` nothing is followed: a link, or anything else that is
// not a folder, standing where a folder should be is refused, so nothing is
// ever created outside `base`. Returns 0 or the errno value of the failure
// (ENOTDIR for something that is not a folder, links included; EINVAL for a
// "." or ".." name).
int make_folders_below(const std::string& base, std::string_view relative, unsigned mode = 0777);

}  // namespace quillora::files
