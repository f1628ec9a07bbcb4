#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>

#include "platform/error.h"

namespace quillora::files {

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
    // Without O_NONBLOCK, opening a named pipe would wait for a writer.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        fail_cannot_open(path, errno);
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        int err = errno;
        ::close(fd_);
        fail_cannot_open(path, err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd_);
        if (S_ISDIR(st.st_mode))
            fail_cannot_open(path, EISDIR);
        fail_cannot_open(path, kNotRegularFile);
    }
    // Regular files never block; reads go back to the normal mode.
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    size_ = static_cast<std::uint64_t>(st.st_size);
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
    const int fd = standard_input ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail_cannot_open(path, errno);
    struct Closer {
        int fd;
        bool keep;
        ~Closer() {
            if (!keep)
                ::close(fd);
        }
    } closer{fd, standard_input};
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail_cannot_open(path, errno);
        }
        if (got == 0)
            return data;
        if (static_cast<std::size_t>(got) > limit - data.size())
            fail_cannot_open(path, kTooLong);
        data.append(buffer, static_cast<std::size_t>(got));
    }
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

}  // namespace

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
    std::string folder = folder_of(path);
    temp_ = folder + (folder == "/" ? "" : "/") + ".quillora-XXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        int err = errno;
        temp_.clear();
        fail(err);
    }
    ::fchmod(fd_, mode);
}

OutputFile::~OutputFile() {
    if (fd_ >= 0)
        ::close(fd_);
    if (!temp_.empty())
        ::unlink(temp_.c_str());
}

void OutputFile::fail(int err) {
    fail_cannot_create(path_, system_error_text(err));
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
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        throw Error("Stream write error");
    if (::rename(temp_.c_str(), path_.c_str()) != 0)
        fail(errno);
    temp_.clear();
}

void write_file(const std::string& path, const void* data, std::size_t n,
                const std::string& source) {
    OutputFile out(path, source);
    out.write(data, n);
    out.commit();
}

}  // namespace quillora::files
