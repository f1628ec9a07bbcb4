#include "filelist/file_info.h"

#include <limits>

#include "platform/error.h"
#include "platform/files.h"

namespace quillora {

std::optional<std::int32_t> file_size(const std::string& path) {
    const auto status = files::status(path);
    if (!status)
        return std::nullopt;
    if (!status->regular || status->size <= 0)
        return 0;
    constexpr auto kLargest = std::numeric_limits<std::int32_t>::max();
    if (status->size >= kLargest)
        return kLargest;
    return static_cast<std::int32_t>(status->size);
}

FileDateTime fat_date_time(const std::tm& local) {
    // tm_year counts from 1900; compare before adding so nothing overflows.
    if (local.tm_year < kFirstFatYear - 1900 || local.tm_year > kLastFatYear - 1900)
        fail(kInvalidDateEncode);
    if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday < 1 || local.tm_mday > 31 ||
        local.tm_hour < 0 || local.tm_hour > 23 || local.tm_min < 0 || local.tm_min > 59 ||
        local.tm_sec < 0 || local.tm_sec > 60) {
        fail(kInvalidDateEncode);
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
        fail(kInvalidDateEncode);
    return fat_date_time(local);
}

FileDateTime file_date_time(const std::string& path) {
    // The file is opened, as reading its time needs; a named pipe in the list
    // does not hang the open.
    const auto status = files::open_status(path);
    if (!status)
        fail(kInvalidDateEncode);
    return fat_date_time(status->modified);
}

}  // namespace quillora
