// The batch run: a list of files converted into one output folder, planned
// once and converted by several workers, each finished file reported in list
// order. Both the desktop program and quillora-convert convert through it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/modes.h"
#include "engine/paths.h"

namespace quillora {

// Where the outputs go below the output folder.
enum class Subfolders {
    Flat,  // all straight into the output folder
    Kept,  // each into its source's folder relative to the deepest folder
           // holding every source of the run, made when missing
};

struct BatchEntry {
    std::string source;  // as listed, used unchanged
    std::string stem;    // the output without the mode's extension
    std::string output;  // the stem and the mode's extension
    // The output below the output folder: the kept folders and the file name.
    std::string name;
    // Whether the name was numbered ("NAME (2).EXT") because an earlier
    // entry of the run has the name the source gives.
    bool numbered = false;
};

struct BatchPlan {
    Mode mode = Mode::BmpToJpeg;
    std::string output_directory;  // as given
    Subfolders subfolders = Subfolders::Flat;
    std::vector<BatchEntry> entries;
    // The entries whose conversions touch a common file (an output that is
    // another entry's source, or one source listed twice), each group in
    // list order and the groups ordered by their first entry. One worker
    // converts a group, in order, so the outputs do not depend on how many
    // files are converted at once.
    std::vector<std::vector<std::size_t>> groups;
};

// Plans the conversion of `sources`, in list order, into `output_directory`:
// every output a name of its own (numbered when an earlier entry has the
// name the source gives), so that no run writes one output twice.
BatchPlan plan_batch(Mode mode, const std::vector<std::string>& sources,
                     const std::string& output_directory, Subfolders subfolders = Subfolders::Flat,
                     paths::Convention convention = paths::kHost);

// Share k (0 <= k < n) of a plan, for spreading one list over n runs: the
// groups whose index is k modulo n, each kept whole and in order, so the n
// shares convert every entry exactly once, under the names of the whole
// plan, differ by at most one group, and give the outputs one run over the
// whole plan gives.
BatchPlan shard_of(const BatchPlan& plan, std::size_t k, std::size_t n);

enum class FileOutcome {
    Converted,  // the output was written
    Skipped,    // a BMP or JPEG source that does not exist
    Failed,     // `message` says why
};

struct FileResult {
    std::size_t index = 0;  // in the plan's entries
    FileOutcome outcome = FileOutcome::Converted;
    std::string message;
};

struct BatchOptions {
    // How many files are converted at once; 0 means one per processor.
    unsigned workers = 0;
    // Start no further file once a conversion failed because the output
    // folder cannot take files (missing, not a folder, not writable): no
    // later file could succeed.
    bool stop_when_output_folder_fails = false;
    // Called on a worker's thread just before entry `index` converts. The
    // program sets none; tests use it to act at a known point of a run.
    std::function<void(std::size_t index)> starting;
};

struct BatchCallbacks {
    // Each finished file, in list order, as soon as every file before it in
    // the list has finished. Calls never overlap; they come from the workers'
    // threads.
    std::function<void(const FileResult&)> finished;
    // Asked before each file starts, from the workers' threads; true starts
    // no further file (files being converted are finished).
    std::function<bool()> cancelled;
    // Called once, before any file starts, when fewer workers could be
    // started than were asked for.
    std::function<void(unsigned started, unsigned asked)> fewer_workers;
};

struct BatchSummary {
    std::size_t converted = 0;
    std::size_t skipped = 0;
    std::size_t failed = 0;
    std::size_t not_started = 0;  // left when the run was cancelled or stopped
    std::size_t numbered = 0;     // converted under a numbered name
    bool cancelled = false;
    bool output_folder_failed = false;
    unsigned workers = 0;  // how many converted
};

// Converts the plan. The calling thread is one of the workers; the others
// are started here and have ended when this returns.
BatchSummary run_batch(const BatchPlan& plan, const BatchOptions& options,
                       const BatchCallbacks& callbacks);

}  // namespace quillora
