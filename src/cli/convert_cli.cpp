#include "cli/convert_cli.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
#include <ostream>

#include "cli/escape.h"
#include "engine/batch_run.h"
#include "engine/modes.h"
#include "filelist/list_file.h"
#include "platform/display.h"
#include "platform/error.h"
#include "platform/files.h"

namespace quillora::cli {
namespace {

constexpr const char* kUsage =
    "usage: quillora-convert --mode MODE --output DIR [OPTIONS] FILE...\n"
    "       quillora-convert --mode MODE --output DIR [OPTIONS] --files-from LIST\n"
    "       quillora-convert --list LIST.lai --output DIR [OPTIONS]\n"
    "\n"
    "Converts each FILE into DIR under its own base name with the extension of the mode,\n"
    "exactly as the Quillora desktop program does. A name that an earlier FILE of the run\n"
    "already gives is numbered: the second IMG.jpg is saved as \"IMG (2).bmp\".\n"
    "\n"
    "  --mode MODE           bmp-jpg, jpg-bmp, ico-bmp or ico-jpg (or the tab index 0 to 3)\n"
    "  --list LIST.lai       take the mode and the files, in order, from an image list file\n"
    "                        saved by the desktop program (not with --mode or FILE)\n"
    "  --files-from LIST     take the files from LIST, one path per line (- for standard\n"
    "                        input); blank lines are passed over (not with FILE or --list)\n"
    "  --null                paths in the --files-from list end with a zero byte (find -print0)\n"
    "  --output DIR          the output folder (it must exist)\n"
    "  --keep-folders        save each output in DIR/REL, where REL is the folder of its FILE\n"
    "                        below the deepest folder holding every FILE (folders missing in\n"
    "                        DIR are made)\n"
    "  --jobs N              convert N files at once (default: the number of processors)\n"
    "  --shard K/N           convert only share K (0 to N-1) of the files: N runs with\n"
    "                        K = 0 ... N-1 convert every file once, as one run would\n"
    "  --screen-depth BITS   depth of the bitmaps drawn on: 32 (default), 24, 16 or 8\n"
    "  --progress            show how far the run has got on standard error\n"
    "  --quiet               leave out the summary line (failures are still reported)\n"
    "  --help                show this text\n"
    "  --version             show the version\n"
    "\n"
    "A missing BMP or JPEG source is skipped; every failure is reported and the rest go on.\n"
    "Failures are lines \"quillora-convert: FILE: MESSAGE\" on standard error; in FILE a\n"
    "backslash is written \\\\, a line feed, carriage return and tab \\n, \\r and \\t, and any\n"
    "other control character \\xNN (each byte, hexadecimal), so that each failure is one line.\n"
    "Each output saved under a numbered name is a line \"quillora-convert: FILE: saved as\n"
    "NAME\" on standard error, NAME being the output below DIR; it is no failure.\n"
    "A list file that cannot be loaded is reported in one line and nothing is converted.\n"
    "Exit status: 0 when every file was converted or skipped, 1 when any failed or the list\n"
    "file could not be loaded, 2 for a usage error.\n";

struct Options {
    Mode mode = Mode::BmpToJpeg;
    std::string output;
    std::string list;        // the list file, when the files come from one
    std::string files_from;  // the file of paths, when they come from one
    bool null_separated = false;
    bool keep_folders = false;
    unsigned jobs = 0;
    std::size_t shard = 0, shards = 1;
    bool sharded = false;
    bool progress = false;
    bool quiet = false;
    int screen_depth = 32;
    std::vector<std::string> files;
    bool version = false;  // --version: print the version, nothing else
};

// The longest --files-from list read.
constexpr std::size_t kMaxFileList = std::size_t{1} << 30;

struct UsageError {
    std::string message;
};

std::optional<int> parse_int(std::string_view text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<Mode> parse_mode(std::string_view text) {
    for (const ModeInfo& info : mode_table()) {
        if (text == info.cli_name)
            return info.mode;
    }
    if (auto index = parse_int(text))
        return mode_from_index(*index);
    return std::nullopt;
}

// Returns nullopt when --help was asked for.
std::optional<Options> parse(const std::vector<std::string>& args) {
    Options options;
    bool have_mode = false, have_output = false, have_list = false, only_files = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (only_files || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            only_files = true;
            continue;
        }
        if (arg == "--help" || arg == "-h")
            return std::nullopt;
        // Switches, which take no value.
        if (arg == "--null") {
            options.null_separated = true;
            continue;
        }
        if (arg == "--keep-folders") {
            options.keep_folders = true;
            continue;
        }
        if (arg == "--progress") {
            options.progress = true;
            continue;
        }
        if (arg == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (arg == "--version") {
            Options version;
            version.version = true;
            return version;
        }
        std::string_view name = arg, value;
        bool inline_value = false;
        if (auto eq = arg.find('='); eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inline_value = true;
        }
        if (name != "--mode" && name != "--output" && name != "--list" && name != "--jobs" &&
            name != "--screen-depth" && name != "--files-from" && name != "--shard") {
            throw UsageError{"unknown option " + std::string(name)};
        }
        if (!inline_value) {
            if (i + 1 >= args.size())
                throw UsageError{std::string(name) + " needs a value"};
            value = args[++i];
        }
        if (name == "--mode") {
            auto mode = parse_mode(value);
            if (!mode)
                throw UsageError{"unknown mode " + std::string(value)};
            options.mode = *mode;
            have_mode = true;
        } else if (name == "--output") {
            if (value.empty())
                throw UsageError{"the output folder is empty"};
            options.output = value;
            have_output = true;
        } else if (name == "--list") {
            if (value.empty())
                throw UsageError{"the list file name is empty"};
            options.list = value;
            have_list = true;
        } else if (name == "--files-from") {
            if (value.empty())
                throw UsageError{"the --files-from list name is empty"};
            options.files_from = value;
        } else if (name == "--shard") {
            const auto slash = value.find('/');
            const auto k = parse_int(value.substr(0, slash));
            const auto n =
                slash == std::string_view::npos ? std::nullopt : parse_int(value.substr(slash + 1));
            if (!k || !n || *n < 1 || *k < 0 || *k >= *n)
                throw UsageError{"--shard needs K/N with 0 <= K < N"};
            options.shard = static_cast<std::size_t>(*k);
            options.shards = static_cast<std::size_t>(*n);
            options.sharded = true;
        } else if (name == "--jobs") {
            auto jobs = parse_int(value);
            if (!jobs || *jobs < 1)
                throw UsageError{"--jobs needs a number of 1 or more"};
            options.jobs = static_cast<unsigned>(*jobs);
        } else {
            auto depth = parse_int(value);
            if (!depth || (*depth != 32 && *depth != 24 && *depth != 16 && *depth != 8)) {
                throw UsageError{"--screen-depth must be 32, 24, 16 or 8"};
            }
            options.screen_depth = *depth;
        }
    }
    const bool have_files_from = !options.files_from.empty();
    if (have_list) {
        if (have_mode || !options.files.empty() || have_files_from)
            throw UsageError{
                "--list takes the mode and the files from the list file: give "
                "neither --mode, --files-from nor FILE with it"};
    } else {
        if (!have_mode)
            throw UsageError{"--mode (or --list) is required"};
        if (have_files_from && !options.files.empty())
            throw UsageError{"give either FILE or --files-from, not both"};
        if (!have_files_from && options.files.empty())
            throw UsageError{"no files to convert"};
    }
    if (options.null_separated && !have_files_from)
        throw UsageError{"--null goes with --files-from"};
    if (!have_output)
        throw UsageError{"--output is required"};
    return options;
}

// One line per failure: line breaks inside a message become blanks.
std::string one_line(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

// The paths of a --files-from list: one per line (or per zero byte), blank
// ones passed over, every other kept byte for byte.
std::vector<std::string> split_file_list(std::string_view text, char separator) {
    std::vector<std::string> paths;
    while (!text.empty()) {
        const std::size_t end = text.find(separator);
        const std::string_view path = text.substr(0, end);
        if (!path.empty())
            paths.emplace_back(path);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return paths;
}

// "m:ss" or "h:mm:ss".
std::string clock_text(std::chrono::seconds time) {
    const long long total = time.count();
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    }
    return text;
}

// How far a run has got, on standard error: on a terminal one line rewritten
// in place after every file; elsewhere a line of its own at every 5 % of the
// files.
class Progress {
  public:
    Progress(std::ostream& err, std::size_t total, bool terminal)
        : err_(err), total_(total), terminal_(terminal), start_(std::chrono::steady_clock::now()) {}

    // A line that must stand on its own (a failure): the progress line is
    // cleared first and drawn again after it.
    void say(const std::string& line) {
        if (terminal_ && shown_)
            err_ << "\r\x1b[K";
        err_ << line << '\n';
        if (terminal_ && shown_)
            draw();
        err_.flush();
    }

    void finished(std::size_t done) {
        done_ = done;
        if (terminal_) {
            draw();
        } else if (total_ > 0 && done * 20 / total_ > step_) {
            step_ = done * 20 / total_;
            err_ << text() << '\n';
        }
        err_.flush();
    }

    // Ends the rewritten line so that what follows starts a line of its own.
    void close() {
        if (terminal_ && shown_)
            err_ << '\n';
    }

  private:
    std::string text() const {
        using namespace std::chrono;
        const auto elapsed = duration_cast<seconds>(steady_clock::now() - start_);
        std::string line = "progress: " + std::to_string(done_) + "/" + std::to_string(total_) +
                           " files, " + clock_text(elapsed) + " elapsed";
        if (done_ > 0 && done_ < total_) {
            const auto left = seconds(static_cast<long long>(static_cast<double>(elapsed.count()) *
                                                             static_cast<double>(total_ - done_) /
                                                             static_cast<double>(done_)));
            line += ", about " + clock_text(left) + " left";
        }
        return line;
    }
    void draw() {
        err_ << "\r\x1b[K" << text();
        shown_ = true;
    }

    std::ostream& err_;
    const std::size_t total_;
    const bool terminal_;
    const std::chrono::steady_clock::time_point start_;
    std::size_t done_ = 0;
    std::size_t step_ = 0;
    bool shown_ = false;
};

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return run(args, out, err, false);
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool err_is_terminal) {
    Options options;
    try {
        auto parsed = parse(args);
        if (!parsed) {
            out << kUsage;
            return 0;
        }
        if (parsed->version) {
            out << "quillora-convert " QUILLORA_VERSION "\n";
            return 0;
        }
        options = std::move(*parsed);
    } catch (const UsageError& e) {
        err << "quillora-convert: " << e.message << "\n" << kUsage;
        return 2;
    }
    if (!options.list.empty()) {
        // As the desktop program loads it: the file's mode, then its paths in
        // order. A refused or damaged list converts nothing.
        try {
            filelist::ListFile list = filelist::load_list_file(options.list);
            options.mode = list.mode;
            options.files = std::move(list.paths);
        } catch (const Error& e) {
            err << "quillora-convert: " << escape_file_name(options.list) << ": "
                << one_line(e.what()) << "\n";
            return 1;
        } catch (const std::bad_alloc&) {
            err << "quillora-convert: " << escape_file_name(options.list) << ": " << kOutOfResources
                << "\n";
            return 1;
        }
    }

    if (!options.files_from.empty()) {
        try {
            options.files = split_file_list(files::read_all(options.files_from, kMaxFileList),
                                            options.null_separated ? '\0' : '\n');
        } catch (const Error& e) {
            err << "quillora-convert: " << escape_file_name(options.files_from) << ": "
                << one_line(e.what()) << "\n";
            return 1;
        } catch (const std::bad_alloc&) {
            err << "quillora-convert: " << escape_file_name(options.files_from) << ": "
                << kOutOfResources << "\n";
            return 1;
        }
    }

    display::set_screen_depth(options.screen_depth);
    // The names and kept folders come from the whole list, so shards agree.
    BatchPlan plan = plan_batch(options.mode, options.files, options.output,
                                options.keep_folders ? Subfolders::Kept : Subfolders::Flat);
    options.files = {};
    if (options.sharded)
        plan = shard_of(plan, options.shard, options.shards);
    std::optional<Progress> progress;
    if (options.progress)
        progress.emplace(err, plan.entries.size(), err_is_terminal);
    auto say = [&](const std::string& line) {
        if (progress) {
            progress->say(line);
        } else {
            err << line << "\n";
            err.flush();
        }
    };

    BatchOptions batch;
    batch.workers = options.jobs;
    BatchCallbacks callbacks;
    std::size_t finished = 0;
    callbacks.finished = [&](const FileResult& result) {
        const BatchEntry& entry = plan.entries[result.index];
        if (result.outcome == FileOutcome::Failed) {
            say("quillora-convert: " + escape_file_name(entry.source) + ": " +
                one_line(result.message));
        } else if (result.outcome == FileOutcome::Converted && entry.numbered) {
            say("quillora-convert: " + escape_file_name(entry.source) + ": saved as " +
                escape_file_name(entry.name));
        }
        if (progress)
            progress->finished(++finished);
    };
    callbacks.fewer_workers = [&](unsigned started, unsigned asked) {
        say("quillora-convert: only " + std::to_string(started) + " of " + std::to_string(asked) +
            " workers could be started; converting with " + std::to_string(started));
    };
    const BatchSummary summary = run_batch(plan, batch, callbacks);
    if (progress)
        progress->close();
    if (!options.quiet) {
        err << summary.converted << " converted, " << summary.skipped << " skipped, "
            << summary.failed << " failed";
        if (summary.numbered > 0)
            err << ", " << summary.numbered << " saved under a numbered name";
        if (options.sharded)
            err << " (shard " << options.shard << "/" << options.shards << ")";
        err << "\n";
    }
    return summary.failed > 0 ? 1 : 0;
}

}  // namespace quillora::cli
