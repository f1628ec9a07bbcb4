#include "engine/batch_run.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <new>
#include <numeric>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "engine/converters.h"
#include "engine/output_names.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/folders_below.h"

namespace quillora {
namespace {

// The groups of entries whose conversions touch a common file, by union of
// the entries that name one file (as a source or as an output). Outputs are
// all distinct, so a group joins an output with the entries that read it
// (and a source listed more than once with itself).
std::vector<std::vector<std::size_t>> conflict_groups(const std::vector<BatchEntry>& entries) {
    const std::size_t n = entries.size();
    std::vector<std::size_t> parent(n);
    std::iota(parent.begin(), parent.end(), 0);
    auto find = [&parent](std::size_t i) {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    };
    // Two spellings of one file ("a/./b.bmp", "a/b.bmp", through a link to
    // a folder) are one file: its folder is resolved, once per folder, since
    // a long list names few folders.
    std::unordered_map<std::string, std::filesystem::path> folders;
    auto key = [&folders](const std::string& path) {
        const std::filesystem::path p(path);
        const std::string folder = p.parent_path().string();
        auto [it, fresh] = folders.try_emplace(folder);
        if (fresh) {
            std::error_code ec;
            auto canonical = std::filesystem::weakly_canonical(folder.empty() ? "." : folder, ec);
            it->second = ec ? std::filesystem::path(folder) : canonical;
        }
        return (it->second / p.filename()).string();
    };
    std::unordered_map<std::string, std::size_t> owner;
    owner.reserve(2 * n);
    auto claim = [&](const std::string& path, std::size_t i) {
        auto [it, fresh] = owner.emplace(key(path), i);
        if (!fresh) {
            std::size_t a = find(it->second), b = find(i);
            parent[std::max(a, b)] = std::min(a, b);
        }
    };
    for (std::size_t i = 0; i < n; ++i) {
        claim(entries[i].source, i);
        claim(entries[i].output, i);
    }
    // Each root is its group's smallest index, so groups come out ordered by
    // their first entry, and each in list order.
    std::vector<std::vector<std::size_t>> groups;
    std::vector<std::size_t> group_of(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t root = find(i);
        if (root == i) {
            group_of[i] = groups.size();
            groups.emplace_back();
        }
        groups[group_of[root]].push_back(i);
    }
    return groups;
}

// Makes the entry's kept folders below the output folder, unless its source
// is missing: a skipped source leaves no empty folders. One that fails to
// convert may leave them; removing them again could race with another
// worker writing into the same folder.
void make_kept_folders(const BatchPlan& plan, const BatchEntry& entry) {
    const std::string_view name = entry.name;
    const std::string_view folders = name.substr(0, name.size() - paths::file_name(name).size());
    if (folders.empty() || files::missing(entry.source))
        return;
    if (int err = files::make_folders_below(plan.output_directory, folders); err != 0)
        fail_cannot_create(entry.output, system_error_text(err));
}

// Converts one entry; every failure becomes its result.
FileResult convert_entry(const BatchPlan& plan, const BatchEntry& entry, std::size_t index) {
    FileResult result;
    result.index = index;
    try {
        if (plan.subfolders == Subfolders::Kept)
            make_kept_folders(plan, entry);
        result.outcome =
            convert_file(plan.mode, entry.source, entry.stem) == ConvertResult::Converted
                ? FileOutcome::Converted
                : FileOutcome::Skipped;
    } catch (const Error& e) {
        result = {index, FileOutcome::Failed, e.what()};
    } catch (const std::bad_alloc&) {
        result = {index, FileOutcome::Failed, std::string(kOutOfResources)};
    } catch (const std::exception& e) {
        result = {index, FileOutcome::Failed, e.what()};
    }
    return result;
}

// Collects results and hands them on in list order.
class Reporter {
  public:
    Reporter(const std::vector<BatchEntry>& entries, const BatchCallbacks& callbacks)
        : entries_(entries),
          results_(entries.size()),
          done_(entries.size(), false),
          callbacks_(callbacks) {}

    void finished(FileResult result) {
        std::lock_guard lock(lock_);
        const std::size_t i = result.index;
        results_[i] = std::move(result);
        done_[i] = true;
        flush();
    }

    // After the run: the entries never started are passed over, and what
    // finished after them is handed on.
    void close(BatchSummary& summary) {
        std::lock_guard lock(lock_);
        while (next_ < done_.size()) {
            if (!done_[next_]) {
                ++summary.not_started;
                ++next_;
            }
            flush();
        }
        summary.converted = counts_[0];
        summary.skipped = counts_[1];
        summary.failed = counts_[2];
        summary.numbered = numbered_;
    }

