// The facts of the information panel that need no window: file sizes, the
// last-write time in the FAT form, thumbnail sizes, and decoding a JPEG at a
// reduced scale for the thumbnail.
#include "filelist/file_info.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "filelist/thumbnail.h"
#include "imaging/bitmap.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_scaled.h"
#include "platform/error.h"
#include "support/failure_of.h"
#include "support/fixtures.h"
#include "support/scoped_time_zone.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using testing::TempDir;

using testing::failure_of;

const std::string kInvalidDate(kInvalidDateEncode);

using testing::ScopedTimeZone;

// Seconds since 1970 of a UTC date and time (days from the civil calendar).
std::time_t utc(int year, int month, int day, int hour, int minute, int second) {
    const int y = month <= 2 ? year - 1 : year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = static_cast<long long>(era) * 146097 + doe - 719468;
    return static_cast<std::time_t>(days * 86400 + hour * 3600 + minute * 60 + second);
}

void set_mtime(const std::string& path, std::time_t when) {
    timespec times[2];
    times[0].tv_sec = when;
    times[0].tv_nsec = 0;
    times[1].tv_sec = when;
    times[1].tv_nsec = 0;
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::tm local_tm(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

// ---------------------------------------------------------------------------
// The FAT date-time form

TEST(FileInfoFatTime, SecondsRoundDownToEvenAndFieldsCarryOver) {
    struct Case {
        std::tm local;
        FileDateTime expected;
    };
    const Case cases[] = {
        {local_tm(2004, 12, 25, 14, 5, 7), {2004, 12, 25, 14, 5, 6}},
        {local_tm(2004, 12, 25, 14, 5, 6), {2004, 12, 25, 14, 5, 6}},
        {local_tm(2004, 12, 25, 0, 0, 0), {2004, 12, 25, 0, 0, 0}},
        {local_tm(2004, 12, 25, 0, 0, 1), {2004, 12, 25, 0, 0, 0}},
        {local_tm(1999, 2, 28, 23, 59, 59), {1999, 2, 28, 23, 59, 58}},
        {local_tm(2016, 12, 31, 23, 59, 60), {2016, 12, 31, 23, 59, 58}},  // leap second
        {local_tm(1980, 1, 1, 0, 0, 0), {1980, 1, 1, 0, 0, 0}},
        {local_tm(2107, 12, 31, 23, 59, 59), {2107, 12, 31, 23, 59, 58}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.local.tm_year + 1900) + "-" +
                     std::to_string(c.local.tm_mon + 1) + "-" + std::to_string(c.local.tm_mday) +
                     " " + std::to_string(c.local.tm_hour) + ":" + std::to_string(c.local.tm_min) +
                     ":" + std::to_string(c.local.tm_sec));
        EXPECT_EQ(fat_date_time(c.local), c.expected);
    }
}

TEST(FileInfoFatTime, OutsideTheFatYearsOrFieldRangesFails) {
    const std::tm cases[] = {
        local_tm(1979, 12, 31, 23, 59, 59), local_tm(2108, 1, 1, 0, 0, 0),
        local_tm(1900, 1, 1, 0, 0, 0),      local_tm(-5000, 1, 1, 0, 0, 0),
        local_tm(2004, 13, 1, 0, 0, 0),     local_tm(2004, 1, 0, 0, 0, 0),
        local_tm(2004, 1, 1, 24, 0, 0),     local_tm(2004, 1, 1, 0, 60, 0),
        local_tm(2004, 1, 1, 0, 0, -1),
    };
    for (const std::tm& local : cases) {
        SCOPED_TRACE(local.tm_year + 1900);
        EXPECT_EQ(failure_of([&] { fat_date_time(local); }), kInvalidDate);
    }
}

TEST(FileInfoFatTime, MomentsAreTakenInLocalTime) {
    {
        ScopedTimeZone zone("UTC");
        EXPECT_EQ(fat_date_time(utc(2004, 12, 25, 14, 5, 7)),
                  (FileDateTime{2004, 12, 25, 14, 5, 6}));
    }
    {
        // Three hours behind UTC, no daylight saving time.
        ScopedTimeZone zone("<-03>3");
        EXPECT_EQ(fat_date_time(utc(2004, 12, 25, 14, 5, 7)),
                  (FileDateTime{2004, 12, 25, 11, 5, 6}));
        // 1980 in UTC but still 1979 here.
        EXPECT_EQ(failure_of([] { fat_date_time(utc(1980, 1, 1, 2, 0, 0)); }), kInvalidDate);
        // 2108 in UTC but still 2107 here.
        EXPECT_EQ(fat_date_time(utc(2108, 1, 1, 2, 0, 0)), (FileDateTime{2107, 12, 31, 23, 0, 0}));
    }
    {
        ScopedTimeZone zone("UTC");
        // Far outside any calendar localtime can give.
        EXPECT_EQ(failure_of([] { fat_date_time(std::numeric_limits<std::time_t>::max()); }),
                  kInvalidDate);
    }
}

// ---------------------------------------------------------------------------
// The last-write time of a file

TEST(FileInfoDate, LastWriteTimeOfFilesInLocalTime) {
    ScopedTimeZone zone("UTC");
    TempDir dir;
    const std::string path = dir.write("a.bmp", std::string("BM"));
    struct Case {
        std::time_t mtime;
        std::optional<FileDateTime> expected;  // none: the invalid-date failure
    };
    const Case cases[] = {
        {utc(2004, 12, 25, 14, 5, 7), FileDateTime{2004, 12, 25, 14, 5, 6}},
        {utc(2004, 12, 25, 0, 0, 0), FileDateTime{2004, 12, 25, 0, 0, 0}},
        {utc(1980, 1, 1, 0, 0, 0), FileDateTime{1980, 1, 1, 0, 0, 0}},
        {utc(2107, 12, 31, 23, 59, 59), FileDateTime{2107, 12, 31, 23, 59, 58}},
        {utc(1979, 12, 31, 23, 59, 59), std::nullopt},
        {utc(2108, 1, 1, 0, 0, 0), std::nullopt},
        {0, std::nullopt},  // 1970
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<long long>(c.mtime));
        set_mtime(path, c.mtime);
        if (c.expected)
            EXPECT_EQ(file_date_time(path), *c.expected);
        else
            EXPECT_EQ(failure_of([&] { file_date_time(path); }), kInvalidDate);
    }
}

