#include "platform/folders_below.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace quillora::files {
namespace {

// A folder opened only to name others relative to it.
class FolderHandle {
  public:
    FolderHandle(int at, const char* name, bool follow) noexcept
        : fd_(::openat(at, name, O_PATH | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW))) {}
    ~FolderHandle() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    FolderHandle(FolderHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FolderHandle& operator=(FolderHandle&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const noexcept { return fd_; }

  private:
    int fd_;
};

}  // namespace

int make_folders_below(const std::string& base, std::string_view relative, unsigned mode) {
    // The base is the user's own choice: a link to a folder is that folder.
    FolderHandle folder(AT_FDCWD, base.c_str(), true);
    if (folder.get() < 0)
        return errno;
    while (!relative.empty()) {
        const std::size_t slash = relative.find('/');
        const std::string name(relative.substr(0, slash));
        relative.remove_prefix(slash == std::string_view::npos ? relative.size() : slash + 1);
        if (name.empty())
            continue;
        if (name == "." || name == "..")
            return EINVAL;
        if (::mkdirat(folder.get(), name.c_str(), static_cast<mode_t>(mode)) != 0 &&
            errno != EEXIST) {
            return errno;
        }
        // Opened without following a link: a link there, even one to a
        // folder, fails (ELOOP or ENOTDIR) instead of leading elsewhere.
        FolderHandle inner(folder.get(), name.c_str(), false);
        if (inner.get() < 0)
            return errno == ELOOP ? ENOTDIR : errno;
        folder = std::move(inner);
    }
    return 0;
}

}  // namespace quillora::files
