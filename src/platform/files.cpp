#include "platform/files.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <mutex>
#include <utility>

#include "platform/error.h"

namespace quillora::files {

namespace {

// A file descriptor closed when it goes.
class Descriptor {
  public:
    Descriptor() noexcept = default;
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const noexcept { return fd_; }
    void reset(int fd) noexcept {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    // Hands the descriptor over to the caller, who closes it.
    int release() noexcept { return std::exchange(fd_, -1); }

  private:
    int fd_ = -1;
};

// Opens `path` for reading and reads its status. O_NONBLOCK: a named pipe
// opens at once instead of waiting for a writer. Returns 0 or the errno
// value of the failure.
int open_for_reading(const std::string& path, Descriptor& fd, struct stat& st) noexcept {
    fd.reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return errno;
    if (::fstat(fd.get(), &st) != 0)
        return errno;
    return 0;
}

// What read_to_end returns when the data goes on past the limit.
constexpr int kPastLimit = -1;

// Reads `fd` to its end into `data`, starting with room for `room` bytes and
// growing as the bytes come, but never to more than one byte past `limit`.
// Returns 0, the errno value of a failed read, or kPastLimit.
int read_to_end(int fd, std::string& data, std::size_t limit, std::size_t room) {
    const std::size_t most = limit < std::numeric_limits<std::size_t>::max() ? limit + 1 : limit;
    constexpr std::size_t kStep = 65536;
    data.resize(std::min(std::max<std::size_t>(room, 1), most));
    std::size_t have = 0;
    for (;;) {
        if (have == data.size()) {
            if (have > limit)
                return kPastLimit;
            data.resize(std::min(std::max(have * 2, kStep), most));
        }
        const ssize_t got = ::read(fd, data.data() + have, data.size() - have);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            break;
        have += static_cast<std::size_t>(got);
    }
    data.resize(have);
    return have > limit ? kPastLimit : 0;
}

Status status_of(const struct stat& st) noexcept {
    return {S_ISREG(st.st_mode), static_cast<std::int64_t>(st.st_size), st.st_mtime};
}

// Creates the folder and its missing parents. Returns 0 or an errno value.
int make_folders(const std::string& folder, mode_t mode) {
    if (folder.empty())
        return 0;
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (const auto slash = folder.find_last_of('/'); slash != std::string::npos) {
        if (int err = make_folders(folder.substr(0, slash), mode); err != 0)
            return err;
    }
    if (::mkdir(folder.c_str(), mode) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

}  // namespace

bool exists(const std::string& path) noexcept {
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool missing(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0)
        return false;
    const int err = path.empty() ? ENOENT : errno;
    if (err == ENOENT || err == ENOTDIR)
        return true;
    fail_cannot_open(path, err);
}

bool usable_folder(const std::string& path) noexcept {
    struct stat st;
    const std::string folder = path.empty() ? std::string(".") : path;
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::optional<Status> status(const std::string& path) noexcept {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return status_of(st);
}

std::optional<Status> open_status(const std::string& path) noexcept {
    Descriptor fd;
    struct stat st;
    if (path.empty() || open_for_reading(path, fd, st) != 0)
        return std::nullopt;
    return status_of(st);
}

int make_parent_folders(const std::string& path, unsigned mode) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return 0;
    return make_folders(path.substr(0, slash), static_cast<mode_t>(mode));
}

// ---------------------------------------------------------------------------

std::size_t MemoryReader::read(void* buffer, std::size_t n) {
    if (n > size_ - position_)
        n = size_ - position_;
    if (n > 0)
        std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    return n;
}

std::uint64_t MemoryReader::skip(std::uint64_t n) {
    if (n > size_ - position_)
        n = size_ - position_;
    position_ += static_cast<std::size_t>(n);
    return n;
}

InputFile::InputFile(const std::string& path) : path_(path) {
    Descriptor fd;
    struct stat st;
    if (int err = open_for_reading(path, fd, st); err != 0)
        fail_cannot_open(path, err);
    if (!S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode))
            fail_cannot_open(path, EISDIR);
        fail_cannot_open(path, kNotRegularFile);
    }
    // Regular files never block; reads go back to the normal mode.
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    size_ = static_cast<std::uint64_t>(st.st_size);
    fd_ = fd.release();
}

InputFile::~InputFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::size_t InputFile::read(void* buffer, std::size_t n) {
    if (n > remaining())
        n = static_cast<std::size_t>(remaining());
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        ssize_t got = ::read(fd_, out + done, n - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw Error(std::string(kStreamReadError));
        }
        if (got == 0)
            break;  // the file shrank after it was opened
        done += static_cast<std::size_t>(got);
    }
    position_ += done;
    if (done < n)
        size_ = position_;
    return done;
}

std::uint64_t InputFile::skip(std::uint64_t n) {
    if (n > remaining())
        n = remaining();
    if (::lseek(fd_, static_cast<off_t>(position_ + n), SEEK_SET) < 0) {
        throw Error(std::string(kStreamReadError));
    }
    position_ += n;
    return n;
}

std::vector<std::uint8_t> InputFile::read_rest() {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(remaining()));
    data.resize(read(data.data(), data.size()));
    return data;
}

