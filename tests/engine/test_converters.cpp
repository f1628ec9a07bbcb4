#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <future>
#include <thread>

#include "engine/converters.h"
#include "fuzz/hostile_inputs.h"
#include "imaging/bmp.h"
#include "imaging/jpeg.h"
#include "platform/display.h"
#include "platform/error.h"
#include "support/failure_of.h"
#include "support/fixtures.h"
#include "support/ordinary_user.h"
#include "support/png_reference.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using testing::failure_of;
using testing::make_ico;
using testing::pattern_bitmap;
using testing::read_bytes;
using testing::rgb_at;
using testing::TempDir;

class Converters : public ::testing::Test {
  protected:
    display::ScopedDisplay screen{32};
    TempDir dir;

    std::string bmp(const std::string& name, int w = 64, int h = 48) {
        write_bmp(pattern_bitmap(w, h), dir.file(name));
        return dir.file(name);
    }
    std::string jpeg(const std::string& name, int w = 64, int h = 48, int salt = 0) {
        encode_jpeg(pattern_bitmap(w, h, 24, salt), dir.file(name));
        return dir.file(name);
    }
    std::string out(const std::string& name = "") const {
        std::filesystem::create_directories(dir.file("out"));
        return dir.file("out") + (name.empty() ? "" : "/" + name);
    }
    std::string stem(Mode mode, const std::string& source) const {
        (void)mode;
        return output_stem(source, out());
    }
    std::string failure(Mode mode, const std::string& source) {
        try {
            convert_file(mode, source, stem(mode, source));
        } catch (const Error& e) {
            return e.what();
        }
        return "(no failure)";
    }
};

TEST_F(Converters, EachModeWritesItsTargetFormat) {
    std::string b = bmp("photo.bmp", 640, 480), j = jpeg("photo.jpg", 640, 480);
    ASSERT_EQ(convert_file(Mode::BmpToJpeg, b, stem(Mode::BmpToJpeg, b)), ConvertResult::Converted);
    JpegPicture written = JpegPicture::read(out("photo.jpg"));
    EXPECT_EQ(written.width(), 640);
    EXPECT_EQ(written.height(), 480);

    ASSERT_EQ(convert_file(Mode::JpegToBmp, j, stem(Mode::JpegToBmp, j)), ConvertResult::Converted);
    EXPECT_EQ(read_bytes(out("photo.bmp")).size(), 1228854u);  // 54 + 640 * 480 * 4
    Bitmap back = read_bmp(out("photo.bmp"));
    EXPECT_EQ(back.bpp(), 32);
    EXPECT_EQ(back.width(), 640);
    EXPECT_EQ(back.height(), 480);
}

TEST_F(Converters, BmpDepthFollowsTheScreen) {
    std::string j = jpeg("a.jpg", 10, 3);
    for (int depth : {32, 24, 16, 8}) {
        display::ScopedDisplay at(depth);
        convert_file(Mode::JpegToBmp, j, stem(Mode::JpegToBmp, j));
        Bitmap back = read_bmp(out("a.bmp"));
        EXPECT_EQ(back.bpp(), depth);
        EXPECT_EQ(back.width(), 10);
    }
}

TEST_F(Converters, SourceExtensionPlaysNoPart) {
    std::string readme = dir.file("README");
    std::filesystem::copy_file(bmp("x.bmp"), readme);
    convert_file(Mode::BmpToJpeg, readme, stem(Mode::BmpToJpeg, readme));
    EXPECT_TRUE(files::exists(out("README.jpg")));

    std::string dot = dir.file(".bmp");
    std::filesystem::copy_file(bmp("y.bmp"), dot);
    convert_file(Mode::BmpToJpeg, dot, stem(Mode::BmpToJpeg, dot));
    EXPECT_TRUE(files::exists(out(".jpg")));

    std::string jpeg_named_bmp = dir.file("x2.bmp");
    std::filesystem::copy_file(jpeg("z.jpg"), jpeg_named_bmp);
    EXPECT_EQ(failure(Mode::BmpToJpeg, jpeg_named_bmp), "Bitmap image is not valid");
    EXPECT_EQ(failure(Mode::JpegToBmp, bmp("w.jpg")), "JPEG error #53");
}

