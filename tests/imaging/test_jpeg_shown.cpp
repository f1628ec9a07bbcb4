// JPEG pictures as a viewer shows them: turned by their EXIF orientation,
// CMYK converted, and colours through their embedded profile to sRGB.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/converters.h"
#include "imaging/bitmap.h"
#include "imaging/bmp.h"
#include "imaging/colour_profile.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_metadata.h"
#include "imaging/jpeg_scaled.h"
#include "platform/display.h"
#include "support/bitmap_pixel.h"
#include "support/jpeg_files.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using testing::Bytes;
using testing::pixel_at;

Bytes data_bytes(const std::string& name) {
    return testing::read_bytes(std::string(QUILLORA_TEST_DATA) + "/" + name);
}

// ---------------------------------------------------------------------------
// Reading the orientation

TEST(ExifOrientation, ReadFromIfd0InEitherByteOrder) {
    for (bool little : {true, false}) {
        for (int value = 1; value <= 8; ++value) {
            EXPECT_EQ(exif_orientation(testing::exif_tiff(value, little)), value)
                << value << (little ? " II" : " MM");
        }
    }
}

TEST(ExifOrientation, AnythingMalformedCountsAsOne) {
    const Bytes good = testing::exif_tiff(6);
    auto changed = [&](std::size_t at, std::initializer_list<std::uint8_t> bytes,
                       const Bytes& from = {}) {
        Bytes t = from.empty() ? good : from;
        std::copy(bytes.begin(), bytes.end(), t.begin() + static_cast<std::ptrdiff_t>(at));
        return t;
    };
    // The orientation entry is the second of IFD0: tag at 22, type at 24,
    // count at 26, value at 30; the link to the next IFD at 34.
    const struct {
        const char* what;
        Bytes tiff;
    } cases[] = {
        {"value 0", testing::exif_tiff(0)},
        {"value 9", testing::exif_tiff(9)},
        {"value 65535", testing::exif_tiff(0xFFFF)},
        {"empty", {}},
        {"no byte order", changed(0, {'X', 'X'})},
        {"not 42", changed(2, {43})},
        {"cut inside the entry", Bytes(good.begin(), good.begin() + 31)},
        {"IFD0 past the end", changed(4, {0xF0, 0xFF, 0xFF, 0x7F})},
        {"entry count past the end, no orientation",
         changed(8, {0xFF, 0x00}, changed(22, {0x13, 0x01}))},
        {"type LONG", changed(24, {4})},
        {"count 0", changed(26, {0, 0, 0, 0})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(exif_orientation(c.tiff), 1) << c.what;

    // IFD0 linking back to itself: links are never followed.
    Bytes loop = changed(34, {8, 0, 0, 0});
    EXPECT_EQ(exif_orientation(loop), 6);
    EXPECT_EQ(exif_orientation(changed(22, {0x13, 0x01}, loop)), 1);
}

TEST(JpegMetadata, FirstExifSegmentAndWholeProfiles) {
    const Bytes jpeg = encode_jpeg(Bitmap(8, 8, 24));
    // An XMP APP1 before the EXIF one, and a second EXIF one after it.
    Bytes file = testing::with_orientation(jpeg, 3);
    file = testing::with_segment(file, 0xE1, testing::exif_payload(testing::exif_tiff(8)));
    file = testing::with_segment(file, 0xE1, testing::text_bytes("http://ns.adobe.com/xap/1.0/"));
    EXPECT_EQ(read_jpeg_metadata(testing::with_orientation(file, 6)).orientation, 6);
    EXPECT_EQ(read_jpeg_metadata(file).orientation, 8);
    // A cut-off EXIF segment: its declared length runs past the data.
    Bytes cut = testing::with_orientation(jpeg, 6);
    cut.resize(20);
    EXPECT_EQ(read_jpeg_metadata(cut).orientation, 1);

    Bytes profile(1000);
    for (std::size_t i = 0; i < profile.size(); ++i)
        profile[i] = static_cast<std::uint8_t>(i * 7);
    EXPECT_EQ(read_jpeg_metadata(testing::with_profile(jpeg, profile, 300)).profile, profile);
    EXPECT_EQ(read_jpeg_metadata(testing::with_profile(jpeg, profile, 300, {4, 2, 3, 1})).profile,
              profile);
    const std::vector<std::vector<int>> broken = {{1, 2, 4}, {1, 2, 3, 4, 2}, {1, 2, 3, 4, 5}};
    for (const auto& order : broken)
        EXPECT_TRUE(
            read_jpeg_metadata(testing::with_profile(jpeg, profile, 300, order)).profile.empty());
    EXPECT_TRUE(read_jpeg_metadata(jpeg).profile.empty());
    EXPECT_EQ(read_jpeg_metadata(Bytes{'B', 'M'}).orientation, 1);
}

// ---------------------------------------------------------------------------
// Turning the picture

// A 32 x 16 picture of eight flat 8 x 8 blocks, each its own colour, so
// every turn and mirror gives a different picture.
Bytes blocks_jpeg() {
    Bitmap bitmap(32, 16, 24);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            const int block = y / 8 * 4 + x / 8;
            std::uint8_t* p = bitmap.row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(block & 1 ? 230 : 20);
            p[1] = static_cast<std::uint8_t>(block & 2 ? 230 : 20);
            p[2] = static_cast<std::uint8_t>(block & 4 ? 230 : 20);
        }
    }
    return encode_jpeg(bitmap);
}

