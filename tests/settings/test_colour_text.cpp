#include "settings/colour_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "platform/error.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace quillora::settings {
namespace {

using quillora::testing::TempDir;

const std::string kHead = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillora\\Config]\n";

TEST(ColourText, EveryNameRoundTrips) {
    auto named = named_colours();
    ASSERT_EQ(named.size(), 52u);
    std::set<Colour> values;
    std::set<std::string> lower_names;
    for (const auto& c : named) {
        EXPECT_TRUE(values.insert(c.value).second) << c.name << " has a value already named";
        std::string lower(c.name);
        for (auto& ch : lower)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_TRUE(lower_names.insert(lower).second) << c.name;
        EXPECT_EQ(colour_to_text(c.value), c.name);
        EXPECT_EQ(text_to_colour(c.name), c.value) << c.name;
        EXPECT_EQ(text_to_colour(lower), c.value) << lower;
        EXPECT_EQ(text_to_colour(colour_to_text(c.value)), c.value) << c.name;
    }
}

TEST(ColourText, NamedValues) {
    struct Case {
        const char* name;
        Colour value;
    };
    const std::vector<Case> cases = {
        {"clBlack", 0x000000},
        {"clRed", 0x0000FF},
        {"clYellow", 0x00FFFF},
        {"clBlue", 0xFF0000},
        {"clMoneyGreen", 0xC0DCC0},
        {"clSkyBlue", 0xF0CAA6},
        {"clCream", 0xF0FBFF},
        {"clMedGray", 0xA4A0A0},
        {"clScrollBar", 0xFF000000},
        {"clInfoBk", 0xFF000018},
        {"clHotLight", 0xFF00001A},
        {"clMenuBar", 0xFF00001E},
        {"clNone", 0x1FFFFFFF},
        {"clDefault", 0x20000000},
        {"clGradientInactiveCaption", 0xFF00001C},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text_to_colour(c.name), c.value) << c.name;
        EXPECT_EQ(colour_to_text(c.value), c.name);
    }
    EXPECT_EQ(kRed, text_to_colour("clRed"));
    EXPECT_EQ(kYellow, text_to_colour("clYellow"));
}

TEST(ColourText, OtherColoursAreDollarAndEightHexDigits) {
    struct Case {
        Colour value;
        const char* text;
    };
    const std::vector<Case> cases = {
        {0x00563412, "$00563412"}, {0x00000001, "$00000001"}, {0x00ABCDEF, "$00ABCDEF"},
        {0xFF000019, "$FF000019"},  // system colour 25 has no name
        {0xFF00001F, "$FF00001F"}, {0xFFFFFFFF, "$FFFFFFFF"}, {0x1FFFFFFE, "$1FFFFFFE"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(colour_to_text(c.value), c.text);
        EXPECT_EQ(text_to_colour(c.text), c.value) << c.text;
    }
}

TEST(ColourText, ReadingAcceptsNamesAndIntegers) {
    struct Case {
        const char* text;
        Colour value;
    };
    const std::vector<Case> cases = {
        {"clred", 0xFF},
        {"CLRED", 0xFF},
        {"$000000FF", 0xFF},
        {"$ff", 0xFF},
        {"255", 0xFF},
        {"+255", 0xFF},
        {"0255", 0xFF},
        {"0", 0},
        {"-1", 0xFFFFFFFF},
        {"2147483647", 0x7FFFFFFF},
        {"-2147483648", 0x80000000},
        {"$FFFFFFFF", 0xFFFFFFFF},
        {"536870912", kColourDefault},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text_to_colour(c.text), c.value) << c.text;
}

TEST(ColourText, BadTextFailsWithTheConversionMessage) {
    const std::vector<std::string> bad = {
        "",    "red",  "clRedd", "cl Red",     " clRed",      "clRed ",     "$",     "$100000000",
        "$-1", "0x10", "1.5",    "2147483648", "-2147483649", "4294967295", "12abc", "$G0",
    };
    for (const auto& text : bad) {
        EXPECT_FALSE(parse_colour(text).has_value()) << text;
        try {
            text_to_colour(text);
            ADD_FAILURE() << text << ": no failure";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid integer value");
        }
    }
}

// A colour setting: empty or absent keeps the current colour; the stored
// forms of red all read as red; writing red back stores its name.
TEST(ColourText, ColourSettings) {
    struct Case {
        std::string line;
        Colour read;
    };
    const std::vector<Case> cases = {
        {"\"ListCor1\"=\"clred\"", kRed},
        {"\"ListCor1\"=\"$000000FF\"", kRed},
        {"\"ListCor1\"=\"255\"", kRed},
        {"\"ListCor1\"=\"clDefault\"", kColourDefault},
        {"\"ListCor1\"=\"\"", 0x123456},            // empty: unchanged
        {"\"Other\"=\"clBlue\"", 0x123456},         // absent: unchanged
        {"\"ListCor1\"=dword:000000ff", 0x123456},  // not a text: reads as empty
    };
    TempDir dir;
    SettingsStore store(dir.file("Config.reg"));
    for (const auto& c : cases) {
        dir.write("Config.reg", kHead + c.line + "\n");
        const Colour colour = read_colour(store, "ListCor1", 0x123456);
        EXPECT_EQ(colour, c.read) << c.line;
        store.write_text("ListCor1", colour_to_text(colour));
    }
    dir.write("Config.reg", kHead + "\"ListCor1\"=\"clred\"\n");
    store.write_text("ListCor1", colour_to_text(read_colour(store, "ListCor1", kYellow)));
    EXPECT_EQ(store.read_text("ListCor1"), "clRed");

    dir.write("Config.reg", kHead + "\"ListCor2\"=\"rosa\"\n");
    try {
        read_colour(store, "ListCor2", kYellow);
        ADD_FAILURE() << "no failure";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'rosa' is not a valid integer value");
    }
}

}  // namespace
}  // namespace quillora::settings