TEST_F(Converters, MissingSources) {
    std::string gone = dir.file("gone.bmp");
    EXPECT_EQ(convert_file(Mode::BmpToJpeg, gone, stem(Mode::BmpToJpeg, gone)),
              ConvertResult::Skipped);
    EXPECT_EQ(convert_file(Mode::JpegToBmp, gone, stem(Mode::JpegToBmp, gone)),
              ConvertResult::Skipped);
    std::string ico = dir.file("gone.ico");
    for (Mode mode : {Mode::IcoToBmp, Mode::IcoToJpeg}) {
        EXPECT_EQ(failure(mode, ico),
                  "Cannot open file \"" + ico + "\". No such file or directory");
    }
    EXPECT_TRUE(dir.entries() == std::vector<std::string>{"out"});
    EXPECT_TRUE(std::filesystem::is_empty(out()));
}

// A pipe, a link to a folder or a dangling link in a list fails at once with
// its reason; nothing waits for a writer, and only a path where nothing is
// counts as missing.
TEST_F(Converters, SourcesThatAreNoRegularFiles) {
    const std::string fifo = dir.file("pipe.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder"));
    std::filesystem::create_directory_symlink(dir.file("folder"), dir.file("folder.bmp"));
    std::filesystem::create_symlink(dir.file("nowhere"), dir.file("dangling.bmp"));
    const Mode all[] = {Mode::BmpToJpeg, Mode::JpegToBmp, Mode::IcoToBmp, Mode::IcoToJpeg};
    for (Mode mode : all) {
        SCOPED_TRACE(static_cast<int>(mode));
        EXPECT_EQ(failure(mode, fifo), "Cannot open file \"" + fifo + "\". Not a regular file");
        EXPECT_EQ(failure(mode, dir.file("folder.bmp")),
                  "Cannot open file \"" + dir.file("folder.bmp") + "\". Is a directory");
        EXPECT_EQ(
            failure(mode, dir.file("dangling.bmp")),
            "Cannot open file \"" + dir.file("dangling.bmp") + "\". No such file or directory");
    }
    EXPECT_TRUE(std::filesystem::is_empty(out()));
}

// A source the user may not look at is not missing: it fails with the reason.
TEST_F(Converters, UnreachableSourceFailsWithTheReason) {
    std::filesystem::create_directory(dir.file("locked"));
    const std::string source = bmp("locked/photo.bmp");
    out();
    ::chmod(dir.file("locked").c_str(), 0);
    const auto seen = testing::as_ordinary_user(dir.path(), [&] {
        return failure(Mode::BmpToJpeg, source) + "\n" + failure(Mode::JpegToBmp, source);
    });
    ::chmod(dir.file("locked").c_str(), 0700);
    if (!seen)
        GTEST_SKIP() << "no process without privileges could run here";
    const std::string denied = "Cannot open file \"" + source + "\". Permission denied";
    EXPECT_EQ(*seen, denied + "\n" + denied);
}

TEST_F(Converters, EmptyFiles) {
    std::string empty_bmp = dir.write("empty.bmp", "");
    convert_file(Mode::BmpToJpeg, empty_bmp, stem(Mode::BmpToJpeg, empty_bmp));
    EXPECT_TRUE(files::exists(out("empty.jpg")));
    EXPECT_EQ(read_bytes(out("empty.jpg")).size(), 0u);

    std::string empty_jpg = dir.write("empty.jpg", "");
    EXPECT_EQ(failure(Mode::JpegToBmp, empty_jpg), "JPEG error #42");
    EXPECT_FALSE(files::exists(out("empty.bmp")));
}

TEST_F(Converters, LaterSourceOfOneNameWins) {
    std::string first = jpeg("a.jpg", 8, 8, 1), second = jpeg("a.jpeg", 8, 8, 2);
    convert_file(Mode::JpegToBmp, first, stem(Mode::JpegToBmp, first));
    auto from_first = read_bytes(out("a.bmp"));
    convert_file(Mode::JpegToBmp, second, stem(Mode::JpegToBmp, second));
    auto from_second = read_bytes(out("a.bmp"));
    EXPECT_NE(from_first, from_second);
    JpegPicture pic = JpegPicture::read(second);
    Bitmap expected = create_screen_bitmap(8, 8);
    pic.draw(expected);
    EXPECT_EQ(rgb_at(read_bmp(out("a.bmp")), 3, 3), rgb_at(expected, 3, 3));
}

