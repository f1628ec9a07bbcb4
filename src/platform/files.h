// Files: the existence test, an entry's status, reading whole files,
// creating folders, and outputs that appear only when they are complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"

namespace quillora::files {

// True when an entry of any kind (file, directory, link, ...) exists at
// exactly this path.
bool exists(const std::string& path) noexcept;

// True when nothing is at this path (or a folder on the way is missing or is
// a file). Any other reason the path cannot be looked at (no permission to
// enter a folder, a loop of links, an I/O error) is no proof that the file is
// missing: it fails with "Cannot open file "%s". %s".
bool missing(const std::string& path);

// True when this folder exists and the program may create files in it.
bool usable_folder(const std::string& path) noexcept;

// What the file system tells of an entry.
struct Status {
    bool regular = false;      // a regular file
    std::int64_t size = 0;     // its byte count as the file system gives it
    std::time_t modified = 0;  // the last-write time
};

// The status of the entry at `path`, symbolic links followed; nullopt when
// there is no such entry or it cannot be looked at.
std::optional<Status> status(const std::string& path) noexcept;

// The status of `path` as seen through opening it for reading and closing it
// again; nullopt when it cannot be opened (no such entry, no permission, a
// link to nowhere). A named pipe opens at once, without waiting for a writer.
std::optional<Status> open_status(const std::string& path) noexcept;

// Creates the missing folders on the way to `path` (not `path` itself), each
// with `mode` less the file-creation mask; a link to a folder counts as the
// folder. Returns 0, or the errno value of the failure (ENOTDIR when
// something other than a folder stands where a folder should be).
int make_parent_folders(const std::string& path, unsigned mode);

// A sequence of bytes read from the front: a file or a block of memory.
class Reader {
  public:
    virtual ~Reader() = default;
    // Bytes not read yet.
    virtual std::uint64_t remaining() const noexcept = 0;
    // Reads up to n bytes; returns how many were read (less only at the end).
    virtual std::size_t read(void* buffer, std::size_t n) = 0;
    // Skips up to n bytes; returns how many were skipped.
    virtual std::uint64_t skip(std::uint64_t n) = 0;
};

// Reads from a block of memory that outlives the reader.
class MemoryReader final : public Reader {
  public:
    MemoryReader(const void* data, std::size_t size) noexcept
        : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
    std::uint64_t remaining() const noexcept override { return size_ - position_; }
    std::size_t read(void* buffer, std::size_t n) override;
    std::uint64_t skip(std::uint64_t n) override;

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// A regular file (or a link to one) opened for reading. Fails with "Cannot
// open file "%s". %s"; anything else (a pipe, a device, a socket) fails with
// the reason kNotRegularFile at once, without waiting for a writer.
class InputFile final : public Reader {
  public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::string& path() const noexcept { return path_; }
    // Size of the file when it was opened.
    std::uint64_t size() const noexcept { return size_; }
    std::uint64_t remaining() const noexcept override { return size_ - position_; }
    std::uint64_t position() const noexcept { return position_; }
    std::size_t read(void* buffer, std::size_t n) override;
    std::uint64_t skip(std::uint64_t n) override;
    // The rest of the file.
    std::vector<std::uint8_t> read_rest();

  private:
    std::string path_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
};

// The whole content of a file. Fails with "Cannot open file "%s". %s".
std::vector<std::uint8_t> read_file(const std::string& path);

// Everything that can be read from `path` until its end: a regular file, a
// pipe or a terminal ("-" is standard input). Fails with "Cannot open file
// "%s". %s" when it cannot be opened or read, and with kTooLong past `limit`
// bytes.
std::string read_all(const std::string& path, std::size_t limit);
inline constexpr const char* kTooLong = "File too long";

// The whole content of a regular file (or a link to one) of at most `limit`
// bytes, or nullopt when it cannot be opened or read, is anything but a
// regular file (a pipe is never waited for) or holds more bytes, also when
// it grows past the limit while it is read. At most limit + 1 bytes are
// ever held.
std::optional<std::string> read_bounded(const std::string& path, std::size_t limit);

// A file being written, which appears only complete. Where the file system
// allows it the bytes go to an unnamed file in the target's folder
// (O_TMPFILE): nothing is visible until commit() links it in place, and
// nothing is left whatever ends the process, SIGKILL included. Elsewhere they
// go to a temporary file ".quillora-XXXXXX" beside the target, which SIGINT
// and SIGTERM remove before the process exits with 130 or 143 (handlers are
// installed for the signals whose action is still the default one).
// commit() puts the file in place, replacing the target in one step.
// Destroyed without commit, the file is dropped and the target is untouched.
// Creation fails with "Cannot create file "%s". %s" when the folder is
// missing or not writable, when an existing target may not be written, or
// when the target is the file named by `source` (the file being converted).
class OutputFile {
  public:
    explicit OutputFile(const std::string& path, const std::string& source = {});
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& path() const noexcept { return path_; }
    // Whether the bytes go to an unnamed file.
    bool unnamed() const noexcept { return fd_ >= 0 && temp_.empty(); }
    void write(const void* data, std::size_t n);
    void commit();

    // Whether outputs may be unnamed files (true unless a test turns it off
    // to reach the temporary names).
    static void allow_unnamed(bool allowed) noexcept;

  private:
    // "Cannot create file" with the system's text for `err`, at the
    // caller's place.
    [[noreturn]] void fail(int err, SourcePlace where = SourcePlace::current());
    void commit_unnamed();
    void commit_named();
    // Links the unnamed file in at `name`; returns 0 or the errno value.
    int link_to(const std::string& name) noexcept;

    std::string path_;
    std::string folder_;
    std::string temp_;  // the temporary name, when not unnamed
    int fd_ = -1;
    int cleanup_slot_ = -1;  // where the signal handlers find temp_
};

// Writes a whole file atomically.
void write_file(const std::string& path, const void* data, std::size_t n,
                const std::string& source = {});

// The reason given for a path that is neither a regular file nor a folder.
inline constexpr const char* kNotRegularFile = "Not a regular file";

// The default reason text when the target is the source itself.
inline constexpr const char* kOutputIsSource = "The output file is the source file";

}  // namespace quillora::files
