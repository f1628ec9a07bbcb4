#include "filelist/file_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>

#include "platform/error.h"

namespace quillora {

namespace {

[[noreturn]] void fail_invalid_date(SourcePlace where = SourcePlace::current()) {
    throw Error(std::string(kInvalidDateEncode), where);
}

// Closes a descriptor on every path.
class Descriptor {
  public:
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const noexcept { return fd_; }

  private:
    int fd_;
};

}  // namespace

std::optional<std::int32_t> file_size(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    if (!S_ISREG(st.st_mode) || st.st_size <= 0)
        return 0;
    constexpr auto kLargest = std::numeric_limits<std::int32_t>::max();
    if (st.st_size >= static_cast<off_t>(kLargest))
        return kLargest;
    return static_cast<std::int32_t>(st.st_size);
}

FileDateTime fat_date_time(const std::tm& local) {
    // tm_year counts from 1900; compare before adding so nothing overflows.
    if (local.tm_year < kFirstFatYear - 1900 || local.tm_year > kLastFatYear - 1900)
        fail_invalid_date();
    if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday < 1 || local.tm_mday > 31 ||
        local.tm_hour < 0 || local.tm_hour > 23 || local.tm_min < 0 || local.tm_min > 59 ||
        local.tm_sec < 0 || local.tm_sec > 60) {
        fail_invalid_date();
    }
    FileDateTime result;
    result.year = local.tm_year + 1900;
    result.month = local.tm_mon + 1;
    result.day = local.tm_mday;
    result.hour = local.tm_hour;
    result.minute = local.tm_min;
    // Two-second steps; a leap second stays inside its minute.
    const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
    result.second = second / 2 * 2;
    return result;
}

FileDateTime fat_date_time(std::time_t moment) {
    std::tm local{};
    if (::localtime_r(&moment, &local) == nullptr)
        fail_invalid_date();
    return fat_date_time(local);
}

FileDateTime file_date_time(const std::string& path) {
    // Non-blocking, so that a named pipe in the list cannot hang the open.
    Descriptor file(path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0)
        fail_invalid_date();
    struct stat st;
    if (::fstat(file.get(), &st) != 0)
        fail_invalid_date();
    return fat_date_time(st.st_mtime);
}

}  // namespace quillora