std::vector<std::uint8_t> read_file(const std::string& path) {
    InputFile file(path);
    return file.read_rest();
}

std::string read_all(const std::string& path, std::size_t limit) {
    const bool standard_input = path == "-";
    Descriptor opened;
    if (!standard_input) {
        opened.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (opened.get() < 0)
            fail_cannot_open(path, errno);
    }
    std::string data;
    const int err = read_to_end(standard_input ? STDIN_FILENO : opened.get(), data, limit, 65536);
    if (err == kPastLimit)
        fail_cannot_open(path, kTooLong);
    if (err != 0)
        fail_cannot_open(path, err);
    return data;
}

std::optional<std::string> read_bounded(const std::string& path, std::size_t limit) {
    Descriptor fd;
    struct stat st;
    if (path.empty() || open_for_reading(path, fd, st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > limit) {
        return std::nullopt;
    }
    // Room for one byte past the size, so that the end is seen at once; the
    // file may still grow while it is read.
    std::string data;
    if (read_to_end(fd.get(), data, limit, static_cast<std::size_t>(st.st_size) + 1) != 0)
        return std::nullopt;
    return data;
}

// ---------------------------------------------------------------------------

namespace {

// The process's file-creation mask, read without changing it.
mode_t current_umask() {
    static const mode_t mask = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("Umask:", 0) == 0) {
                return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
            }
        }
        return static_cast<mode_t>(022);
    }();
    return mask;
}

std::string folder_of(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string temporary_pattern(const std::string& folder) {
    return folder + (folder == "/" ? "" : "/") + ".quillora-XXXXXX";
}

std::atomic<bool> unnamed_allowed{true};

// ---------------------------------------------------------------------------
// Removing named temporary files when SIGINT or SIGTERM ends the process.
//
// The handler and the threads that register files share a small table under
// a spin lock. A thread holding the lock has both signals blocked, so a
// handler never waits for the thread it interrupted; a handler running on
// another thread waits only for the few instructions of a table update.

constexpr int kCleanupSlots = 256;
const char* cleanup_paths[kCleanupSlots];
std::atomic_flag cleanup_lock = ATOMIC_FLAG_INIT;

void lock_cleanup() noexcept {
    while (cleanup_lock.test_and_set(std::memory_order_acquire)) {
    }
}

void unlock_cleanup() noexcept {
    cleanup_lock.clear(std::memory_order_release);
}

sigset_t terminating_signals() noexcept {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

extern "C" void on_terminating_signal(int signal) {
    lock_cleanup();
    for (const char* path : cleanup_paths) {
        if (path)
            ::unlink(path);
    }
    ::_exit(128 + signal);
}

// Installed for each signal whose action is still the default one: a
// program's own handler, or a signal ignored on purpose (nohup), stays.
void install_cleanup_handlers() noexcept {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int signal : {SIGINT, SIGTERM}) {
            struct sigaction old {};
            if (::sigaction(signal, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) ||
                old.sa_handler != SIG_DFL) {
                continue;
            }
            struct sigaction action {};
            action.sa_handler = on_terminating_signal;
            action.sa_mask = terminating_signals();
            ::sigaction(signal, &action, nullptr);
        }
    });
}