TEST(FileInfoDate, FilesThatCannotBeOpenedGiveTheInvalidDateFailure) {
    ScopedTimeZone zone("UTC");
    TempDir dir;
    EXPECT_EQ(failure_of([&] { file_date_time(dir.file("missing.jpg")); }), kInvalidDate);
    EXPECT_EQ(failure_of([] { file_date_time(""); }), kInvalidDate);
    // A link to nowhere exists as an entry but cannot be opened.
    std::filesystem::create_symlink(dir.file("nowhere.jpg"), dir.file("dangling.jpg"));
    EXPECT_EQ(failure_of([&] { file_date_time(dir.file("dangling.jpg")); }), kInvalidDate);
    if (::geteuid() != 0) {  // permissions do not stop the superuser
        const std::string locked = dir.write("locked.jpg", std::string("x"));
        set_mtime(locked, utc(2004, 12, 25, 14, 5, 7));
        ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
        EXPECT_EQ(failure_of([&] { file_date_time(locked); }), kInvalidDate);
    }
}

TEST(FileInfoDate, ANamedPipeDoesNotBlockTheOpen) {
    ScopedTimeZone zone("UTC");
    TempDir dir;
    const std::string pipe = dir.file("pipe.jpg");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    set_mtime(pipe, utc(2010, 6, 1, 12, 0, 3));
    EXPECT_EQ(file_date_time(pipe), (FileDateTime{2010, 6, 1, 12, 0, 2}));
}

// ---------------------------------------------------------------------------
// File sizes

TEST(FileInfoSize, SizesAsASigned32BitCount) {
    TempDir dir;
    EXPECT_EQ(file_size(dir.write("small.bmp", std::vector<std::uint8_t>(1234, 7))), 1234);
    EXPECT_EQ(file_size(dir.write("empty.bmp", std::vector<std::uint8_t>())), 0);
    EXPECT_EQ(file_size(dir.file("missing.bmp")), std::nullopt);
    EXPECT_EQ(file_size(""), std::nullopt);
    EXPECT_EQ(file_size(dir.path().string()), 0);  // a folder
    std::filesystem::create_symlink(dir.file("small.bmp"), dir.file("link.bmp"));
    EXPECT_EQ(file_size(dir.file("link.bmp")), 1234);
    std::filesystem::create_symlink(dir.file("nowhere.bmp"), dir.file("dangling.bmp"));
    EXPECT_EQ(file_size(dir.file("dangling.bmp")), std::nullopt);
}

