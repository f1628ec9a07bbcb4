// Facts about a listed file that the information panel shows: its size as a
// directory listing gives it and its last-write time in the FAT date-time
// form.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace quillora {

// A date and time as the FAT file system records it: local time, years 1980
// to 2107, seconds in steps of two.
struct FileDateTime {
    int year = 1980;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;  // even, 0 to 58
    friend bool operator==(const FileDateTime&, const FileDateTime&) = default;
};

// The failure of a time that cannot be given as a date.
inline constexpr std::string_view kInvalidDateEncode = "Invalid argument to date encode";

// The first and last year of the FAT date-time form.
inline constexpr int kFirstFatYear = 1980;
inline constexpr int kLastFatYear = 2107;

// The size of the entry at `path` (symbolic links followed) as a signed
// 32-bit count: a regular file's byte count, 0 for anything else (a folder,
// a device). Sizes of 2 GiB or more read as 2147483647. Nothing when there
// is no such entry.
std::optional<std::int32_t> file_size(const std::string& path);

// A broken-down local time in the FAT form: the seconds rounded down to an
// even count (a leap second counts as 58). Fails with "Invalid argument to
// date encode" when the year lies outside 1980 to 2107 or a field is out of
// its range.
FileDateTime fat_date_time(const std::tm& local);

// A moment converted to local time, then to the FAT form (as above).
FileDateTime fat_date_time(std::time_t moment);

// The last-write time of a file (not its creation time), in local time and
// the FAT form. The file is opened for reading first and closed again; when
// it cannot be opened, or its time cannot be read or given in the FAT form,
// fails with "Invalid argument to date encode".
FileDateTime file_date_time(const std::string& path);

}  // namespace quillora