// Where the pixel shown at (x, y) is stored, in a picture stored w x h.
std::pair<int, int> stored_at(int orientation, int x, int y, int w, int h) {
    switch (orientation) {
        case 2:
            return {w - 1 - x, y};
        case 3:
            return {w - 1 - x, h - 1 - y};
        case 4:
            return {x, h - 1 - y};
        case 5:
            return {y, x};
        case 6:
            return {y, h - 1 - x};
        case 7:
            return {w - 1 - y, h - 1 - x};
        case 8:
            return {w - 1 - y, x};
        default:
            return {x, y};
    }
}

// Every pixel of `shown` is the stored pixel the orientation puts there.
void expect_turned(const Bitmap& stored, const Bitmap& shown, int orientation) {
    const bool swapped = orientation >= 5;
    ASSERT_EQ(shown.width(), swapped ? stored.height() : stored.width()) << orientation;
    ASSERT_EQ(shown.height(), swapped ? stored.width() : stored.height()) << orientation;
    int wrong = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            auto [sx, sy] = stored_at(orientation, x, y, stored.width(), stored.height());
            wrong += pixel_at(shown, x, y) != pixel_at(stored, sx, sy);
        }
    }
    EXPECT_EQ(wrong, 0) << "orientation " << orientation;
}

TEST(JpegOrientation, EveryDrawingPathTurnsThePicture) {
    display::ScopedDisplay screen(32);
    const Bytes plain = blocks_jpeg();
    JpegPicture reference(plain);
    const Bitmap& stored = reference.decoded();
    Bitmap stored_screen = create_screen_bitmap(32, 16);
    JpegPicture(plain).draw(stored_screen);
    const Bitmap stored_small = decode_jpeg_scaled(plain, {4, 2});
    ASSERT_EQ(stored_small.width(), 4);

    for (int orientation = 1; orientation <= 8; ++orientation) {
        for (bool little : {true, false}) {
            const Bytes file = testing::with_orientation(plain, orientation, little);
            JpegPicture picture(file);
            EXPECT_EQ(picture.orientation(), orientation);
            expect_turned(stored, picture.decoded(), orientation);

            // Straight into a screen bitmap of the size shown.
            JpegPicture fresh(file);
            Bitmap shown = create_screen_bitmap(fresh.width(), fresh.height());
            ASSERT_TRUE(fresh.decodes_straight_into(shown.width(), shown.height(), 32, true));
            fresh.draw(shown);
            expect_turned(stored_screen, shown, orientation);

            // The thumbnail's reduced decoding: the size asked is as shown.
            const bool swapped = orientation >= 5;
            const Bitmap small =
                decode_jpeg_scaled(file, swapped ? display::Size{2, 4} : display::Size{4, 2});
            expect_turned(stored_small, small, orientation);
        }
    }
}

