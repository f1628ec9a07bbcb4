#include <gtest/gtest.h>

#include "engine/modes.h"

namespace quillora {
namespace {

TEST(Modes, TableFollowsTheTabOrder) {
    const auto& table = mode_table();
    const char* captions[] = {"BMP - JPG", "JPG/JPEG - BMP", "ICO - BMP", "ICO - JPG"};
    const char* extensions[] = {".jpg", ".bmp", ".bmp", ".jpg"};
    for (int i = 0; i < kModeCount; ++i) {
        EXPECT_EQ(static_cast<int>(table[i].mode), i);
        EXPECT_EQ(table[i].tab_caption, captions[i]);
        EXPECT_EQ(table[i].output_extension, extensions[i]);
        EXPECT_EQ(mode_from_index(i), table[i].mode);
    }
    EXPECT_FALSE(mode_from_index(-1));
    EXPECT_FALSE(mode_from_index(4));
}

TEST(Modes, DescriptorFieldsSplitOut) {
    struct Case {
        Mode mode;
        const char *filter, *caption, *masks;
    } cases[] = {
        {Mode::BmpToJpeg, "Imagem Bitmap (*.bmp)|*.bmp", "Converter *.BMP em *.JPEG", "*.bmp"},
        {Mode::JpegToBmp, "Imagem JPG (*.jpg; *.jpeg)|*.jpg;*.jpeg", "Converter *.JPG em *.BMP",
         "*.jpg; *.jpeg"},
        {Mode::IcoToBmp,
         "Imagem \xC3\x8D"
         "cone (*.ico)|*.ico",
         "Converter *.ICO em *.BMP", "*.ico"},
        {Mode::IcoToJpeg,
         "Imagem \xC3\x8D"
         "cone (*.ico)|*.ico",
         "Converter *.ICO em *.JPG", "*.ico"},
    };
    for (const Case& c : cases) {
        std::string_view d = mode_info(c.mode).descriptor;
        EXPECT_EQ(descriptor_field(kFieldDialogFilter, "=", d), c.filter);
        EXPECT_EQ(descriptor_field(kFieldModeCaption, "=", d), c.caption);
        EXPECT_EQ(descriptor_field(kFieldSearchMasks, "=", d), c.masks);
        EXPECT_EQ(descriptor_field(4, "=", d), "");
    }
}

TEST(Modes, DescriptorFieldEdgeCases) {
    struct Case {
        int n;
        const char* text;
        const char* field;
    } cases[] = {
        {1, "", ""},          {2, "", ""},         {1, "a", "a"},      {2, "a=", ""},
        {2, "a==c", ""},      {3, "a==c", "c"},    {1, "=b", ""},      {2, "=b", "b"},
        {2, "a\r\nb=c", "b"}, {3, "a\nb\rc", "c"}, {2, "a=\r\n", ""},  {0, "a=b", ""},
        {-1, "a=b", ""},      {2, "x\n\ny", ""},   {3, "x\n\ny", "y"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(descriptor_field(c.n, "=", c.text), c.field) << c.n << " of '" << c.text << "'";
    }
}

}  // namespace
}  // namespace quillora
