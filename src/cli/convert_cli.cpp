#include "cli/convert_cli.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <filesystem>
#include <map>
#include <mutex>
#include <numeric>
#include <optional>
#include <ostream>
#include <thread>

#include "engine/converters.h"
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

// Groups the files whose conversions touch a common file (two sources with
// one output name, or one file's output being another's source). A group is
// converted in list order by one worker, so the results do not depend on
// how many files are converted at once.
std::vector<std::vector<std::size_t>> conflict_groups(const std::vector<std::string>& sources,
                                                      const std::vector<std::string>& outputs) {
    const std::size_t n = sources.size();
    std::vector<std::size_t> parent(n);
    std::iota(parent.begin(), parent.end(), 0);
    auto find = [&parent](std::size_t i) {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    };
    auto key = [](const std::string& path) {
        std::error_code ec;
        auto canonical = std::filesystem::weakly_canonical(path, ec);
        return ec ? path : canonical.string();
    };
    std::map<std::string, std::size_t> owner;
    auto claim = [&](const std::string& path, std::size_t i) {
        auto [it, fresh] = owner.emplace(key(path), i);
        if (!fresh) {
            std::size_t a = find(it->second), b = find(i);
            parent[std::max(a, b)] = std::min(a, b);
        }
    };
    for (std::size_t i = 0; i < n; ++i) {
        claim(sources[i], i);
        claim(outputs[i], i);
    }
    std::map<std::size_t, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < n; ++i)
        groups[find(i)].push_back(i);
    std::vector<std::vector<std::size_t>> result;
    result.reserve(groups.size());
    for (auto& [root, members] : groups)
        result.push_back(std::move(members));
    return result;  // ordered by each group's first file
}

// One line per failure: line breaks inside a message become blanks.
std::string one_line(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

struct Outcome {
    enum State { Pending, Converted, Skipped, Failed } state = Pending;
    std::string message;
};

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
    const std::size_t n = options.files.size();
    std::vector<std::string> stems(n), outputs(n);
    for (std::size_t i = 0; i < n; ++i) {
        stems[i] = output_stem(options.files[i], options.output);
        outputs[i] = stems[i] + std::string(mode_info(options.mode).output_extension);
    }
    const auto groups = conflict_groups(options.files, outputs);

    std::vector<Outcome> outcomes(n);
    std::mutex report_lock;
    std::size_t next_report = 0;
    std::size_t counts[4] = {};
    // Reports finished files in list order, as soon as all before them are done.
    auto report = [&](std::size_t i, Outcome outcome) {
        std::lock_guard lock(report_lock);
        outcomes[i] = std::move(outcome);
        while (next_report < n && outcomes[next_report].state != Outcome::Pending) {
            const Outcome& done = outcomes[next_report];
            ++counts[done.state];
            if (done.state == Outcome::Failed) {
                err << "quillora-convert: " << options.files[next_report] << ": "
                    << one_line(done.message) << "\n";
                err.flush();
            }
            ++next_report;
        }
    };

    std::atomic<std::size_t> next_group{0};
    auto worker = [&] {
        for (std::size_t g; (g = next_group.fetch_add(1)) < groups.size();) {
            for (std::size_t i : groups[g]) {
                Outcome outcome;
                try {
                    outcome.state = convert_file(options.mode, options.files[i], stems[i]) ==
                                            ConvertResult::Converted
                                        ? Outcome::Converted
                                        : Outcome::Skipped;
                } catch (const Error& e) {
                    outcome = {Outcome::Failed, e.what()};
                } catch (const std::bad_alloc&) {
                    outcome = {Outcome::Failed, std::string(kOutOfResources)};
                } catch (const std::exception& e) {
                    outcome = {Outcome::Failed, e.what()};
                }
                report(i, std::move(outcome));
            }
        }
    };

    unsigned jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, groups.size()));
    if (jobs <= 1) {
        worker();
    } else {
        std::vector<std::jthread> threads;
        threads.reserve(jobs);
        for (unsigned t = 0; t < jobs; ++t)
            threads.emplace_back(worker);
    }

    err << counts[Outcome::Converted] << " converted, " << counts[Outcome::Skipped] << " skipped, "
        << counts[Outcome::Failed] << " failed\n";
    return counts[Outcome::Failed] > 0 ? 1 : 0;
}

}  // namespace quillora::cli