TEST(JpegOrientation, QuantisedPicturesTurnToo) {
    display::ScopedDisplay screen(8);
    display::set_startup_depth(8);
    const Bytes plain = blocks_jpeg();
    JpegPicture reference(plain);
    const Bitmap& stored = reference.decoded();
    ASSERT_EQ(stored.bpp(), 8);
    for (int orientation : {2, 6, 7}) {
        JpegPicture picture(testing::with_orientation(plain, orientation));
        const Bitmap& shown = picture.decoded();
        EXPECT_EQ(shown.palette(), stored.palette());
        expect_turned(stored, shown, orientation);
    }
}

TEST(JpegOrientation, TheConverterWritesThePictureUpright) {
    display::ScopedDisplay screen(32);
    testing::TempDir dir;
    const std::string plain = dir.write("plain.jpg", blocks_jpeg());
    const std::string turned = dir.write("turned.jpg", testing::with_orientation(blocks_jpeg(), 6));
    ASSERT_EQ(convert_jpeg_to_bmp(plain, (dir.path() / "plain").string()),
              ConvertResult::Converted);
    ASSERT_EQ(convert_jpeg_to_bmp(turned, (dir.path() / "turned").string()),
              ConvertResult::Converted);
    const Bitmap stored = read_bmp((dir.path() / "plain.bmp").string());
    const Bitmap shown = read_bmp((dir.path() / "turned.bmp").string());
    EXPECT_EQ(shown.width(), 16);
    EXPECT_EQ(shown.height(), 32);
    expect_turned(stored, shown, 6);
}

// ---------------------------------------------------------------------------
// CMYK

using Inks = std::array<std::uint8_t, 4>;

// The colour at the middle of a flat picture, as 0xRRGGBB.
std::uint32_t middle(const Bitmap& bitmap) {
    Bitmap wide = create_screen_bitmap(bitmap.width(), bitmap.height(), 32);
    draw(bitmap, wide);
    return pixel_at(wide, bitmap.width() / 2, bitmap.height() / 2) & 0xFFFFFF;
}

bool close_to(std::uint32_t got, std::uint32_t want, int tolerance) {
    for (int shift : {0, 8, 16}) {
        const int a = static_cast<int>(got >> shift & 0xFF);
        const int b = static_cast<int>(want >> shift & 0xFF);
        if (std::abs(a - b) > tolerance)
            return false;
    }
    return true;
}

std::uint32_t ink_formula(const Inks& ink) {
    auto light = [&](int c) { return (255 - ink[c]) * (255 - ink[3]) / 255; };
    return static_cast<std::uint32_t>(light(0) << 16 | light(1) << 8 | light(2));
}

struct CmykStorage {
    const char* what;
    bool ycck, adobe;
};
constexpr CmykStorage kStorages[] = {
    {"CMYK, Adobe", false, true}, {"CMYK, plain", false, false}, {"YCCK, Adobe", true, true}};

TEST(JpegCmyk, WithoutAProfileByTheInkFormula) {
    display::ScopedDisplay screen(32);
    const Inks colours[] = {{0, 255, 255, 0},   {255, 0, 0, 0}, {0, 0, 0, 128},
                            {64, 128, 192, 32}, {0, 0, 0, 0},   {255, 255, 255, 255}};
    for (const CmykStorage& storage : kStorages) {
        for (const Inks& ink : colours) {
            const Bytes file = testing::cmyk_jpeg(
                24, 16, [&](int, int) { return ink; }, storage.ycck, storage.adobe);
            const std::uint32_t want = ink_formula(ink);
            JpegPicture picture(file);
            EXPECT_TRUE(close_to(middle(picture.decoded()), want, 3)) << storage.what;
            JpegPicture straight(file);
            Bitmap screen_bitmap = create_screen_bitmap(24, 16);
            straight.draw(screen_bitmap);
            EXPECT_TRUE(close_to(pixel_at(screen_bitmap, 12, 8), want, 3)) << storage.what;
            EXPECT_TRUE(close_to(middle(decode_jpeg_scaled(file, {3, 2})), want, 3))
                << storage.what;
        }
    }
}

