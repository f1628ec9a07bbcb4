// The names of a run's outputs: each source's folder kept below the output
// folder when asked, and a number for a name an earlier entry already has.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/paths.h"

namespace quillora {

// Each source's folder relative to the deepest folder that holds every one
// of `sources`, with a separator at its end; empty for a source in that
// folder itself. Folders are compared as absolute paths without "." and ".."
// parts, as written (links are not resolved), so a result never climbs out
// of that folder: a source whose folder cannot be placed below it gets the
// empty text.
std::vector<std::string> relative_folders(const std::vector<std::string>& sources,
                                          paths::Convention convention = paths::kHost);

struct OutputName {
    std::string stem;  // the stem given, or it with " (k)" added
    bool numbered = false;
};

// The stems of a run's outputs in list order, each unique with `extension`
// added. A stem whose output name an earlier entry has gets the first
// "STEM (k)", k = 2, 3, ..., whose name no entry of the run has, as given or
// as numbered before it. Names are compared with ASCII letters taken
// without regard to case, so that no two outputs meet on a file system that
// does not tell case. The folders that stems with a "/" go into count as
// names of the run: an output of a folder's name is numbered.
std::vector<OutputName> unique_output_stems(const std::vector<std::string>& stems,
                                            std::string_view extension);

}  // namespace quillora
