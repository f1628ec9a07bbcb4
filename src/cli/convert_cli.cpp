#include "cli/convert_cli.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <ostream>

#include "engine/batch_run.h"
#include "engine/modes.h"
#include "filelist/list_file.h"
#include "platform/display.h"
#include "platform/error.h"

namespace quillora::cli {
namespace {

constexpr const char* kUsage =
    "usage: quillora-convert --mode MODE --output DIR [--jobs N] [--screen-depth BITS] FILE...\n"
    "       quillora-convert --list LIST.lai --output DIR [--jobs N] [--screen-depth BITS]\n"
    "\n"
    "Converts each FILE into DIR under its own base name with the extension of the mode,\n"
    "exactly as the Quillora desktop program does.\n"
    "\n"
    "  --mode MODE           bmp-jpg, jpg-bmp, ico-bmp or ico-jpg (or the tab index 0 to 3)\n"
    "  --list LIST.lai       take the mode and the files, in order, from an image list file\n"
    "                        saved by the desktop program (not with --mode or FILE)\n"
    "  --output DIR          the output folder (it must exist)\n"
    "  --jobs N              convert N files at once (default: the number of processors)\n"
    "  --screen-depth BITS   depth of the bitmaps drawn on: 32 (default), 24, 16 or 8\n"
    "  --help                show this text\n"
    "\n"
    "A missing BMP or JPEG source is skipped; every failure is reported and the rest go on.\n"
    "A list file that cannot be loaded is reported in one line and nothing is converted.\n"
    "Exit status: 0 when every file was converted or skipped, 1 when any failed or the list\n"
    "file could not be loaded, 2 for a usage error.\n";

struct Options {
    Mode mode = Mode::BmpToJpeg;
    std::string output;
    std::string list;  // the list file, when the files come from one
    unsigned jobs = 0;
    int screen_depth = 32;
    std::vector<std::string> files;
};

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
        std::string_view name = arg, value;
        bool inline_value = false;
        if (auto eq = arg.find('='); eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inline_value = true;
        }
        if (name != "--mode" && name != "--output" && name != "--list" && name != "--jobs" &&
            name != "--screen-depth") {
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
    if (have_list) {
        if (have_mode || !options.files.empty())
            throw UsageError{
                "--list takes the mode and the files from the list file: give "
                "neither --mode nor FILE with it"};
    } else {
        if (!have_mode)
            throw UsageError{"--mode (or --list) is required"};
        if (options.files.empty())
            throw UsageError{"no files to convert"};
    }
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

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options options;
    try {
        auto parsed = parse(args);
        if (!parsed) {
            out << kUsage;
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
            err << "quillora-convert: " << options.list << ": " << one_line(e.what()) << "\n";
            return 1;
        } catch (const std::bad_alloc&) {
            err << "quillora-convert: " << options.list << ": " << kOutOfResources << "\n";
            return 1;
        }
    }

    display::set_screen_depth(options.screen_depth);
    const BatchPlan plan = plan_batch(options.mode, options.files, options.output);
    BatchOptions batch;
    batch.workers = options.jobs;
    BatchCallbacks callbacks;
    callbacks.finished = [&](const FileResult& result) {
        if (result.outcome == FileOutcome::Failed) {
            err << "quillora-convert: " << plan.entries[result.index].source << ": "
                << one_line(result.message) << "\n";
            err.flush();
        }
    };
    callbacks.fewer_workers = [&](unsigned started, unsigned asked) {
        err << "quillora-convert: only " << started << " of " << asked
            << " workers could be started; converting with " << started << "\n";
    };
    const BatchSummary summary = run_batch(plan, batch, callbacks);
    err << summary.converted << " converted, " << summary.skipped << " skipped, " << summary.failed
        << " failed\n";
    return summary.failed > 0 ? 1 : 0;
}

}  // namespace quillora::cli