TEST(JpegCmyk, OnAnEightBitScreenToo) {
    display::ScopedDisplay screen(8);
    display::set_startup_depth(8);
    const Inks ink = {0, 255, 255, 0};
    JpegPicture picture(testing::cmyk_jpeg(
        16, 16, [&](int, int) { return ink; }, false, true));
    EXPECT_TRUE(close_to(middle(picture.decoded()), 0xFF0000, 3));
    // A real file as a print workflow writes it: YCCK with an Adobe segment.
    JpegPicture real(data_bytes("cmyk.jpg"));
    EXPECT_EQ(real.decoded().width(), 48);
}

// The bytes of a profile made here, which is closed.
Bytes saved(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// Samples the CLUT of the test CMYK profile: the ink formula, with red and
// blue swapped, as CIE Lab.
struct ProfileSampler {
    cmsHTRANSFORM to_lab;
};

int swapped_ink_colour(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    const auto* sampler = static_cast<ProfileSampler*>(cargo);
    const double k = 1.0 - in[3] / 65535.0;
    const double rgb[3] = {(1.0 - in[2] / 65535.0) * k, (1.0 - in[1] / 65535.0) * k,
                           (1.0 - in[0] / 65535.0) * k};
    cmsCIELab lab;
    cmsDoTransform(sampler->to_lab, rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return TRUE;
}

// A CMYK printer profile made here: what the ink formula gives, with red
// and blue swapped, so that a picture drawn through it is told apart from
// one drawn by the formula.
Bytes swapped_cmyk_profile() {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    ProfileSampler sampler{
        cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0)};
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
    cmsStageSampleCLut16bit(clut, swapped_ink_colour, &sampler, 0);
    // The table stored as A curves, grid and B curves, the curves doing nothing.
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(lut, cmsAT_END, clut);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, lut);
    Bytes bytes = saved(profile);
    cmsPipelineFree(lut);
    cmsDeleteTransform(sampler.to_lab);
    cmsCloseProfile(lab);
    cmsCloseProfile(srgb);
    return bytes;
}

TEST(JpegCmyk, ThroughTheEmbeddedProfile) {
    display::ScopedDisplay screen(32);
    const Bytes profile = swapped_cmyk_profile();
    const Inks ink = {0, 255, 255, 0};  // red by the formula, blue through the profile
    for (const CmykStorage& storage : kStorages) {
        const Bytes file = testing::with_profile(
            testing::cmyk_jpeg(
                16, 16, [&](int, int) { return ink; }, storage.ycck, storage.adobe),
            profile);
        JpegPicture picture(file);
        EXPECT_TRUE(close_to(middle(picture.decoded()), 0x0000FF, 4))
            << storage.what << " " << std::hex << middle(picture.decoded());
        EXPECT_TRUE(close_to(middle(decode_jpeg_scaled(file, {2, 2})), 0x0000FF, 4))
            << storage.what;
    }
    // A profile for other inks is passed over: the formula.
    const Bytes rgb_profile = data_bytes("icc/compatibleWithAdobeRGB1998.icc");
    JpegPicture other(testing::with_profile(testing::cmyk_jpeg(
                                                16, 16, [&](int, int) { return ink; }, false, true),
                                            rgb_profile));
    EXPECT_TRUE(close_to(middle(other.decoded()), 0xFF0000, 3));
}

// ---------------------------------------------------------------------------
// Embedded profiles of RGB pictures

double from_adobe(int v) {
    return std::pow(v / 255.0, 563.0 / 256.0);
}

int to_srgb(double linear) {
    linear = std::clamp(linear, 0.0, 1.0);
    const double v =
        linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return static_cast<int>(std::lround(v * 255));
}

