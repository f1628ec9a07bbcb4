#include "filelist/directory_search.h"

#include <cstddef>
#include <cstdint>
#include <utility>

namespace quillora {
namespace {

constexpr char kSeparator = '/';

// One character of a name or mask, with case folded.
struct Char {
    std::uint32_t code;
    std::size_t length;
};

// Bytes that are not part of valid UTF-8 stand for themselves, apart from
// every code point.
constexpr std::uint32_t kRawByte = 0x80000000u;

bool continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The character that starts at `at` (which is inside `text`), upper-cased.
Char char_at(std::string_view text, std::size_t at) {
    const auto b0 = static_cast<unsigned char>(text[at]);
    if (b0 < 0x80) {
        std::uint32_t c = b0;
        if (c >= 'a' && c <= 'z')
            c -= 'a' - 'A';
        return {c, 1};
    }
    const std::size_t left = text.size() - at;
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    if (b0 >= 0xC2 && b0 <= 0xDF && left >= 2 && continuation(byte(1))) {
        std::uint32_t c = (std::uint32_t(b0 & 0x1F) << 6) | (byte(1) & 0x3F);
        // Latin-1 small letters à to þ (not the division sign) fold to their
        // capitals, as the upper case of a Portuguese locale does.
        if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
            c -= 0x20;
        return {c, 2};
    }
    if (b0 >= 0xE0 && b0 <= 0xEF && left >= 3 && continuation(byte(1)) && continuation(byte(2))) {
        const unsigned char b1 = byte(1);
        const bool ok = (b0 != 0xE0 || b1 >= 0xA0) && (b0 != 0xED || b1 <= 0x9F);
        if (ok)
            return {(std::uint32_t(b0 & 0x0F) << 12) | (std::uint32_t(b1 & 0x3F) << 6) |
                        (byte(2) & 0x3F),
                    3};
    }
    if (b0 >= 0xF0 && b0 <= 0xF4 && left >= 4 && continuation(byte(1)) && continuation(byte(2)) &&
        continuation(byte(3))) {
        const unsigned char b1 = byte(1);
        const bool ok = (b0 != 0xF0 || b1 >= 0x90) && (b0 != 0xF4 || b1 <= 0x8F);
        if (ok)
            return {(std::uint32_t(b0 & 0x07) << 18) | (std::uint32_t(b1 & 0x3F) << 12) |
                        (std::uint32_t(byte(2) & 0x3F) << 6) | (byte(3) & 0x3F),
                    4};
    }
    return {kRawByte | b0, 1};
}

bool blank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// The directory path as the walk uses it: ending with the separator.
std::string with_separator(std::string dir) {
    if (dir.empty() || dir.back() != kSeparator)
        dir.push_back(kSeparator);
    return dir;
}

class Walk {
  public:
    Walk(const std::vector<std::string>& masks, bool subdirectories,
         const SearchCallbacks& callbacks, const OpenDirectory& open)
        : masks_(masks), subdirectories_(subdirectories), callbacks_(callbacks), open_(open) {}

    SearchEnd run(const std::string& root) {
        // Each pending directory keeps the subdirectories it met and how many
        // of them were visited; the stack holds the path from the root.
        struct Pending {
            std::string dir;
            std::vector<std::string> subdirs;
            std::size_t next = 0;
        };
        std::vector<Pending> stack;
        Pending first{with_separator(root), {}, 0};
        if (SearchEnd end = scan(first.dir, first.subdirs); end != SearchEnd::Done)
            return end;
        stack.push_back(std::move(first));
        while (!stack.empty()) {
            Pending& top = stack.back();
            if (top.next == top.subdirs.size()) {
                stack.pop_back();
                continue;
            }
            Pending child{with_separator(top.dir + top.subdirs[top.next]), {}, 0};
            ++top.next;
            if (SearchEnd end = scan(child.dir, child.subdirs); end != SearchEnd::Done)
                return end;
            if (!child.subdirs.empty())
                stack.push_back(std::move(child));
        }
        return SearchEnd::Done;
    }

  private:
    // Lists one directory (ending with the separator): reports its matching
    // files and collects its subdirectories.
    SearchEnd scan(const std::string& dir, std::vector<std::string>& subdirs) {
        if (callbacks_.begin_dir)
            callbacks_.begin_dir(dir.substr(0, dir.size() - 1));
        std::unique_ptr<files::DirectoryEntries> entries =
            open_ ? open_(dir) : std::make_unique<files::DirListing>(dir);
        switch (entries ? entries->outcome() : files::OpenOutcome::OtherError) {
            case files::OpenOutcome::Ok:
                break;
            case files::OpenOutcome::NotFound:
            case files::OpenOutcome::AccessDenied:
                return SearchEnd::Done;
            case files::OpenOutcome::OtherError:
                return SearchEnd::Failed;
        }
        while (entries->next(entry_)) {
            if (callbacks_.progress && !callbacks_.progress())
                return SearchEnd::Cancelled;
            if (entry_.hidden && entry_.system)
                continue;
            if (entry_.directory) {
                if (subdirectories_ && entry_.name != "." && entry_.name != "..")
                    subdirs.push_back(entry_.name);
            } else if (!entry_.special && matches_any(masks_, entry_.name) && callbacks_.found) {
                callbacks_.found(dir + entry_.name);
            }
        }
        return entries->read_failed() ? SearchEnd::Failed : SearchEnd::Done;
    }

    const std::vector<std::string>& masks_;
    const bool subdirectories_;
    const SearchCallbacks& callbacks_;
    const OpenDirectory& open_;
    files::DirEntry entry_;  // reused, so names keep their buffer
};

}  // namespace

std::vector<std::string> split_masks(std::string_view field) {
    std::vector<std::string> masks;
    for (;;) {
        const std::size_t end = field.find(';');
        std::string_view piece = field.substr(0, end);
        while (!piece.empty() && blank(piece.front()))
            piece.remove_prefix(1);
        while (!piece.empty() && blank(piece.back()))
            piece.remove_suffix(1);
        masks.emplace_back(piece);
        if (end == std::string_view::npos)
            return masks;
        field.remove_prefix(end + 1);
    }
}

bool mask_matches(std::string_view mask, std::string_view name) {
    // Greedy matching that, on a mismatch, only lets the last "*" take one
    // more character: a "*" met later makes earlier ones irrelevant, so no
    // deeper backtracking is needed.
    constexpr std::size_t kNone = std::string_view::npos;
    std::size_t m = 0, n = 0;
    std::size_t star_m = kNone, star_n = 0;
    while (n < name.size()) {
        if (m < mask.size()) {
            if (mask[m] == '*') {
                star_m = ++m;
                star_n = n;
                continue;
            }
            const Char nc = char_at(name, n);
            if (mask[m] == '?') {
                ++m;
                n += nc.length;
                continue;
            }
            const Char mc = char_at(mask, m);
            if (mc.code == nc.code) {
                m += mc.length;
                n += nc.length;
                continue;
            }
        }
        if (star_m == kNone)
            return false;
        star_n += char_at(name, star_n).length;
        m = star_m;
        n = star_n;
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

bool matches_any(const std::vector<std::string>& masks, std::string_view name) {
    for (const std::string& mask : masks) {
        if (mask_matches(mask, name))
            return true;
    }
    return false;
}

SearchEnd search_directory(const std::string& root, const std::vector<std::string>& masks,
                           bool subdirectories, const SearchCallbacks& callbacks,
                           const OpenDirectory& open) {
    if (root.empty())
        return SearchEnd::Done;
    return Walk(masks, subdirectories, callbacks, open).run(root);
}

}  // namespace quillora
