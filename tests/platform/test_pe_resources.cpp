#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/pe_resources.h"
#include "support/pe_layout.h"

namespace quillora {
namespace {

using pe::ResourceReader;
using testing::Bytes;
using testing::get32;
using testing::kGroup;
using testing::kIcon;
using testing::PeDamage;
using testing::PeLayout;
using testing::set16;
using testing::set32;

Bytes fixture_bytes(const std::string& name) {
    return testing::exe_fixture_bytes(name);
}

// Where a part handed out by the reader starts in the file it was read
// from; fails the test when the part does not lie wholly inside it.
std::optional<std::size_t> offset_in(const Bytes& file, std::span<const std::uint8_t> part) {
    const auto* begin = file.data();
    const auto* end = file.data() + file.size();
    if (part.data() < begin || part.data() > end ||
        part.size() > static_cast<std::size_t>(end - part.data())) {
        ADD_FAILURE() << "a part outside the file";
        return std::nullopt;
    }
    return static_cast<std::size_t>(part.data() - begin);
}

// The ids of the images of an icon group's data (its 14-byte entries).
std::vector<std::uint16_t> image_ids(std::span<const std::uint8_t> group) {
    std::vector<std::uint16_t> ids;
    const std::size_t count = group[4] | group[5] << 8;
    for (std::size_t i = 0; i < count && 6 + 14 * i + 14 <= group.size(); ++i) {
        const std::size_t at = 6 + 14 * i + 12;
        ids.push_back(static_cast<std::uint16_t>(group[at] | group[at + 1] << 8));
    }
    return ids;
}

// ---------------------------------------------------------------------------
// The fixture executables

struct FixtureCase {
    const char* file;
    std::size_t groups;
};

class PeResourcesFixtures : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(PeResourcesFixtures, CountsTheIconGroups) {
    const Bytes bytes = fixture_bytes(GetParam().file);
    ResourceReader reader(bytes);
    EXPECT_EQ(reader.valid(), GetParam().groups > 0);
    EXPECT_EQ(reader.icon_group_count(), GetParam().groups);
}

TEST_P(PeResourcesFixtures, EachGroupIsItsStoredDataAndNamesImagesThatAreThere) {
    const Bytes bytes = fixture_bytes(GetParam().file);
    ResourceReader reader(bytes);
    for (std::size_t i = 0; i < GetParam().groups; ++i) {
        SCOPED_TRACE(i);
        const PeLayout layout(bytes);
        const std::optional<pe::Resource> group = reader.icon_group(i);
        ASSERT_TRUE(group.has_value());
        EXPECT_EQ(offset_in(bytes, group->bytes), layout.data(kGroup, i));
        EXPECT_EQ(group->bytes.size(), layout.data_size(kGroup, i));
        EXPECT_EQ(group->language, get32(bytes, layout.language_entry(kGroup, i)));
        const std::vector<std::uint16_t> ids = image_ids(group->bytes);
        ASSERT_FALSE(ids.empty());
        for (const std::uint16_t id : ids) {
            SCOPED_TRACE(id);
            const auto image = reader.icon_image(id, group->language);
            ASSERT_TRUE(image.has_value());
            EXPECT_TRUE(offset_in(bytes, *image).has_value());
            EXPECT_GE(image->size(), 40u);  // a DIB header or a PNG file at least
        }
    }
}

TEST_P(PeResourcesFixtures, NoGroupPastTheLastAndNoImageOfAnUnknownId) {
    const Bytes bytes = fixture_bytes(GetParam().file);
    ResourceReader reader(bytes);
    const std::size_t count = GetParam().groups;
    for (const std::size_t index : {count, count + 1, std::size_t{1} << 30, ~std::size_t{0}}) {
        SCOPED_TRACE(index);
        EXPECT_FALSE(reader.icon_group(index).has_value());
    }
    for (const std::uint16_t id : {0, 999, 0xFFFF})
        EXPECT_FALSE(reader.icon_image(id, 0).has_value()) << id;
}

INSTANTIATE_TEST_SUITE_P(
    All, PeResourcesFixtures,
    ::testing::Values(FixtureCase{"icons3_x64.exe", 3}, FixtureCase{"icons3_x86.exe", 3},
                      FixtureCase{"icon1_x64.dll", 1}, FixtureCase{"icon1_x86.dll", 1},
                      FixtureCase{"noicons_x64.exe", 0}, FixtureCase{"noicons_x86.exe", 0}));

TEST(PeResources, ImageInAnotherLanguageFallsBackToTheFirst) {
    const Bytes bytes = fixture_bytes("icons3_x64.exe");
    const PeLayout layout(bytes);
    ResourceReader reader(bytes);
    // Icon resource 3 (entry 2 of the icon directory) in any language.
    const std::size_t image = layout.data(kIcon, 2);
    const std::uint32_t stored = get32(bytes, layout.language_entry(kIcon, 2));
    for (const std::uint32_t language : {stored, stored + 1, 0u, 0x80000000u | stored}) {
        SCOPED_TRACE(language);
        const auto found = reader.icon_image(3, language);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(offset_in(bytes, *found), image);
    }
}

TEST(PeResources, NonExecutablesHoldNothing) {
    Bytes icon_file = {0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 1, 0, 32, 0};
    icon_file.resize(64);
    Bytes mz_only = {'M', 'Z'};
    mz_only.resize(64);
    Bytes ne_file = fixture_bytes("icon1_x86.dll");  // a 16-bit header's signature
    ne_file[get32(ne_file, 0x3C) + 1] = 'E';
    ne_file[get32(ne_file, 0x3C)] = 'N';
    Bytes rom = fixture_bytes("icon1_x86.dll");  // an optional header of another kind
    set16(rom, get32(rom, 0x3C) + 24, 0x107);
    const std::string text = "MZ this is only text, though it starts like a program";
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"empty", {}},          {"icon file", icon_file}, {"MZ without PE header", mz_only},
        {"NE header", ne_file}, {"ROM image", rom},       {"text", Bytes(text.begin(), text.end())},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        ResourceReader reader(bytes);
        EXPECT_FALSE(reader.valid());
        EXPECT_EQ(reader.icon_group_count(), 0u);
        EXPECT_FALSE(reader.icon_group(0).has_value());
        EXPECT_FALSE(reader.icon_image(1, 0).has_value());
    }
}

