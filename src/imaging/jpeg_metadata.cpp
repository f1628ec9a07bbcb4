#include "imaging/jpeg_metadata.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "platform/bytes.h"

namespace quillora {
namespace {

constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kApp1 = 0xE1;
constexpr std::uint8_t kApp2 = 0xE2;
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;

constexpr std::string_view kExifName{"Exif\0\0", 6};
constexpr std::string_view kProfileName{"ICC_PROFILE\0", 12};

bool standalone_marker(std::uint8_t code) noexcept {
    return code == kStartOfImage || code == 0x01 || (code >= 0xD0 && code <= 0xD7);
}

bool starts_with(const ByteView& payload, std::string_view name) noexcept {
    return payload.fits(0, name.size()) &&
           std::memcmp(payload.data(), name.data(), name.size()) == 0;
}

// The APP2 chunks of a profile: each names its number (from 1) and the
// count of chunks, and all must agree on the count.
class ProfileChunks {
  public:
    void add(const ByteView& payload) {
        if (broken_ || !payload.fits(0, kProfileName.size() + 2)) {
            broken_ = true;
            return;
        }
        const int number = payload.u8(kProfileName.size());
        const int count = payload.u8(kProfileName.size() + 1);
        if (count_ == 0)
            count_ = count;
        if (number < 1 || number > count || count != count_ || chunks_[number - 1].data()) {
            broken_ = true;
            return;
        }
        chunks_[number - 1] = payload.from(kProfileName.size() + 2).span();
    }

    std::vector<std::uint8_t> joined() const {
        std::vector<std::uint8_t> profile;
        if (broken_ || count_ == 0)
            return profile;
        std::size_t total = 0;
        for (int i = 0; i < count_; ++i) {
            if (!chunks_[i].data())
                return profile;
            total += chunks_[i].size();
        }
        if (total > kMaxProfileBytes)
            return profile;
        profile.reserve(total);
        for (int i = 0; i < count_; ++i)
            profile.insert(profile.end(), chunks_[i].begin(), chunks_[i].end());
        return profile;
    }

  private:
    std::array<std::span<const std::uint8_t>, 255> chunks_{};
    int count_ = 0;
    bool broken_ = false;
};

}  // namespace

int exif_orientation(std::span<const std::uint8_t> bytes) noexcept {
    try {
        const ByteView tiff(bytes);
        bool little;
        if (tiff.u8(0) == 'I' && tiff.u8(1) == 'I')
            little = true;
        else if (tiff.u8(0) == 'M' && tiff.u8(1) == 'M')
            little = false;
        else
            return 1;
        auto u16 = [&](std::uint64_t at) { return little ? tiff.u16le(at) : tiff.be16(at); };
        auto u32 = [&](std::uint64_t at) { return little ? tiff.u32le(at) : tiff.be32(at); };
        if (u16(2) != 42)
            return 1;
        // Only IFD0 holds the orientation of the main picture: the links to
        // further IFDs are never followed, so they cannot loop.
        const std::uint64_t ifd = u32(4);
        const unsigned entries = u16(ifd);
        for (unsigned i = 0; i < entries; ++i) {
            const std::uint64_t entry = ifd + 2 + std::uint64_t{12} * i;
            if (u16(entry) != kOrientationTag)
                continue;
            if (u16(entry + 2) != kShortType || u32(entry + 4) < 1)
                return 1;
            const int value = u16(entry + 8);
            return value >= 1 && value <= 8 ? value : 1;
        }
    } catch (const Error&) {
        // A block cut short or pointing outside itself.
    }
    return 1;
}

JpegMetadata read_jpeg_metadata(std::span<const std::uint8_t> bytes) {
    JpegMetadata metadata;
    const ByteView data(bytes);
    if (!data.fits(0, 2) || data.u8(0) != 0xFF || data.u8(1) != kStartOfImage)
        return metadata;
    bool exif_seen = false;
    ProfileChunks chunks;
    std::size_t at = 2;
    for (;;) {
        // Fill bytes may stand before a marker; anything else there is not a
        // marker segment, and the library would not find one either.
        while (data.fits(at, 2) && data.u8(at) == 0xFF && data.u8(at + 1) == 0xFF)
            ++at;
        if (!data.fits(at, 2) || data.u8(at) != 0xFF)
            break;
        const std::uint8_t code = data.u8(at + 1);
        at += 2;
        if (code == kStartOfScan || code == kEndOfImage)
            break;
        if (standalone_marker(code))
            continue;
        if (!data.fits(at, 2))
            break;
        const std::size_t length = data.be16(at);
        if (length < 2 || !data.fits(at, length))
            break;
        const ByteView payload = data.sub(at + 2, length - 2);
        if (code == kApp1 && !exif_seen && starts_with(payload, kExifName)) {
            exif_seen = true;
            metadata.orientation = exif_orientation(payload.from(kExifName.size()).span());
        } else if (code == kApp2 && starts_with(payload, kProfileName)) {
            chunks.add(payload);
        }
        at += length;
    }
    metadata.profile = chunks.joined();
    return metadata;
}

}  // namespace quillora