// Runs `update` on the table with the signals blocked in this thread.
template <class F>
void update_cleanup(F&& update) noexcept {
    const sigset_t block = terminating_signals();
    sigset_t old;
    ::pthread_sigmask(SIG_BLOCK, &block, &old);
    lock_cleanup();
    update();
    unlock_cleanup();
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

// Registers a path (which must stay valid until unregistered); returns its
// slot, or -1 when the table is full (the file is then not removed).
int register_cleanup(const char* path) noexcept {
    install_cleanup_handlers();
    int slot = -1;
    update_cleanup([&] {
        for (int i = 0; i < kCleanupSlots && slot < 0; ++i) {
            if (!cleanup_paths[i]) {
                cleanup_paths[i] = path;
                slot = i;
            }
        }
    });
    return slot;
}

void unregister_cleanup(int& slot) noexcept {
    if (slot < 0)
        return;
    update_cleanup([&] { cleanup_paths[slot] = nullptr; });
    slot = -1;
}

}  // namespace

void OutputFile::allow_unnamed(bool allowed) noexcept {
    unnamed_allowed = allowed;
}

OutputFile::OutputFile(const std::string& path, const std::string& source) : path_(path) {
    struct stat target;
    bool target_exists = ::stat(path.c_str(), &target) == 0;
    if (target_exists && !source.empty()) {
        struct stat src;
        if (::stat(source.c_str(), &src) == 0 && src.st_dev == target.st_dev &&
            src.st_ino == target.st_ino) {
            fail_cannot_create(path, kOutputIsSource);
        }
    }
    mode_t mode = 0666 & ~current_umask();
    if (target_exists) {
        if (S_ISDIR(target.st_mode))
            fail(EISDIR);
        // A file without any write permission is read-only, even for a user
        // whom the system would let write it.
        if ((target.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)
            fail(EACCES);
        mode = target.st_mode & 07777;
    }
    folder_ = folder_of(path);
    if (unnamed_allowed)
        fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        // No unnamed files here (or the folder refuses them: then the named
        // file fails with the reason the user is told).
        temp_ = temporary_pattern(folder_);
        fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
        if (fd_ < 0) {
            int err = errno;
            temp_.clear();
            fail(err);
        }
        cleanup_slot_ = register_cleanup(temp_.c_str());
    }
    ::fchmod(fd_, mode);
}

OutputFile::~OutputFile() {
    if (fd_ >= 0)
        ::close(fd_);
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    unregister_cleanup(cleanup_slot_);
}

void OutputFile::fail(int err, SourcePlace where) {
    fail_cannot_create(path_, system_error_text(err), where);
}

void OutputFile::write(const void* data, std::size_t n) {
    const auto* in = static_cast<const unsigned char*>(data);
    while (n > 0) {
        ssize_t put = ::write(fd_, in, n);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            throw Error("Stream write error");
        }
        in += put;
        n -= static_cast<std::size_t>(put);
    }
}

void OutputFile::commit() {
    if (temp_.empty())
        commit_unnamed();
    else
        commit_named();
}

void OutputFile::commit_named() {
    int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0)
        throw Error("Stream write error");
    if (::rename(temp_.c_str(), path_.c_str()) != 0)
        fail(errno);
    unregister_cleanup(cleanup_slot_);
    temp_.clear();
}

int OutputFile::link_to(const std::string& name) noexcept {
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
    if (::linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    int err = errno;
    // Without /proc, linking the descriptor itself needs a privilege.
    if (err == ENOENT && ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0)
        return 0;
    return err;
}

void OutputFile::commit_unnamed() {
    // A new target is linked in place at once; an existing one is replaced
    // by linking under a temporary name and renaming that over it.
    int err = link_to(path_);
    if (err == 0) {
        if (::close(std::exchange(fd_, -1)) != 0) {
            ::unlink(path_.c_str());
            throw Error("Stream write error");
        }
        return;
    }
    if (err != EEXIST)
        fail(err);
    for (int attempt = 0;; ++attempt) {
        // A unique name, taken by creating it, then given to the link.
        std::string name = temporary_pattern(folder_);
        int probe = ::mkostemp(name.data(), O_CLOEXEC);
        if (probe < 0)
            fail(errno);
        ::close(probe);
        ::unlink(name.c_str());
        temp_ = name;
        cleanup_slot_ = register_cleanup(temp_.c_str());
        err = link_to(temp_);
        if (err == 0)
            break;
        unregister_cleanup(cleanup_slot_);
        temp_.clear();
        if (err != EEXIST || attempt == 100)
            fail(err);
    }
    // temp_ now names the complete file: the named commit renames it.
    commit_named();
}

void write_file(const std::string& path, const void* data, std::size_t n,
                const std::string& source) {
    OutputFile out(path, source);
    out.write(data, n);
    out.commit();
}

}  // namespace quillora::files