// ---------------------------------------------------------------------------
// Damaged files

// The images of the 64-bit fixture's three groups that a 32 x 32 true-colour
// screen shows: icon resources 3, 6 and 7.
constexpr std::uint16_t kShownImages[3] = {3, 6, 7};
constexpr std::size_t kShownImageEntries[3] = {2, 5, 6};  // in the icon directory

// Whether the reader hands out group `index` and the image shown for it,
// each exactly where the undamaged file keeps it.
bool group_and_image_whole(ResourceReader& reader, const Bytes& file, const PeLayout& original,
                           std::size_t index) {
    const std::optional<pe::Resource> group = reader.icon_group(index);
    if (!group)
        return false;
    EXPECT_EQ(offset_in(file, group->bytes), original.data(kGroup, index));
    EXPECT_EQ(group->bytes.size(), original.data_size(kGroup, index));
    const auto image = reader.icon_image(kShownImages[index], group->language);
    if (!image)
        return false;
    EXPECT_EQ(offset_in(file, *image), original.data(kIcon, kShownImageEntries[index]));
    EXPECT_EQ(image->size(), original.data_size(kIcon, kShownImageEntries[index]));
    return true;
}

TEST(PeResourcesDamaged, TruncatedFilesNeverReadPastTheirEnd) {
    const Bytes whole = fixture_bytes("icons3_x64.exe");
    const PeLayout layout(whole);
    for (std::size_t length = 0; length < whole.size(); length += length < 1024 ? 7 : 311) {
        SCOPED_TRACE(length);
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        ResourceReader reader(cut);
        const std::size_t count = reader.icon_group_count();
        if (length <= layout.root) {
            EXPECT_EQ(count, 0u);
        }
        EXPECT_LE(count, 3u);
        for (std::size_t index = 0; index < 3; ++index)
            (void)group_and_image_whole(reader, cut, layout, index);
    }
}

