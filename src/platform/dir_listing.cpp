#include "platform/dir_listing.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

namespace {

unsigned char upper(char c) noexcept {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - ('a' - 'A')) : u;
}

// A name's first sixteen bytes upper-cased, as two numbers that hold them
// first byte highest and 0 past the name's end: comparing the pairs compares
// those bytes as listed_before does.
void sort_keys(std::string_view name, std::uint64_t (&keys)[2]) noexcept {
    unsigned char bytes[16] = {};
    std::memcpy(bytes, name.data(), std::min(name.size(), sizeof bytes));
    for (int half = 0; half < 2; ++half) {
        std::uint64_t key = 0;
        for (int i = 0; i < 8; ++i)
            key = (key << 8) | upper(static_cast<char>(bytes[half * 8 + i]));
        keys[half] = key;
    }
}

}  // namespace

bool listed_before(std::string_view a, std::string_view b) noexcept {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = upper(a[i]), y = upper(b[i]);
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    // The same letters but for case: the bytes decide (char_traits<char>
    // compares them as unsigned values).
    return a < b;
}

DirListing::DirListing(const std::string& path) {
    dir_.reset(::opendir(path.c_str()));
    if (dir_ == nullptr) {
        open_error_ = errno != 0 ? errno : EIO;
        outcome_ = classify_open_error(open_error_);
        return;
    }
    read_names();
}

thread_local DirListing::Spare DirListing::spare_;

DirListing::~DirListing() {
    if (names_.capacity() <= kSpareNames && names_.capacity() > spare_.names.capacity()) {
        spare_.names = std::move(names_);
        spare_.text = std::move(text_);
    }
}

void DirListing::read_names() {
    names_ = std::move(spare_.names);
    names_.clear();
    text_ = std::move(spare_.text);
    text_.clear();
    for (;;) {
        errno = 0;
        const dirent* d = ::readdir(dir_.get());
        if (d == nullptr) {
            // readdir leaves errno alone at the end of the entries.
            read_error_ = errno;
            break;
        }
        const std::size_t length = std::strlen(d->d_name);
#ifdef DT_DIR
        const unsigned char type = d->d_type;
#else
        const unsigned char type = 0;  // not told
#endif
        Name& listed = names_.emplace_back();
        sort_keys(std::string_view(d->d_name, length), listed.key);
        listed.offset = text_.size();
        listed.length = static_cast<std::uint32_t>(length);
        listed.type = type;
        text_.append(d->d_name, length + 1);
        for (std::size_t i = 0; i < length; ++i)
            text_.push_back(static_cast<char>(upper(d->d_name[i])));
        text_.push_back('\0');
    }
    // Most names differ in their first sixteen bytes, so most comparisons
    // end at the keys; sorting takes a good part of a listing's time. Names
    // that share a long start (a camera's IMG_2024...) compare their
    // upper-case forms, made once, as plain bytes.
    auto original = [this](const Name& n) {
        return std::string_view(text_.data() + n.offset, n.length);
    };
    auto upper_case = [this](const Name& n) {
        return std::string_view(text_.data() + n.offset + n.length + 1, n.length);
    };
    std::sort(names_.begin(), names_.end(), [&](const Name& a, const Name& b) {
        if (a.key[0] != b.key[0])
            return a.key[0] < b.key[0];
        if (a.key[1] != b.key[1])
            return a.key[1] < b.key[1];
        if (const int order = upper_case(a).compare(upper_case(b)); order != 0)
            return order < 0;
        return original(a) < original(b);
    });
}

bool DirListing::next(DirEntry& entry) {
    if (at_ == names_.size())
        return false;
    const Name& listed = names_[at_++];
    const char* name = text_.data() + listed.offset;
    entry.name.assign(name, listed.length);
    entry.hidden = name[0] == '.';
    entry.system = false;
    entry.directory = false;
    entry.special = false;
    mode_t kind = 0;
#ifdef DT_DIR
    switch (listed.type) {
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
        // The file system did not tell the kind in the listing: ask, without
        // following a link. An entry that vanished meanwhile counts as a file.
        if (::fstatat(::dirfd(dir_.get()), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return true;
        kind = st.st_mode & S_IFMT;
    }
    if (kind == S_IFDIR) {
        entry.directory = true;
    } else if (kind == S_IFLNK) {
        // A link is never followed into, and is taken only when it leads to a
        // regular file.
        entry.special = ::fstatat(::dirfd(dir_.get()), name, &st, 0) != 0 || !S_ISREG(st.st_mode);
    } else {
        entry.special = kind != S_IFREG;
    }
    return true;
}

}  // namespace quillora::files
