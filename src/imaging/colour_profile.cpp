#include "imaging/colour_profile.h"

#include "imaging/bitmap.h"

#include <lcms2.h>
#include <lcms2_plugin.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace quillora {
namespace {

// What lcms2 may hold for one conversion: a CMYK profile's tables and the
// transform's own take a few megabytes; a profile that asks for more is
// hostile, and its allocation fails inside lcms2, which refuses the profile.
constexpr std::uint64_t kMemoryCap = std::uint64_t{64} << 20;

// The memory of one lcms2 context, counted against kMemoryCap. Each block
// carries its size and its budget in front of it.
struct MemoryBudget {
    std::atomic<std::uint64_t> used{0};
};

struct alignas(std::max_align_t) BlockHeader {
    MemoryBudget* budget;
    std::uint64_t size;
};

void* budget_malloc(cmsContext context, cmsUInt32Number size) {
    auto* budget = static_cast<MemoryBudget*>(cmsGetContextUserData(context));
    if (budget) {
        const std::uint64_t before = budget->used.fetch_add(size);
        if (before + size > kMemoryCap) {
            budget->used.fetch_sub(size);
            return nullptr;
        }
    }
    auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
    if (!header) {
        if (budget)
            budget->used.fetch_sub(size);
        return nullptr;
    }
    *header = BlockHeader{budget, size};
    return header + 1;
}

void budget_free(cmsContext, void* block) {
    if (!block)
        return;
    BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
    if (header->budget)
        header->budget->used.fetch_sub(header->size);
    std::free(header);
}

void* budget_realloc(cmsContext context, void* block, cmsUInt32Number size) {
    void* moved = budget_malloc(context, size);
    if (!moved || !block)
        return moved;
    const BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
    std::memcpy(moved, block, std::min<std::uint64_t>(header->size, size));
    budget_free(context, block);
    return moved;
}

cmsPluginMemHandler memory_plugin() {
    cmsPluginMemHandler plugin{};
    plugin.base.Magic = cmsPluginMagicNumber;
    plugin.base.ExpectedVersion = 2000;
    plugin.base.Type = cmsPluginMemHandlerSig;
    plugin.MallocPtr = budget_malloc;
    plugin.FreePtr = budget_free;
    plugin.ReallocPtr = budget_realloc;
    return plugin;
}

// An lcms2 context whose memory is held to kMemoryCap; get() is null when
// lcms2 could not make one.
class Context {
  public:
    Context() {
        static cmsPluginMemHandler plugin = memory_plugin();
        context_ = cmsCreateContext(&plugin, &budget_);
    }
    ~Context() {
        if (context_)
            cmsDeleteContext(context_);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    cmsContext get() const noexcept { return context_; }

  private:
    MemoryBudget budget_;
    cmsContext context_ = nullptr;
};

struct ProfileCloser {
    void operator()(void* profile) const noexcept { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
    void operator()(void* transform) const noexcept { cmsDeleteTransform(transform); }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

// Through an lcms2 transform. The context is declared first, so it outlives
// the transform.
class ProfileConversion final : public ColourConversion {
  public:
    ProfileConversion(std::unique_ptr<Context> context, Transform transform, int bytes) noexcept
        : context_(std::move(context)), transform_(std::move(transform)), bytes_(bytes) {}

    void convert(const std::uint8_t* in, std::uint8_t* out, int pixels) const noexcept override {
        cmsDoTransform(transform_.get(), in, out, static_cast<cmsUInt32Number>(pixels));
        if (bytes_ == 4)
            clear_fourth_bytes(out, pixels);
    }

  private:
    std::unique_ptr<Context> context_;
    Transform transform_;
    int bytes_;
};

// Grey levels through a table of 256 colours, made once from the profile.
class GreyConversion final : public ColourConversion {
  public:
    GreyConversion(const std::array<std::uint8_t, 256 * 3>& table, int bytes) noexcept
        : table_(table), bytes_(bytes) {}

    void convert(const std::uint8_t* in, std::uint8_t* out, int pixels) const noexcept override {
        for (int i = 0; i < pixels; ++i) {
            const std::uint8_t* colour = &table_[3 * std::size_t{in[bytes_ * i]}];
            std::uint8_t* pixel = out + bytes_ * i;
            pixel[0] = colour[0];
            pixel[1] = colour[1];
            pixel[2] = colour[2];
            if (bytes_ == 4)
                pixel[3] = 0;
        }
    }

  private:
    std::array<std::uint8_t, 256 * 3> table_;
    int bytes_;
};

// CMYK without a profile: each ink takes its share of the light away, and
// black takes its share from all three.
class InkConversion final : public ColourConversion {
  public:
    InkConversion(bool inverted, int bytes) noexcept : inverted_(inverted), bytes_(bytes) {}

    void convert(const std::uint8_t* in, std::uint8_t* out, int pixels) const noexcept override {
        for (int i = 0; i < pixels; ++i) {
            const std::uint8_t* ink = in + 4 * i;
            // The light each ink lets through, 255 for no ink.
            const unsigned flip = inverted_ ? 0 : 255;
            const unsigned c = ink[0] ^ flip, m = ink[1] ^ flip, y = ink[2] ^ flip,
                           k = ink[3] ^ flip;
            std::uint8_t* pixel = out + bytes_ * i;
            pixel[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
            pixel[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
            pixel[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
            if (bytes_ == 4)
                pixel[3] = 0;
        }
    }

  private:
    bool inverted_;
    int bytes_;
};

// An RGB profile made of three tone curves and a matrix, as cameras and
// phones embed (Adobe RGB, Display P3, ProPhoto): its colours reach sRGB by
// one matrix between the two linear spaces, the arithmetic lcms2 does too.
// Here each input level has its column of the matrix already multiplied by
// its linear value, so a pixel costs three look-ups, two additions and the
// sRGB encoding table: a fraction of lcms2's general pipeline, which matters
// on photos of tens of millions of pixels.
class MatrixConversion final : public ColourConversion {
  public:
    // Linear light in fixed point: 1.0 is kOne.
    static constexpr int kOne = 16384;

    MatrixConversion(cmsHPROFILE profile, cmsHPROFILE srgb, int bytes, bool& usable)
        : bytes_(bytes) {
        const cmsTagSignature colorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                              cmsSigBlueColorantTag};
        const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
        cmsMAT3 source, target, target_inverse, both;
        const cmsToneCurve* decode[3];
        for (int c = 0; c < 3; ++c) {
            const auto* from = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, colorants[c]));
            const auto* to = static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb, colorants[c]));
            decode[c] = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[c]));
            if (!from || !to || !decode[c])
                return;
            // Columns: the XYZ of each primary.
            source.v[0].n[c] = from->X, source.v[1].n[c] = from->Y, source.v[2].n[c] = from->Z;
            target.v[0].n[c] = to->X, target.v[1].n[c] = to->Y, target.v[2].n[c] = to->Z;
        }
        if (!_cmsMAT3inverse(&target, &target_inverse))
            return;
        _cmsMAT3per(&both, &target_inverse, &source);
        for (int c = 0; c < 3; ++c) {
            for (int i = 0; i < 256; ++i) {
                const double linear =
                    cmsEvalToneCurveFloat(decode[c], static_cast<cmsFloat32Number>(i / 255.0));
                for (int out = 0; out < 3; ++out) {
                    // Far outside any real gamut, but never past what the
                    // sums may hold.
                    const double v = std::clamp(linear * both.v[out].n[c], -4.0, 4.0);
                    columns_[c][i][out] = static_cast<std::int32_t>(std::lround(v * kOne));
                }
                columns_[c][i][3] = 0;
            }
        }
        const auto* srgb_curve =
            static_cast<const cmsToneCurve*>(cmsReadTag(srgb, cmsSigRedTRCTag));
        cmsToneCurve* encode = srgb_curve ? cmsReverseToneCurve(srgb_curve) : nullptr;
        if (!encode)
            return;
        for (int i = 0; i <= kOne; ++i) {
            const float v = cmsEvalToneCurveFloat(encode, static_cast<cmsFloat32Number>(i) / kOne);
            encoded_[i] = static_cast<std::uint8_t>(std::clamp(v * 255.0f + 0.5f, 0.0f, 255.0f));
        }
        cmsFreeToneCurve(encode);
        usable = true;
    }