// Damages to the 64-bit fixture's headers and directories; a group gives
// its icon when it comes out whole with the image shown for it.
const PeDamage kDamages[] = {
    {"group directory loops back to the root",
     [](Bytes& b, const PeLayout& l) { set32(b, l.type_entry(kGroup) + 4, 0x80000000u); },
     -1,  // the root's entries then stand for groups: any count, no icon
     {false, false, false}},
    {"language directory loops back to the group's directory",
     [](Bytes& b, const PeLayout& l) {
         set32(b, l.language_entry(kGroup, 0) + 4, get32(b, l.name_entry(kGroup, 0) + 4));
     },
     3,
     {false, true, true}},
    {"language directory loops back to the root",
     [](Bytes& b, const PeLayout& l) { set32(b, l.language_entry(kIcon, 0) + 4, 0x80000000u); },
     3,
     {true, true, true}},  // icon resource 1 is MAINICON's unchosen 4-bit image
    {"group directory past the end",
     [](Bytes& b, const PeLayout& l) { set32(b, l.type_entry(kGroup) + 4, 0xFFFFFFF0u); },
     0,
     {false, false, false}},
    {"root entry counts far beyond the section",
     [](Bytes& b, const PeLayout& l) {
         set16(b, l.root + 12, 0);
         set16(b, l.root + 14, 0xFFFF);
     },
     3,
     {true, true, true}},
    {"group count far beyond the section",
     [](Bytes& b, const PeLayout& l) {
         const std::size_t dir = l.root + l.subdirectory(l.type_entry(kGroup));
         set16(b, dir + 14, 0xFFFF);
     },
     -1,
     {true, true, true}},
    {"group data address past the end",
     [](Bytes& b, const PeLayout& l) { set32(b, l.data_entry(kGroup, 1), 0xFFFFFF00u); },
     3,
     {true, false, true}},
    {"group data size past the section",
     [](Bytes& b, const PeLayout& l) { set32(b, l.data_entry(kGroup, 1) + 4, 0x7FFFFFFFu); },
     3,
     {true, false, true}},
    {"data entry offset past the section",
     [](Bytes& b, const PeLayout& l) { set32(b, l.language_entry(kGroup, 2) + 4, 0x7FFFFFF0u); },
     3,
     {true, true, false}},
    {"no icon resources at all",
     [](Bytes& b, const PeLayout& l) { set32(b, l.type_entry(kIcon), 99); },
     3,
     {false, false, false}},
    {"section table count beyond the file",
     [](Bytes& b, const PeLayout&) { set16(b, get32(b, 0x3C) + 6, 0xFFFF); },
     0,
     {false, false, false}},
    {"no section holds the resource address",
     [](Bytes& b, const PeLayout& l) { set32(b, l.optional + 112 + 16, 0x7FFF0000u); },
     0,
     {false, false, false}},
    {"PE header offset past the end",
     [](Bytes& b, const PeLayout&) { set32(b, 0x3C, 0xFFFFFFF0u); },
     0,
     {false, false, false}},
    {"optional header size past the end",
     [](Bytes& b, const PeLayout&) { set16(b, get32(b, 0x3C) + 20, 0xFFFF); },
     0,
     {false, false, false}},
    {"too few data directories",
     [](Bytes& b, const PeLayout& l) { set32(b, l.optional + 108, 2); },
     0,
     {false, false, false}},
    // Directories that lead back to themselves or to the root, and a section
    // too short for the directories it claims.
    {"group's name entry leads back to the root",
     [](Bytes& b, const PeLayout& l) { set32(b, l.name_entry(kGroup, 0) + 4, 0x80000000u); },
     3,
     {false, true, true}},
    {"group's name entry leads to its own directory",
     [](Bytes& b, const PeLayout& l) {
         set32(b, l.name_entry(kGroup, 0) + 4, get32(b, l.type_entry(kGroup) + 4));
     },
     3,
     {false, true, true}},
    {"icon type leads back to the root",  // the root's type 3 entry is then image 3
     [](Bytes& b, const PeLayout& l) { set32(b, l.type_entry(kIcon) + 4, 0x80000000u); },
     3,
     {false, false, false}},
    {"section ends after the first group's entry",
     [](Bytes& b, const PeLayout& l) {
         const std::size_t section = l.section_of(l.root_rva);
         const std::size_t first_group = l.name_entry(kGroup, 0) + 8;
         set32(b, section + 16, static_cast<std::uint32_t>(first_group - get32(b, section + 20)));
     },
     1,
     {false, false, false}},
};