TEST(FileInfoSize, SizesOfTwoGibibytesOrMoreReadAsTheLargestCount) {
    TempDir dir;
    struct Case {
        off_t size;
        std::int32_t expected;
    };
    const Case cases[] = {
        {off_t{2147483646}, 2147483646},
        {off_t{2147483647}, 2147483647},
        {off_t{2147483648}, 2147483647},
        {off_t{5} << 30, 2147483647},
    };
    const std::string path = dir.file("big.bmp");
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<long long>(c.size));
        // Sparse: no data blocks are written.
        ASSERT_EQ(::truncate(dir.write("big.bmp", std::string()).c_str(), c.size), 0);
        EXPECT_EQ(file_size(path), c.expected);
    }
}

// ---------------------------------------------------------------------------
// Thumbnail sizes

TEST(ThumbnailSize, FitsTheBoxKeepingTheAspectAndNeverEnlarges) {
    struct Case {
        int width, height;
        int expected_width, expected_height;
    };
    const Case cases[] = {
        {640, 480, 70, 53},  // wider: 91 x 68 is too high, so 53 high
        {50, 30, 50, 30},    // fits: own size
        {91, 53, 91, 53},    // exactly the box
        {92, 53, 91, 52},    // one pixel too wide
        {91, 54, 89, 53},    // one pixel too high
        {53, 91, 30, 53},    // higher than wide
        {100, 100, 53, 53},  // square: the second rule
        {200, 100, 91, 45},  // wider, the first rule's height fits
        {1, 1000, 1, 53},    // never thinner than one pixel
        {1000, 1, 91, 1},     {1, 1, 1, 1},           {0, 0, 0, 0},
        {0, 500, 0, 53},      {500, 0, 91, 0},        {-4, -4, 0, 0},
        {6000, 4000, 79, 53},  // a 24-megapixel photograph
        {4000, 6000, 35, 53}, {65535, 65535, 53, 53}, {std::numeric_limits<int>::max(), 1, 91, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const display::Size size = thumbnail_size(c.width, c.height);
        EXPECT_EQ(size.width, c.expected_width);
        EXPECT_EQ(size.height, c.expected_height);
    }
}

// ---------------------------------------------------------------------------
// Reduced-scale JPEG decoding for thumbnails

std::string jpeg_error(int code) {
    return "JPEG error #" + std::to_string(code);
}

std::string data_file(const std::string& name) {
    return std::string(QUILLORA_TEST_DATA) + "/" + name;
}

TEST(JpegScaled, DivisorIsTheLargestThatKeepsAtLeastTheWantedSize) {
    struct Case {
        int width, height;
        display::Size at_least;
        int expected;
    };
    const Case cases[] = {
        {6000, 4000, {79, 53}, 8}, {640, 480, {70, 53}, 8}, {640, 480, {91, 61}, 4},
        {200, 100, {91, 45}, 2},   {180, 100, {91, 50}, 1}, {91, 53, {91, 53}, 1},
        {729, 425, {91, 53}, 8},   {720, 425, {91, 53}, 4}, {0, 0, {0, 0}, 1},
        {-1, 10, {0, 0}, 1},       {1, 1, {1, 1}, 8},       {1, 1000, {0, 53}, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        EXPECT_EQ(jpeg_scale_divisor(c.width, c.height, c.at_least), c.expected);
    }
    // Sizes round up, as the library's do.
    const display::Size size = jpeg_scaled_size(729, 425, 8);
    EXPECT_EQ(size.width, 92);
    EXPECT_EQ(size.height, 54);
}

// The mean of the full-size pixels that one reduced pixel covers.
void expect_close_to_block_means(const Bitmap& full, const Bitmap& scaled, int divisor,
                                 int tolerance) {
    for (int sy = 0; sy < scaled.height(); ++sy) {
        for (int sx = 0; sx < scaled.width(); ++sx) {
            int sum[3] = {0, 0, 0};
            int count = 0;
            for (int y = sy * divisor; y < std::min(full.height(), (sy + 1) * divisor); ++y) {
                for (int x = sx * divisor; x < std::min(full.width(), (sx + 1) * divisor); ++x) {
                    const std::uint8_t* p = full.row(y) + 3 * x;
                    for (int c = 0; c < 3; ++c)
                        sum[c] += p[c];
                    ++count;
                }
            }
            const std::uint8_t* q = scaled.row(sy) + 4 * sx;
            for (int c = 0; c < 3; ++c) {
                ASSERT_NEAR(q[c], sum[c] / count, tolerance)
                    << "pixel " << sx << "," << sy << " channel " << c;
            }
            ASSERT_EQ(q[3], 0) << "pixel " << sx << "," << sy;
        }
    }
}

// Gradients and slow waves: content whose block means survive subsampled
// colour.
Bitmap smooth_bitmap(int width, int height) {
    Bitmap bitmap(width, height, 24);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = static_cast<std::uint8_t>(x * 255 / width);
            p[1] = static_cast<std::uint8_t>(y * 255 / height);
            p[2] = static_cast<std::uint8_t>(128 + 100 * std::sin((x + y) / 23.0));
        }
    }
    return bitmap;
}