    void convert(const std::uint8_t* in, std::uint8_t* out, int pixels) const noexcept override {
        if (bytes_ == 4)
            convert_pixels<4>(columns_, encoded_, in, out, pixels);
        else
            convert_pixels<3>(columns_, encoded_, in, out, pixels);
    }

  private:
    // The tables come in as arguments: the stores through `out` could alias
    // members, which would make the compiler read them again every pixel.
    template <int kBytes>
    static void convert_pixels(const std::int32_t (*columns)[256][4], const std::uint8_t* encoded,
                               const std::uint8_t* in, std::uint8_t* out, int pixels) noexcept {
        for (int i = 0; i < pixels; ++i, in += kBytes, out += kBytes) {
            // Blue, green, red in; red, green, blue in the tables.
            const std::int32_t* r = columns[0][in[2]];
            const std::int32_t* g = columns[1][in[1]];
            const std::int32_t* b = columns[2][in[0]];
            int level[3];
#if defined(__SSE2__)
            __m128i sum = _mm_add_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(r)),
                                        _mm_load_si128(reinterpret_cast<const __m128i*>(g)));
            sum = _mm_add_epi32(sum, _mm_load_si128(reinterpret_cast<const __m128i*>(b)));
            // To 16 bits with saturation, then into [0, kOne].
            __m128i packed = _mm_packs_epi32(sum, sum);
            packed =
                _mm_min_epi16(_mm_max_epi16(packed, _mm_setzero_si128()), _mm_set1_epi16(kOne));
            const auto red_green = static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed));
            level[0] = static_cast<int>(red_green & 0xFFFF);
            level[1] = static_cast<int>(red_green >> 16);
            level[2] = _mm_extract_epi16(packed, 2);
