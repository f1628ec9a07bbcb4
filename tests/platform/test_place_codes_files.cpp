// Each check that can fire gives its failure a place code of its own, so that
// a user's report points at the check: failures of outputs and of file dates
// raised by different checks carry different places.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "filelist/file_info.h"
#include "platform/error.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using quillora::testing::TempDir;

struct Failure {
    std::string name;
    std::function<void()> raise;
};

// Every case fails, each at a place no other case shares.
void expect_places_differ(const std::vector<Failure>& failures) {
    std::set<std::uint32_t> places;
    for (const auto& f : failures) {
        try {
            f.raise();
            ADD_FAILURE() << f.name << ": no failure";
        } catch (const Error& e) {
            EXPECT_TRUE(places.insert(e.place()).second)
                << f.name << " shares its place " << e.place_code() << ": " << e.what();
        }
    }
}

TEST(PlaceCodes, OutputFailuresHaveTheirOwnPlaces) {
    TempDir dir;
    const std::string source = dir.write("photo.bmp", "only copy");
    const std::string read_only = dir.write("ro.jpg", "keep");
    ::chmod(read_only.c_str(), 0444);
    std::filesystem::create_directory(dir.file("d.jpg"));
    std::vector<Failure> failures = {
        {"missing folder", [&] { files::OutputFile out(dir.file("nowhere/out.jpg")); }},
        {"target is the source", [&] { files::OutputFile out(source, source); }},
        {"target is a folder", [&] { files::OutputFile out(dir.file("d.jpg")); }},
    };
    if (::geteuid() != 0)  // permissions do not stop the superuser
        failures.push_back({"read-only target", [&] { files::OutputFile out(read_only); }});
    expect_places_differ(failures);
}

TEST(PlaceCodes, FileDateFailuresHaveTheirOwnPlaces) {
    TempDir dir;
    std::tm before_1980{};
    before_1980.tm_year = 79;
    before_1980.tm_mday = 1;
    std::tm month_13{};
    month_13.tm_year = 104;
    month_13.tm_mon = 12;
    month_13.tm_mday = 1;
    expect_places_differ({
        {"year before 1980", [&] { fat_date_time(before_1980); }},
        {"month out of range", [&] { fat_date_time(month_13); }},
        {"file that cannot be opened", [&] { file_date_time(dir.file("missing.jpg")); }},
    });
}

}  // namespace
}  // namespace quillora