TEST(JpegScaled, ReducedPixelsAreTheMeansOfTheFullSizeBlocks) {
    const Bitmap source = smooth_bitmap(203, 117);
    const std::vector<std::uint8_t> data = encode_jpeg(source);
    JpegPicture full(data);
    struct Case {
        display::Size at_least;
        int divisor;
    };
    for (const Case& c :
         {Case{{25, 14}, 8}, Case{{40, 20}, 4}, Case{{91, 53}, 2}, Case{{150, 60}, 1}}) {
        SCOPED_TRACE(c.divisor);
        const Bitmap scaled = decode_jpeg_scaled(data, c.at_least);
        const display::Size expected = jpeg_scaled_size(203, 117, c.divisor);
        ASSERT_EQ(scaled.width(), expected.width);
        ASSERT_EQ(scaled.height(), expected.height);
        EXPECT_EQ(scaled.bpp(), 32);
        EXPECT_TRUE(scaled.top_down());
        // Plain upsampling of the chroma planes differs a little from the
        // smooth upsampling of full decoding.
        expect_close_to_block_means(full.decoded(), scaled, c.divisor, 12);
    }
}

TEST(JpegScaled, GrayscaleProgressiveAndCutOffFilesDecode) {
    for (const char* name : {"gray.jpg", "gray_progressive.jpg", "progressive.jpg",
                             "baseline_odd.jpg", "odd444.jpg"}) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> data = testing::read_bytes(data_file(name));
        JpegPicture picture(data);
        const Bitmap scaled = decode_jpeg_scaled(data, {1, 1});
        const int divisor = jpeg_scale_divisor(picture.width(), picture.height(), {1, 1});
        const display::Size expected = jpeg_scaled_size(picture.width(), picture.height(), divisor);
        EXPECT_EQ(scaled.width(), expected.width);
        EXPECT_EQ(scaled.height(), expected.height);
        if (picture.grayscale()) {
            for (int y = 0; y < scaled.height(); ++y) {
                const std::uint8_t* p = scaled.row(y);
                for (int x = 0; x < scaled.width(); ++x, p += 4) {
                    ASSERT_EQ(p[0], p[1]);
                    ASSERT_EQ(p[1], p[2]);
                }
            }
        }
    }
    // A file cut in its scan data decodes as far as it goes.
    std::vector<std::uint8_t> data = encode_jpeg(testing::pattern_bitmap(160, 96));
    data.resize(data.size() / 2);
    const Bitmap cut = decode_jpeg_scaled(data, {20, 12});
    EXPECT_EQ(cut.width(), 20);
    EXPECT_EQ(cut.height(), 12);
}

TEST(JpegScaled, LibraryFailuresAreJpegErrors) {
    EXPECT_EQ(failure_of([] { decode_jpeg_scaled({}, {10, 10}); }), jpeg_error(JERR_INPUT_EMPTY));
    const std::vector<std::uint8_t> text = {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'};
    EXPECT_EQ(failure_of([&] { decode_jpeg_scaled(text, {10, 10}); }), jpeg_error(JERR_NO_SOI));
    // Only the start of a header.
    const std::vector<std::uint8_t> header = {0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8};
    EXPECT_EQ(failure_of([&] {
                  decode_jpeg_scaled(header, {10, 10});
              }).rfind("JPEG error #", 0),
              0u);
}

}  // namespace
}  // namespace quillora
