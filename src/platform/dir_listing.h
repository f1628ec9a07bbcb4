// Reading one directory's entries, in name order.
#pragma once

#include <dirent.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillora::files {

// One entry of a directory listing.
struct DirEntry {
    // The name as the file system gives it, byte for byte.
    std::string name;
    // A real directory. A symbolic link is never a directory here, even when
    // it points to one, so a walk never follows links (and cannot loop).
    bool directory = false;
    // The name starts with ".".
    bool hidden = false;
    // POSIX has no system attribute: always false.
    bool system = false;
    // Neither a directory nor a file that can be read as one: a pipe, a
    // socket, a device, or a link that leads to no regular file (a link to a
    // folder, a dangling link).
    bool special = false;
};

// How opening a directory for listing went.
enum class OpenOutcome {
    Ok,
    NotFound,      // nothing at that path, or not a directory
    AccessDenied,  // no permission to list it
    OtherError,    // anything else (a path too long, an I/O error, ...)
};

// The outcome for an errno value left by opening a directory.
OpenOutcome classify_open_error(int err) noexcept;

// The order of a listing: names compared by their upper-case forms (ASCII
// letters upper-cased, every other byte as it is, as an unsigned value), and
// byte for byte where those are equal, so no two names tie. A name that is
// the start of another comes first.
bool listed_before(std::string_view a, std::string_view b) noexcept;

// The entries of one directory, read one by one. Implemented by the real
// listing below and by made-up listings in tests.
class DirectoryEntries {
  public:
    virtual ~DirectoryEntries() = default;
    virtual OpenOutcome outcome() const noexcept = 0;
    // Reads the next entry into `entry` and returns true; returns false at the
    // end of the entries and on a reading error, which read_failed() tells
    // apart.
    virtual bool next(DirEntry& entry) = 0;
    virtual bool read_failed() const noexcept = 0;
};

// A directory of the file system, listed in name order (listed_before). The
// names are all read when it is opened, and the directory stays open for as
// long as this object lives, so each entry's kind is asked when it is handed
// out. It holds the names of this one directory with their upper-case forms
// (one block of bytes) and a record of 32 bytes for each, nothing of any
// other directory. "." and ".."
// are handed out in their place in that order. A reading error ends the
// names read: those read before it are handed out, then next() fails.
class DirListing final : public DirectoryEntries {
  public:
    explicit DirListing(const std::string& path);
    ~DirListing() override;
    DirListing(const DirListing&) = delete;
    DirListing& operator=(const DirListing&) = delete;

    OpenOutcome outcome() const noexcept override { return outcome_; }
    bool next(DirEntry& entry) override;
    bool read_failed() const noexcept override { return at_ == names_.size() && read_error_ != 0; }
    // The errno value of the failed open, or 0.
    int open_error() const noexcept { return open_error_; }
    // The errno value of the failed read, or 0.
    int read_error() const noexcept { return read_error_; }

  private:
    // One name: its first sixteen bytes as sort keys, where it starts in
    // text_ (each name ends with a NUL there, followed by its upper-case form
    // and another NUL), its length, and the kind the file system told with
    // it (a DT_ value).
    struct Name {
        std::uint64_t key[2];
        std::size_t offset;
        std::uint32_t length;
        unsigned char type;
    };
    void read_names();

    // The buffers a listing leaves for the next one on its thread. A walk
    // lists folder after folder; buffers allocated anew for each one make
    // the heap shrink back to the system and grow again once per folder.
    // Those of a folder with more than kSpareNames names are not kept.
    struct Spare {
        std::string text;
        std::vector<Name> names;
    };
    static constexpr std::size_t kSpareNames = 1024;
    static thread_local Spare spare_;

    struct CloseDir {
        void operator()(DIR* dir) const noexcept { ::closedir(dir); }
    };
    std::unique_ptr<DIR, CloseDir> dir_;
    OpenOutcome outcome_ = OpenOutcome::Ok;
    int open_error_ = 0;
    int read_error_ = 0;
    std::string text_;
    std::vector<Name> names_;  // in name order once read
    std::size_t at_ = 0;       // the next to hand out
};

}  // namespace quillora::files
