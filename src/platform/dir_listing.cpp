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
    entry.directory = false;
    entry.special = false;
    mode_t kind = 0;
#ifdef DT_DIR
    switch (d->d_type) {
        case DT_DIR:
            entry.directory = true;
            return true;
        case DT_REG:
            return true;
        case DT_LNK:
            kind = S_IFLNK;
            break;
        case DT_UNKNOWN:
            break;
        default:
            entry.special = true;
            return true;
    }
#endif
    struct stat st;
    if (kind == 0) {
        // The file system does not tell the kind in the listing: ask, without
        // following a link. An entry that vanished meanwhile counts as a file.
        if (::fstatat(::dirfd(dir_), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return true;
        kind = st.st_mode & S_IFMT;
    }
    if (kind == S_IFDIR) {
        entry.directory = true;
    } else if (kind == S_IFLNK) {
        // A link is never followed into, and is taken only when it leads to a
        // regular file.
        entry.special = ::fstatat(::dirfd(dir_), d->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode);
    } else {
        entry.special = kind != S_IFREG;
    }
    return true;
}

}  // namespace quillora::files