#else
            for (int c = 0; c < 3; ++c)
                level[c] = std::clamp(r[c] + g[c] + b[c], 0, kOne);
#endif
            const std::uint8_t pixel[4] = {encoded[level[2]], encoded[level[1]], encoded[level[0]],
                                           0};
            std::memcpy(out, pixel, kBytes);
        }
    }

    int bytes_;
    // For each channel and level: that level's linear light times the
    // matrix's column of the channel, in red, green, blue, 0.
    alignas(16) std::int32_t columns_[3][256][4]{};
    std::uint8_t encoded_[kOne + 1]{};
};

cmsUInt32Number pixel_format(int bytes) noexcept {
    return bytes == 4 ? TYPE_BGRA_8 : TYPE_BGR_8;
}

bool near(int a, int b) noexcept {
    return a - b <= 1 && b - a <= 1;
}

// Whether an RGB transform leaves every colour of a grid within 1 of itself:
// an sRGB profile, by whichever maker, whatever its tags.
bool leaves_colours_alone(void* transform, int bytes) noexcept {
    constexpr int kSteps = 17;
    constexpr int kColours = kSteps * kSteps * kSteps;
    std::array<std::uint8_t, kColours * 4> in{}, out{};
    for (int i = 0; i < kColours; ++i) {
        const int steps[3] = {i % kSteps, i / kSteps % kSteps, i / (kSteps * kSteps)};
        for (int c = 0; c < 3; ++c)
            in[bytes * i + c] = static_cast<std::uint8_t>(std::min(255, steps[c] * 16));
    }
    cmsDoTransform(transform, in.data(), out.data(), kColours);
    for (int i = 0; i < kColours; ++i) {
        for (int c = 0; c < 3; ++c) {
            if (!near(in[bytes * i + c], out[bytes * i + c]))
                return false;
        }
    }
    return true;
}