TEST_F(Converters, SmallIconOnWhiteSystemIconSizedBitmap) {
    testing::IcoImageFixture red16;
    // Transparent where x >= 12: black there shows the white background, red
    // there is exclusive-ored with it.
    red16.pixel = [](int x, int y) -> std::uint32_t { return x >= 12 && y < 8 ? 0 : 0xFF0000; };
    red16.transparent = [](int x, int) { return x >= 12; };
    std::string ico = dir.write("flor.ico", make_ico({red16}));

    convert_file(Mode::IcoToBmp, ico, stem(Mode::IcoToBmp, ico));
    Bitmap bmp = read_bmp(out("flor.bmp"));
    ASSERT_EQ(bmp.width(), 32);
    ASSERT_EQ(bmp.height(), 32);
    EXPECT_EQ(rgb_at(bmp, 0, 0), 0xFF0000u);
    EXPECT_EQ(rgb_at(bmp, 11, 15), 0xFF0000u);
    EXPECT_EQ(rgb_at(bmp, 12, 0), 0xFFFFFFu);
    EXPECT_EQ(rgb_at(bmp, 12, 8), 0x00FFFFu);
    EXPECT_EQ(rgb_at(bmp, 16, 16), 0xFFFFFFu);
    EXPECT_EQ(rgb_at(bmp, 0, 16), 0xFFFFFFu);

    // ICO to JPEG: the JPEG the BMP converter makes of that bitmap, and no BMP left behind.
    std::filesystem::remove(out("flor.bmp"));
    convert_file(Mode::IcoToJpeg, ico, stem(Mode::IcoToJpeg, ico));
    auto direct = read_bytes(out("flor.jpg"));
    EXPECT_FALSE(files::exists(out("flor.bmp")));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"flor.ico", "out"}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out()), {}), 1);
    convert_file(Mode::IcoToBmp, ico, stem(Mode::IcoToBmp, ico));
    std::string via_bmp = dir.file("via");
    std::filesystem::create_directory(via_bmp);
    convert_file(Mode::BmpToJpeg, out("flor.bmp"), output_stem(out("flor.bmp"), via_bmp));
    EXPECT_EQ(read_bytes(via_bmp + "/flor.jpg"), direct);
}

// A favicon.ico that is a PNG picture larger than the system icon size comes
// out reduced to fit it, from the top-left corner, on white.
TEST_F(Converters, PngFaviconIsReducedToTheSystemIconSize) {
    testing::ReferenceImage wide{64, 32, {}};
    for (int i = 0; i < 64 * 32; ++i)
        wide.bgra.insert(wide.bgra.end(), {0, 0, 255, 255});
    const std::string ico = dir.write("favicon.ico", testing::encode_png_reference(wide));
    convert_file(Mode::IcoToBmp, ico, stem(Mode::IcoToBmp, ico));
    const Bitmap bmp = read_bmp(out("favicon.bmp"));
    ASSERT_EQ(bmp.width(), 32);
    ASSERT_EQ(bmp.height(), 32);
    EXPECT_EQ(rgb_at(bmp, 31, 15), 0xFF0000u);
    EXPECT_EQ(rgb_at(bmp, 0, 16), 0xFFFFFFu);
}

TEST_F(Converters, NotAnIcon) {
    std::string cursor = dir.write("c.ico", std::vector<std::uint8_t>{0, 0, 2, 0, 1, 0});
    EXPECT_EQ(failure(Mode::IcoToBmp, cursor), "Icon image is not valid");
    EXPECT_EQ(failure(Mode::IcoToJpeg, bmp("b.ico")), "Icon image is not valid");
}

TEST_F(Converters, OutputThatIsItsOwnSourceIsRefused) {
    // A JPEG named photo.bmp converted into its own folder would overwrite itself.
    std::string source = dir.file("photo.bmp");
    std::filesystem::copy_file(jpeg("j.jpg"), source);
    auto before = read_bytes(source);
    try {
        convert_file(Mode::JpegToBmp, source, output_stem(source, dir.path().string()));
        FAIL() << "no failure";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + dir.path().string() +
                                             "/photo.bmp\". " + files::kOutputIsSource);
    }
    EXPECT_EQ(read_bytes(source), before);
}

TEST_F(Converters, FailedConversionKeepsThePreviousOutput) {
    std::string good = bmp("a.bmp");
    convert_file(Mode::BmpToJpeg, good, stem(Mode::BmpToJpeg, good));
    auto before = read_bytes(out("a.jpg"));
    std::string bad = dir.file("bad/a.bmp");
    std::filesystem::create_directory(dir.file("bad"));
    dir.write("bad/a.bmp", "BM this is not a bitmap at all, not even close to one...");
    EXPECT_NE(failure(Mode::BmpToJpeg, bad), "(no failure)");
    EXPECT_EQ(read_bytes(out("a.jpg")), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out()), {}), 1);

    ::chmod(out("a.jpg").c_str(), 0444);
    EXPECT_EQ(failure(Mode::BmpToJpeg, good),
              "Cannot create file \"" + out("a.jpg") + "\". Permission denied");
    std::string missing_dir = dir.file("nowhere");
    try {
        convert_file(Mode::BmpToJpeg, good, output_stem(good, missing_dir));
        FAIL() << "no failure";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"" + missing_dir + "/a.jpg\". No such file or directory");
    }
}