TEST(PeResourcesDamaged, EachDamageLosesOnlyWhatItTouches) {
    const Bytes original = fixture_bytes("icons3_x64.exe");
    const PeLayout layout(original);
    for (const PeDamage& damage : kDamages) {
        SCOPED_TRACE(damage.name);
        Bytes bytes = original;
        damage.apply(bytes, layout);
        ASSERT_NE(bytes, original);
        ResourceReader reader(bytes);
        const std::size_t count = reader.icon_group_count();
        if (damage.count >= 0) {
            EXPECT_EQ(count, static_cast<std::size_t>(damage.count));
        }
        for (std::size_t index = 0; index < 3; ++index) {
            SCOPED_TRACE(index);
            EXPECT_EQ(group_and_image_whole(reader, bytes, layout, index), damage.icons[index]);
        }
        for (std::size_t index = 3; index < std::min<std::size_t>(count, 64); ++index)
            (void)reader.icon_group(index);
    }
}

// The directory entries one reader visits are bounded however often it is
// asked: a count visits the root's entries and the groups', and once the
// budget cannot pay for that the reader finds fewer groups, then none.
TEST(PeResources, OneReaderVisitsABoundedNumberOfEntries) {
    const Bytes bytes = fixture_bytes("icons3_x64.exe");
    const PeLayout layout(bytes);
    const std::size_t per_count = layout.entries(0) + 3;
    ResourceReader reader(bytes);
    std::size_t whole_counts = 0;
    while (whole_counts <= pe::kMaxEntriesVisited && reader.icon_group_count() == 3)
        ++whole_counts;
    EXPECT_EQ(whole_counts, pe::kMaxEntriesVisited / per_count);
    EXPECT_EQ(reader.icon_group_count(), 0u);
    EXPECT_FALSE(reader.icon_group(0).has_value());
    EXPECT_FALSE(reader.icon_image(kShownImages[0], 0).has_value());
}

// Files cut just inside each header in turn, PE32+ and PE32 alike: none
// holds a group, and the reader reads nothing past the cut.
TEST(PeResourcesHostile, CutInsideEachHeader) {
    struct Cut {
        const char* where;
        std::size_t (*length)(const PeLayout&);
        bool valid;  // the resource section's start is still there
    };
    const Cut cuts[] = {
        {"DOS header", [](const PeLayout&) -> std::size_t { return 63; }, false},
        {"before the PE signature", [](const PeLayout& l) { return l.pe; }, false},
        {"PE signature", [](const PeLayout& l) { return l.pe + 2; }, false},
        {"file header", [](const PeLayout& l) { return l.pe + 23; }, false},
        {"optional header", [](const PeLayout& l) { return l.sections - 1; }, false},
        {"section table", [](const PeLayout& l) { return l.sections + 40 * l.section_count - 1; },
         false},
        {"root directory's header", [](const PeLayout& l) { return l.root + 15; }, true},
        {"root directory's entries",
         [](const PeLayout& l) { return l.root + 16 + 8 * l.entries(0) - 1; }, true},
        {"after the root directory",
         [](const PeLayout& l) { return l.root + 16 + 8 * l.entries(0); }, true},
    };
    for (const char* file : {"icons3_x64.exe", "icons3_x86.exe"}) {
        const Bytes whole = fixture_bytes(file);
        const PeLayout layout(whole);
        for (const Cut& cut : cuts) {
            SCOPED_TRACE(::testing::Message() << file << ", cut inside the " << cut.where);
            const std::size_t length = cut.length(layout);
            ASSERT_LT(length, whole.size());
            const Bytes bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
            ResourceReader reader(bytes);
            EXPECT_EQ(reader.valid(), cut.valid);
            EXPECT_EQ(reader.icon_group_count(), 0u);
            EXPECT_FALSE(reader.icon_group(0).has_value());
            EXPECT_FALSE(reader.icon_image(kShownImages[0], 0).has_value());
        }
    }
}

}  // namespace
}  // namespace quillora
