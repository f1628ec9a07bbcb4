#include "platform/dir_listing.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace quillora::files {

OpenOutcome classify_open_error(int err) noexcept {
    switch (err) {
        case 0:
            return OpenOutcome::Ok;
        case ENOENT:
        case ENOTDIR:
            return OpenOutcome::NotFound;
        case EACCES:
        case EPERM:
            return OpenOutcome::AccessDenied;
        default:
            return OpenOutcome::OtherError;
    }
}

DirListing::DirListing(const std::string& path) {
    dir_ = ::opendir(path.c_str());
    if (dir_ == nullptr) {
        open_error_ = errno != 0 ? errno : EIO;
        outcome_ = classify_open_error(open_error_);
    }
}

DirListing::~DirListing() {
    if (dir_ != nullptr)
        ::closedir(dir_);
}

bool DirListing::next(DirEntry& entry) {
    if (dir_ == nullptr || read_error_ != 0)
        return false;
    errno = 0;
    const dirent* d = ::readdir(dir_);
    if (d == nullptr) {
        // readdir leaves errno alone at the end of the entries.
        read_error_ = errno;
        return false;
    }
    entry.name.assign(d->d_name);
    entry.hidden = d->d_name[0] == '.';
    entry.system = false;
#ifdef DT_DIR
    if (d->d_type != DT_UNKNOWN) {
        entry.directory = d->d_type == DT_DIR;
        return true;
    }
#endif
    // The file system does not tell the kind in the listing: ask, without
    // following a link. An entry that vanished meanwhile counts as a file.
    struct stat st;
    entry.directory =
        ::fstatat(::dirfd(dir_), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
    return true;
}

}  // namespace quillora::files
