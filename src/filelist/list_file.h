// Image list files ("lai"): a source list on disk together with its
// conversion mode.
//
// The file is a profile file whose only section is "INFO", and at the same
// time a text file whose lines after that section are the paths. Every line
// ends with CR LF, lines are counted from 0:
//
//   [INFO]
//   Tipo=m          the conversion mode, 0 to 3
//   Inicio=4        the number of the first line holding a path
//   Termina=N+3     the number of the last line holding a path
//   path 1 ... path N, each unchanged
//
// The keys are read by the profile rules (platform/profile.h); the paths are
// taken by line number from the whole file, where a line ends at CR, LF or
// CR LF and a final line without an ending still counts. Paths are bytes:
// written and read back unchanged, whatever their encoding.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/modes.h"
#include "platform/error.h"

namespace quillora::filelist {

inline constexpr std::string_view kListExtension = "lai";
inline constexpr std::string_view kListSection = "INFO";
inline constexpr std::string_view kKeyMode = "Tipo";
inline constexpr std::string_view kKeyFirstLine = "Inicio";
inline constexpr std::string_view kKeyLastLine = "Termina";
// The line of the first path in a file written by save_list_file.
inline constexpr int kFirstPathLine = 4;
// The progress bar's caption while a list loads.
inline constexpr std::string_view kLoadingCaption = "Carregando Lista ...";

// A list file that is not taken: nothing has been read into the program or
// written to disk when this is raised, so the caller shows the message (in
// Portuguese, for the user) and leaves the list and the mode as they are.
class ListFileRefused : public Error {
  public:
    enum class Reason {
        NotFound,           // no file of that name (loading)
        Unreadable,         // the file exists but cannot be read (loading)
        NotAList,           // "Tipo" missing or not a conversion mode (loading)
        PathWithLineBreak,  // a path holds CR or LF and cannot be one line (saving)
    };

    ListFileRefused(Reason reason, const std::string& message, int item = -1,
                    SourcePlace where = SourcePlace::current());

    Reason reason() const noexcept { return reason_; }
    // For PathWithLineBreak: the index (from 0) of the first such path; -1 otherwise.
    int item() const noexcept { return item_; }

  private:
    Reason reason_;
    int item_;
};

// Writes the list file `path`: the INFO section for `mode` and `paths.size()`
// paths, then the paths in order, every line ended by CR LF.
//
// The file is written under a temporary name beside `path` and renamed over
// it only when complete, so an existing file is replaced whole or not at all.
// Fails with:
// - ListFileRefused (PathWithLineBreak) when a path holds CR or LF: such a
//   path would read back as two lines; nothing is written;
// - "Unable to write to %s" when the file cannot be created or replaced (a
//   missing or read-only folder, a read-only file, a directory of that name);
// - the file error ("Stream write error", "Cannot create file "%s". %s") when
//   writing or renaming fails; the old file is then still there.
void save_list_file(const std::string& path, Mode mode, std::span<const std::string> paths);

// The position of the progress bar when line `line` is taken, for a list
// whose last line is `last_line`: line * 100 / last_line (integer division),
// 100 when last_line is 0, kept within 0 to 100.
int load_position(std::int64_t line, int last_line) noexcept;

// Called before each line is taken, with the position from 0 to 100. The
// desktop program processes waiting window events here.
using LoadProgress = std::function<void(int position)>;
// Called with each path taken, in order. The text is valid during the call.
using PathSink = std::function<void(std::string_view path)>;

// A list file opened for loading: the whole file is read and closed, and
// its three keys are read, when it is constructed.
class ListFileReader {
  public:
    // Refuses (ListFileRefused) a file that does not exist, cannot be read,
    // or whose "Tipo" is missing or not 0 to 3.
    explicit ListFileReader(const std::string& path);

    const std::string& path() const noexcept { return path_; }
    Mode mode() const noexcept { return mode_; }
    // "Inicio" and "Termina" as read (-1 when missing or not a number).
    int first_line() const noexcept { return first_line_; }
    int last_line() const noexcept { return last_line_; }

    // Takes the lines from first_line() to last_line(), both included, in
    // order: for each, progress(load_position(i, last_line())), then
    // on_path(line i), unchanged. Nothing is taken when first_line() is
    // greater than last_line(). A line number that the file does not have
    // (a negative one included) fails with "List index out of bounds (%d)"
    // after its progress call: every line before it has then been passed to
    // on_path. Either callback may be empty.
    void read_paths(const LoadProgress& progress, const PathSink& on_path) const;
    // The first line number from first_line() to last_line() that the file
    // does not have (the one read_paths would fail on), if any.
    std::optional<std::int64_t> first_missing_line() const;

  private:
    std::string path_;
    std::string text_;
    Mode mode_ = Mode::BmpToJpeg;
    int first_line_ = -1;
    int last_line_ = -1;
};

struct ListFile {
    Mode mode;
    std::vector<std::string> paths;
};

// Opens and reads a whole list file. Fails as ListFileReader and read_paths
// do; on a failure the paths read so far are dropped (a caller that must keep
// them uses ListFileReader::read_paths).
ListFile load_list_file(const std::string& path, const LoadProgress& progress = {});

}  // namespace quillora::filelist
