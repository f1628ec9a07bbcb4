#include "filelist/list_file.h"

#include <algorithm>
#include <optional>

#include "platform/files.h"
#include "platform/profile.h"

namespace quillora::filelist {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
// Bytes gathered before each write while saving.
constexpr std::size_t kWriteChunk = 64 * 1024;

// Walks the lines of a text from the first: a line ends at CR, LF or CR LF,
// and a final line without an ending still counts (an ending at the very end
// does not start another line).
class LineCursor {
  public:
    explicit LineCursor(std::string_view text) : text_(text) {}

    // The next line, or false when the text has no more lines.
    bool next(std::string_view& line) {
        if (pos_ >= text_.size())
            return false;
        std::size_t end = text_.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end;
        if (pos_ < text_.size() && text_[pos_++] == '\r' && pos_ < text_.size() &&
            text_[pos_] == '\n')
            ++pos_;
        return true;
    }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

}  // namespace

ListFileRefused::ListFileRefused(Reason reason, const std::string& message, int item,
                                 SourcePlace where)
    : Error(message, where), reason_(reason), item_(item) {}

void save_list_file(const std::string& path, Mode mode, std::span<const std::string> paths) {
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (paths[i].find_first_of("\r\n") != std::string::npos) {
            throw ListFileRefused(ListFileRefused::Reason::PathWithLineBreak,
                                  "A lista não foi salva: o caminho do item " +
                                      std::to_string(i + 1) +
                                      " contém uma quebra de linha, que não pode ser gravada "
                                      "em um arquivo de lista.",
                                  static_cast<int>(std::min<std::size_t>(i, INT32_MAX)));
        }
    }

    std::optional<files::OutputFile> out;
    try {
        out.emplace(path);
    } catch (const Error&) {
        throw Error("Unable to write to " + path);
    }

    std::string buffer;
    buffer.reserve(kWriteChunk + 4096);
    buffer.append("[").append(kListSection).append("]").append(kLineEnd);
    buffer.append(kKeyMode).append("=").append(std::to_string(static_cast<int>(mode)));
    buffer.append(kLineEnd);
    buffer.append(kKeyFirstLine).append("=").append(std::to_string(kFirstPathLine));
    buffer.append(kLineEnd);
    const std::uint64_t last_line = static_cast<std::uint64_t>(paths.size()) + kFirstPathLine - 1;
    buffer.append(kKeyLastLine).append("=").append(std::to_string(last_line)).append(kLineEnd);
    for (const std::string& item : paths) {
        buffer.append(item).append(kLineEnd);
        if (buffer.size() >= kWriteChunk) {
            out->write(buffer.data(), buffer.size());
            buffer.clear();
        }
    }
    out->write(buffer.data(), buffer.size());
    out->commit();
}

int load_position(std::int64_t line, int last_line) noexcept {
    if (last_line == 0)
        return 100;
    return static_cast<int>(std::clamp<std::int64_t>(line * 100 / last_line, 0, 100));
}

ListFileReader::ListFileReader(const std::string& path) : path_(path) {
    if (!files::exists(path)) {
        throw ListFileRefused(ListFileRefused::Reason::NotFound,
                              "O arquivo " + quoted(path) + " não foi encontrado.");
    }
    try {
        files::InputFile file(path);
        text_.resize(static_cast<std::size_t>(file.size()));
        text_.resize(file.read(text_.data(), text_.size()));
    } catch (const Error&) {
        throw ListFileRefused(ListFileRefused::Reason::Unreadable,
                              "Não foi possível ler o arquivo " + quoted(path) + ".");
    }
    const int mode = profile::read_int(text_, kListSection, kKeyMode);
    auto valid = mode_from_index(mode);
    if (!valid) {
        throw ListFileRefused(ListFileRefused::Reason::NotAList,
                              "O arquivo " + quoted(path) + " não é uma lista de imagens válida.");
    }
    mode_ = *valid;
    last_line_ = profile::read_int(text_, kListSection, kKeyLastLine);
    first_line_ = profile::read_int(text_, kListSection, kKeyFirstLine);
}

void ListFileReader::read_paths(const LoadProgress& progress, const PathSink& on_path) const {
    LineCursor lines(text_);
    std::string_view line;
    bool more = first_line_ >= 0;
    // Lines before the first path; the cursor stops at the end of the text,
    // so a large "Inicio" costs no more than the file's own lines.
    for (int skipped = 0; more && skipped < first_line_; ++skipped)
        more = lines.next(line);
    for (std::int64_t i = first_line_; i <= last_line_; ++i) {
        if (progress)
            progress(load_position(i, last_line_));
        if (!more || !lines.next(line))
            throw Error("List index out of bounds (" + std::to_string(i) + ")");
        if (on_path)
            on_path(line);
    }
}

std::optional<std::int64_t> ListFileReader::first_missing_line() const {
    if (first_line_ > last_line_)
        return std::nullopt;
    if (first_line_ < 0)
        return first_line_;
    LineCursor lines(text_);
    std::string_view line;
    std::int64_t have = 0;
    while (have <= last_line_ && lines.next(line))
        ++have;
    if (have > last_line_)
        return std::nullopt;
    return std::max<std::int64_t>(first_line_, have);
}

ListFile load_list_file(const std::string& path, const LoadProgress& progress) {
    ListFileReader reader(path);
    ListFile list{reader.mode(), {}};
    reader.read_paths(progress, [&list](std::string_view line) { list.paths.emplace_back(line); });
    return list;
}

}  // namespace quillora::filelist