// An Adobe RGB colour in sRGB, by the published matrices (both white points
// D65), as 0xRRGGBB.
std::uint32_t adobe_in_srgb(int r, int g, int b) {
    const double lin[3] = {from_adobe(r), from_adobe(g), from_adobe(b)};
    const double to_xyz[3][3] = {{0.5767309, 0.1855540, 0.1881852},
                                 {0.2973769, 0.6273491, 0.0752741},
                                 {0.0270343, 0.0706872, 0.9911085}};
    const double to_srgb_lin[3][3] = {{3.2404542, -1.5371385, -0.4985314},
                                      {-0.9692660, 1.8760108, 0.0415560},
                                      {0.0556434, -0.2040259, 1.0572252}};
    double xyz[3] = {}, out[3] = {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            xyz[i] += to_xyz[i][j] * lin[j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[i] += to_srgb_lin[i][j] * xyz[j];
    return static_cast<std::uint32_t>(to_srgb(out[0]) << 16 | to_srgb(out[1]) << 8 |
                                      to_srgb(out[2]));
}

Bytes flat_jpeg(int r, int g, int b) {
    Bitmap bitmap = create_screen_bitmap(16, 16, 24);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            std::uint8_t* p = bitmap.row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(b), p[1] = static_cast<std::uint8_t>(g),
            p[2] = static_cast<std::uint8_t>(r);
        }
    return encode_jpeg(bitmap);
}

TEST(JpegProfiles, AdobeRgbPicturesAreDrawnInSrgb) {
    display::ScopedDisplay screen(32);
    const Bytes adobe = data_bytes("icc/compatibleWithAdobeRGB1998.icc");
    const int colours[][3] = {{100, 150, 100}, {200, 60, 40}, {40, 90, 220}, {128, 128, 128}};
    for (const auto& c : colours) {
        const Bytes plain = flat_jpeg(c[0], c[1], c[2]);
        const std::uint32_t stored = middle(JpegPicture(plain).decoded());
        const std::uint32_t want =
            adobe_in_srgb(static_cast<int>(stored >> 16), static_cast<int>(stored >> 8 & 0xFF),
                          static_cast<int>(stored & 0xFF));
        const Bytes tagged = testing::with_profile(plain, adobe);
        JpegPicture picture(tagged);
        EXPECT_TRUE(close_to(middle(picture.decoded()), want, 2))
            << std::hex << middle(picture.decoded()) << " want " << want;
        JpegPicture straight(tagged);
        Bitmap shown = create_screen_bitmap(16, 16);
        straight.draw(shown);
        EXPECT_TRUE(close_to(pixel_at(shown, 8, 8), want, 2));
        EXPECT_TRUE(close_to(middle(decode_jpeg_scaled(tagged, {2, 2})), want, 2));
    }
    // Split in small chunks placed out of order: the same profile.
    const Bytes plain = flat_jpeg(200, 60, 40);
    JpegPicture in_order(testing::with_profile(plain, adobe));
    JpegPicture shuffled(testing::with_profile(plain, adobe, 100, {6, 1, 5, 2, 4, 3}));
    EXPECT_EQ(middle(shuffled.decoded()), middle(in_order.decoded()));
}

TEST(JpegProfiles, QuantisedPicturesConvertTheirPalette) {
    display::ScopedDisplay screen(8);
    display::set_startup_depth(8);
    const Bytes plain = flat_jpeg(200, 60, 40);
    JpegPicture untagged(plain);
    JpegPicture tagged(
        testing::with_profile(plain, data_bytes("icc/compatibleWithAdobeRGB1998.icc")));
    const std::uint32_t stored = middle(untagged.decoded());
    const std::uint32_t want =
        adobe_in_srgb(static_cast<int>(stored >> 16), static_cast<int>(stored >> 8 & 0xFF),
                      static_cast<int>(stored & 0xFF));
    EXPECT_TRUE(close_to(middle(tagged.decoded()), want, 2));
}

// An RGB profile of three primaries and a pure gamma, white D65.
Bytes rgb_profile(const cmsCIExyYTRIPLE& primaries, double gamma) {
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return saved(profile);
}

// Profiles of curves and a matrix take a quicker road than Little CMS's own
// transform: it must land on the same colours.
TEST(JpegProfiles, MatrixProfilesGiveLittleCmsColours) {
    const struct {
        const char* what;
        Bytes profile;
    } cases[] = {
        {"Adobe RGB", data_bytes("icc/compatibleWithAdobeRGB1998.icc")},
        {"Display P3", rgb_profile({{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, 2.2)},
        {"ProPhoto-like",
         rgb_profile({{0.7347, 0.2653, 1}, {0.1596, 0.8404, 1}, {0.0366, 0.0001, 1}}, 1.8)},
    };
    for (const auto& c : cases) {
        for (int bytes : {3, 4}) {
            const auto conversion = ColourConversion::make(JpegInks::kRgb, false, c.profile, bytes);
            ASSERT_TRUE(conversion) << c.what;
            cmsHPROFILE from = cmsOpenProfileFromMem(
                c.profile.data(), static_cast<cmsUInt32Number>(c.profile.size()));
            cmsHPROFILE srgb = cmsCreate_sRGBProfile();
            cmsHTRANSFORM lcms = cmsCreateTransform(from, TYPE_BGR_8, srgb, TYPE_BGR_8,
                                                    INTENT_PERCEPTUAL, cmsFLAGS_NOOPTIMIZE);
            int worst = 0;
            for (int r = 0; r < 256; r += 5)
                for (int g = 0; g < 256; g += 5)
                    for (int b = 0; b < 256; b += 5) {
                        const std::uint8_t in[4] = {static_cast<std::uint8_t>(b),
                                                    static_cast<std::uint8_t>(g),
                                                    static_cast<std::uint8_t>(r), 9};
                        std::uint8_t ours[4] = {}, theirs[3] = {};
                        conversion->convert(in, ours, 1);
                        cmsDoTransform(lcms, in, theirs, 1);
                        for (int k = 0; k < 3; ++k)
                            worst = std::max(worst, std::abs(ours[k] - theirs[k]));
                        if (bytes == 4) {
                            EXPECT_EQ(ours[3], 0);
                        }
                    }
            EXPECT_LE(worst, 1) << c.what;
            cmsDeleteTransform(lcms);
            cmsCloseProfile(srgb);
            cmsCloseProfile(from);
        }
    }
}

// Pictures drawn exactly as stored: the bytes of the BMP written from them
// are those of the untagged picture's.
TEST(JpegProfiles, SrgbAndUnusableProfilesLeaveThePixelsAlone) {
    display::ScopedDisplay screen(32);
    Bitmap photo = create_screen_bitmap(40, 24, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) {
            std::uint8_t* p = photo.row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x * 6), p[1] = static_cast<std::uint8_t>(y * 10),
            p[2] = static_cast<std::uint8_t>((x * y) % 256);
        }
    const Bytes plain = encode_jpeg(photo);
    auto bmp_of = [](const Bytes& jpeg) {
        JpegPicture picture(jpeg);
        Bitmap shown = create_screen_bitmap(picture.width(), picture.height());
        picture.draw(shown);
        return encode_bmp(shown);
    };
    const Bytes want = bmp_of(plain);

    const Bytes lcms_srgb = saved(cmsCreate_sRGBProfile());
    Bytes garbage(3000);
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<std::uint8_t>(i * 31 + 7);
    Bytes grey_header = lcms_srgb;  // an sRGB profile claiming grey inks
    grey_header[16] = 'G', grey_header[17] = 'R', grey_header[18] = 'A', grey_header[19] = 'Y';

    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"sRGB profile of another maker", testing::with_profile(plain, data_bytes("icc/sRGB.icc"))},
        {"Little CMS's sRGB", testing::with_profile(plain, lcms_srgb)},
        {"not a profile", testing::with_profile(plain, garbage)},
        {"a profile for other inks", testing::with_profile(plain, grey_header)},
        {"a chunk missing",
         testing::with_profile(plain, data_bytes("icc/compatibleWithAdobeRGB1998.icc"), 200,
                               {1, 3})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bmp_of(c.file), want) << c.what;
}

}  // namespace
}  // namespace quillora