// Small files that claim huge pictures or cost the decoder a pass per scan
// fail at once, before the conversion holds anything large, and write nothing.
TEST_F(Converters, HostileFilesFailBeforeTheyCostMemoryOrTime) {
    const int side = hostile::kBombSide;
    const struct {
        const char* what;
        Mode mode;
        int depth;
        hostile::Bytes data;
        std::string message;
    } cases[] = {
        {"10,000 scans", Mode::JpegToBmp, 32, hostile::scan_bomb_jpeg(2000, 2000, 10000),
         "JPEG error #16"},
        {"cut progressive colour JPEG", Mode::JpegToBmp, 32,
         hostile::truncated_jpeg(side, side, 3, true), std::string(kOutOfResources)},
        {"cut progressive colour JPEG, 8-bit screen", Mode::JpegToBmp, 8,
         hostile::truncated_jpeg(side, side, 3, true), std::string(kOutOfResources)},
        // The screen bitmap alone nearly fills 2 GiB; the decoder's rows pass it.
        {"cut baseline colour JPEG", Mode::JpegToBmp, 32,
         hostile::truncated_jpeg(side, side, 3, false), std::string(kOutOfResources)},
        {"cut progressive grey JPEG", Mode::JpegToBmp, 32,
         hostile::truncated_jpeg(side, side, 1, true), std::string(kOutOfResources)},
        {"cut baseline colour JPEG, 16-bit screen", Mode::JpegToBmp, 16,
         hostile::truncated_jpeg(side, side, 3, false), std::string(kOutOfResources)},
        // 2 GiB of pixels is a bitmap's most; the encoder's buffers pass it.
        {"BMP headers claiming 2 GiB", Mode::BmpToJpeg, 32,
         hostile::headers_only_bmp(16384, 32768, 32), std::string(kOutOfResources)},
        {"BMP headers claiming more", Mode::BmpToJpeg, 32,
         hostile::headers_only_bmp(side, side + 2, 32), std::string(kOutOfResources)},
        {"icon of a 1-bit PNG", Mode::IcoToBmp, 32,
         hostile::icon_file(hostile::blank_png(side, side, 1)), std::string(kIconNotValid)},
        {"icon of a 1-bit PNG, to JPEG", Mode::IcoToJpeg, 16,
         hostile::icon_file(hostile::blank_png(side, side, 1)), std::string(kIconNotValid)},
        {"icon of a PNG of 1025 x 1", Mode::IcoToBmp, 32,
         hostile::icon_file(hostile::blank_png(1025, 1, 8)), std::string(kIconNotValid)},
        {"a 1-bit PNG picture as an icon", Mode::IcoToBmp, 32, hostile::blank_png(side, side, 1),
         std::string(kIconNotValid)},
    };
    for (const auto& c : cases) {
        display::ScopedDisplay at(c.depth);
        const std::string source = dir.write("hostile", c.data);
        EXPECT_EQ(failure(c.mode, source), c.message) << c.what;
        EXPECT_TRUE(std::filesystem::is_empty(out())) << c.what;
    }
    // A PNG icon image of 1024 x 1024 is still drawn.
    const std::string big =
        dir.write("big.ico", hostile::icon_file(hostile::blank_png(1024, 1024, 1)));
    EXPECT_EQ(failure(Mode::IcoToBmp, big), "(no failure)");
    EXPECT_EQ(rgb_at(read_bmp(out("big.bmp")), 0, 0), 0u);
}

TEST_F(Converters, AConversionWaitsForRoomInTheBudget) {
    const std::string source = jpeg("a.jpg");
    MemoryBudget budget(std::uint64_t{8} << 20, 0);
    std::promise<void> waiting;
    budget.set_wait_hook([&] { waiting.set_value(); });
    MemoryBudget::Lease other = budget.acquire(budget.limit());
    std::thread conversion(
        [&] { convert_file(Mode::JpegToBmp, source, stem(Mode::JpegToBmp, source), budget); });
    waiting.get_future().wait();
    EXPECT_FALSE(files::exists(out("a.bmp")));
    other.release();
    conversion.join();
    EXPECT_TRUE(files::exists(out("a.bmp")));
    EXPECT_EQ(budget.held(), 0u);

    // A conversion that could never fit fails at once.
    MemoryBudget tiny(64 << 10);
    EXPECT_EQ(failure_of([&] {
                  convert_file(Mode::JpegToBmp, source, stem(Mode::JpegToBmp, source), tiny);
              }),
              std::string(kOutOfResources));
}

}  // namespace
}  // namespace quillora
