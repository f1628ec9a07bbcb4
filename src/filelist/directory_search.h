// The directory search: walks a folder tree and reports every file whose name
// matches one of the current mode's masks.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dir_listing.h"

namespace quillora {

// The masks of a descriptor's search-mask field: split at each ";", each mask
// stripped of the blanks (and control characters) around it. Empty pieces are
// kept; they match no name.
std::vector<std::string> split_masks(std::string_view field);

// Whether `name` matches `mask` as a whole, without regard to case: "*" stands
// for any run of characters (none included), "?" for exactly one character,
// anything else for itself. Case is folded for ASCII letters and for the
// accented Latin letters (U+00C0 to U+00FE) written in UTF-8; "?" takes one
// UTF-8 character, or one byte where the name is not valid UTF-8. Other bytes
// compare as they are. Time is bounded by name length times mask length.
bool mask_matches(std::string_view mask, std::string_view name);

// True when `name` matches any of `masks`.
bool matches_any(const std::vector<std::string>& masks, std::string_view name);

struct SearchCallbacks {
    // On entering each directory, with its path without the final separator.
    std::function<void(const std::string& dir)> begin_dir;
    // For each matching file, with its directory's path and its name.
    std::function<void(const std::string& path)> found;
    // Before each directory entry is looked at; returning false stops the
    // search.
    std::function<bool()> progress;
};

enum class SearchEnd {
    Done,       // the whole tree was walked
    Cancelled,  // progress asked to stop
    Failed,     // a directory could not be listed for a reason other than
                // "not found" or "access denied"
};

// Opens one directory for the walk; the default is the file system's
// listing (files::DirListing).
using OpenDirectory =
    std::function<std::unique_ptr<files::DirectoryEntries>(const std::string& dir)>;

// Walks `root` (and, when `subdirectories` is set, everything below it): each
// directory's own matching files first, in the order the listing gives them,
// then its subdirectories in the order they were met, each finished before
// the next (depth first). A root that does not exist, or is a file, gives
// nothing and ends as Done; so does an empty root. Directories that are both
// hidden and system are passed over, and so are such files. Symbolic links to
// directories are not entered.
SearchEnd search_directory(const std::string& root, const std::vector<std::string>& masks,
                           bool subdirectories, const SearchCallbacks& callbacks,
                           const OpenDirectory& open = {});

}  // namespace quillora