std::unique_ptr<ColourConversion> grey_conversion(cmsContext context, cmsHPROFILE profile,
                                                  cmsHPROFILE srgb, int bytes) {
    Transform transform(cmsCreateTransformTHR(context, profile, TYPE_GRAY_8, srgb, TYPE_BGR_8,
                                              INTENT_PERCEPTUAL, 0));
    if (!transform)
        return nullptr;
    std::array<std::uint8_t, 256> levels{};
    for (int i = 0; i < 256; ++i)
        levels[i] = static_cast<std::uint8_t>(i);
    std::array<std::uint8_t, 256 * 3> table{};
    cmsDoTransform(transform.get(), levels.data(), table.data(), 256);
    bool same = true;
    for (int i = 0; i < 256; ++i) {
        for (int c = 0; c < 3; ++c)
            same = same && near(table[3 * i + c], i);
    }
    if (same)
        return nullptr;
    return std::make_unique<GreyConversion>(table, bytes);
}

}  // namespace

std::unique_ptr<ColourConversion> ColourConversion::make(JpegInks inks, bool inverted,
                                                         std::span<const std::uint8_t> icc,
                                                         int bytes) {
    std::unique_ptr<ColourConversion> fallback;
    if (inks == JpegInks::kCmyk)
        fallback = std::make_unique<InkConversion>(inverted, bytes);
    if (icc.empty())
        return fallback;

    auto context = std::make_unique<Context>();
    if (!context->get())
        return fallback;
    Profile profile(cmsOpenProfileFromMemTHR(context->get(), icc.data(),
                                             static_cast<cmsUInt32Number>(icc.size())));
    Profile srgb(cmsCreate_sRGBProfileTHR(context->get()));
    if (!profile || !srgb)
        return fallback;
    // As a number: a hostile profile may name a space the enumeration has not.
    const auto space = static_cast<std::uint32_t>(cmsGetColorSpace(profile.get()));
    switch (inks) {
        case JpegInks::kGrey:
            if (space != cmsSigGrayData)
                return nullptr;
            return grey_conversion(context->get(), profile.get(), srgb.get(), bytes);
        case JpegInks::kRgb: {
            if (space != cmsSigRgbData)
                return nullptr;
            Transform transform(cmsCreateTransformTHR(context->get(), profile.get(),
                                                      pixel_format(bytes), srgb.get(),
                                                      pixel_format(bytes), INTENT_PERCEPTUAL, 0));
            if (!transform || leaves_colours_alone(transform.get(), bytes))
                return nullptr;
            if (cmsIsMatrixShaper(profile.get()) &&
                !cmsIsCLUT(profile.get(), INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT)) {
                bool usable = false;
                auto matrix =
                    std::make_unique<MatrixConversion>(profile.get(), srgb.get(), bytes, usable);
                if (usable)
                    return matrix;
            }
            return std::make_unique<ProfileConversion>(std::move(context), std::move(transform),
                                                       bytes);
        }
        case JpegInks::kCmyk: {
            if (space != cmsSigCmykData)
                return fallback;
            Transform transform(cmsCreateTransformTHR(
                context->get(), profile.get(), inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, srgb.get(),
                pixel_format(bytes), INTENT_PERCEPTUAL, 0));
            if (!transform)
                return fallback;
            return std::make_unique<ProfileConversion>(std::move(context), std::move(transform),
                                                       bytes);
        }
    }
    return fallback;
}

std::uint64_t ColourConversion::memory(std::span<const std::uint8_t> profile) noexcept {
    return profile.empty() ? 0 : profile.size() + kMemoryCap;
}

}  // namespace quillora
