// The resource section of Windows executables (PE32 and PE32+ .exe and .dll
// files), walked far enough to hand out icon groups and icon images as the
// bytes stored there. What those bytes mean is the icon code's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/bytes.h"

namespace quillora::pe {

inline constexpr std::uint16_t kIconType = 3;        // one image of an icon
inline constexpr std::uint16_t kIconGroupType = 14;  // the directory of an icon's images

// Enough for any real resource section (a directory holds at most 131070
// entries); a bound on the directory entries one reader visits, whatever the
// file says.
inline constexpr std::uint32_t kMaxEntriesVisited = 1u << 20;

// The data of one resource and the id of the language entry it was taken
// from (as stored: a name's offset has the high bit set).
struct Resource {
    std::span<const std::uint8_t> bytes;
    std::uint32_t language = 0;
};

// Reads the resources of an executable held in memory. Every read is checked
// against the file's bytes; damaged or foreign data gives no resource and
// never fails. Entries of a directory that lie past the section's end are
// left out. The bytes handed out lie inside the file data of one section.
// Each look-up visits directory entries from one budget of
// kMaxEntriesVisited for the reader's life.
class ResourceReader {
  public:
    // Reads the headers; valid() says whether a resource section was found.
    explicit ResourceReader(std::span<const std::uint8_t> file) noexcept;

    bool valid() const noexcept { return valid_; }

    // The number of icon groups (resource type 14): 0 for data that is not a
    // PE32 or PE32+ executable and for one without resources or icon groups.
    std::size_t icon_group_count() noexcept;

    // The data of the icon group at a zero-based index, the groups taken in
    // the order of the resource directory (named groups first, then numbered
    // ones, each as stored), in its first language.
    std::optional<Resource> icon_group(std::size_t index) noexcept;

    // The data of the numbered icon image (resource type 3) with id `id`:
    // the language `language` when it has one, else its first.
    std::optional<std::span<const std::uint8_t>> icon_image(std::uint16_t id,
                                                            std::uint32_t language) noexcept;

  private:
    struct Section {
        std::uint32_t virtual_address;
        std::uint32_t raw_size;
        std::uint32_t raw_offset;
    };
    struct DirectoryEntry;

    bool read_headers();
    std::vector<DirectoryEntry> directory(std::uint32_t offset, std::size_t* named = nullptr);
    std::optional<std::uint32_t> type_directory(std::uint16_t type);
    std::optional<Resource> resource_data(const DirectoryEntry& name_entry,
                                          std::optional<std::uint32_t> language);
    const Section* section_of(std::uint32_t rva) const noexcept;
    std::optional<std::span<const std::uint8_t>> map(std::uint32_t rva, std::uint32_t size) const;

    ByteView file_;
    ByteView resources_;
    std::vector<Section> sections_;
    std::uint32_t budget_ = kMaxEntriesVisited;
    bool valid_ = false;
};

}  // namespace quillora::pe