  private:
    void flush() {
        while (next_ < done_.size() && done_[next_]) {
            const FileResult& result = results_[next_];
            ++counts_[static_cast<int>(result.outcome)];
            if (result.outcome == FileOutcome::Converted && entries_[next_].numbered)
                ++numbered_;
            if (callbacks_.finished)
                callbacks_.finished(result);
            // The message is no longer needed.
            results_[next_] = FileResult{};
            ++next_;
        }
    }

    const std::vector<BatchEntry>& entries_;
    std::mutex lock_;
    std::vector<FileResult> results_;
    std::vector<bool> done_;
    std::size_t next_ = 0;
    std::size_t counts_[3] = {};
    std::size_t numbered_ = 0;
    const BatchCallbacks& callbacks_;
};

}  // namespace

BatchPlan plan_batch(Mode mode, const std::vector<std::string>& sources,
                     const std::string& output_directory, Subfolders subfolders,
                     paths::Convention convention) {
    BatchPlan plan;
    plan.mode = mode;
    plan.output_directory = output_directory;
    plan.subfolders = subfolders;
    const std::string extension(mode_info(mode).output_extension);
    // The stems below the output folder, then each made unique.
    std::vector<std::string> stems = subfolders == Subfolders::Kept
                                         ? relative_folders(sources, convention)
                                         : std::vector<std::string>(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i)
        stems[i] += paths::base_name(sources[i], convention);
    std::vector<OutputName> names = unique_output_stems(stems, extension);
    stems = {};
    const std::string folder = paths::with_separator(output_directory, convention);
    plan.entries.reserve(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        BatchEntry entry;
        entry.source = sources[i];
        entry.stem = folder + names[i].stem;
        entry.output = entry.stem + extension;
        entry.name = std::move(names[i].stem) + extension;
        entry.numbered = names[i].numbered;
        plan.entries.push_back(std::move(entry));
    }
    plan.groups = conflict_groups(plan.entries);
    return plan;
}

BatchPlan shard_of(const BatchPlan& plan, std::size_t k, std::size_t n) {
    BatchPlan share;
    share.mode = plan.mode;
    share.output_directory = plan.output_directory;
    share.subfolders = plan.subfolders;
    for (std::size_t g = k; g < plan.groups.size(); g += n) {
        std::vector<std::size_t> group;
        group.reserve(plan.groups[g].size());
        for (std::size_t i : plan.groups[g]) {
            group.push_back(share.entries.size());
            share.entries.push_back(plan.entries[i]);
        }
        share.groups.push_back(std::move(group));
    }
    return share;
}

BatchSummary run_batch(const BatchPlan& plan, const BatchOptions& options,
                       const BatchCallbacks& callbacks) {
    BatchSummary summary;
    Reporter reporter(plan.entries, callbacks);
    std::atomic<std::size_t> next_group{0};
    std::atomic<bool> stop{false}, cancelled{false}, folder_failed{false};

    auto worker = [&] {
        for (std::size_t g; !stop && (g = next_group.fetch_add(1)) < plan.groups.size();) {
            for (std::size_t i : plan.groups[g]) {
                if (stop)
                    break;
                if (callbacks.cancelled && callbacks.cancelled()) {
                    cancelled = true;
                    stop = true;
                    break;
                }
                if (options.starting)
                    options.starting(i);
                FileResult result = convert_entry(plan, plan.entries[i], i);
                if (result.outcome == FileOutcome::Failed &&
                    options.stop_when_output_folder_fails &&
                    !files::usable_folder(plan.output_directory)) {
                    folder_failed = true;
                    stop = true;
                }
                reporter.finished(std::move(result));
            }
        }
    };

    unsigned asked =
        options.workers != 0 ? options.workers : std::max(1u, std::thread::hardware_concurrency());
    const unsigned wanted =
        static_cast<unsigned>(std::clamp<std::size_t>(plan.groups.size(), 1, asked));
    {
        // The calling thread is the first worker; a thread that cannot be
        // started (a process limit) leaves the run to the ones that could.
        std::vector<std::jthread> others;
        others.reserve(wanted - 1);
        std::atomic<bool> go{false};
        for (unsigned t = 1; t < wanted; ++t) {
            try {
                others.emplace_back([&] {
                    go.wait(false);
                    worker();
                });
            } catch (const std::system_error&) {
                break;
            }
        }
        summary.workers = static_cast<unsigned>(others.size()) + 1;
        if (summary.workers < wanted && callbacks.fewer_workers)
            callbacks.fewer_workers(summary.workers, wanted);
        go = true;
        go.notify_all();
        worker();
    }
    reporter.close(summary);
    summary.cancelled = cancelled;
    summary.output_folder_failed = folder_failed;
    return summary;
}

}  // namespace quillora
