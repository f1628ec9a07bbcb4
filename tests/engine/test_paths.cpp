#include <gtest/gtest.h>

#include "engine/converters.h"
#include "engine/paths.h"

namespace quillora::paths {
namespace {

TEST(Paths, NamesUnderBothConventions) {
    struct Case {
        Convention convention;
        const char *path, *file, *base, *ext;
    } cases[] = {
        {Convention::Windows, "E:\\fotos\\ferias.2004.bmp", "ferias.2004.bmp", "ferias.2004",
         "bmp"},
        {Convention::Windows, "C:README", "README", "README", ""},
        {Convention::Windows, "C:\\x\\.bmp", ".bmp", "", "bmp"},
        {Convention::Windows, "C:/fotos/a.b/c", "c", "c", ""},
        {Convention::Windows, "dir.d\\name", "name", "name", ""},
        {Convention::Posix, "/home/u/ferias.2004.bmp", "ferias.2004.bmp", "ferias.2004", "bmp"},
        {Convention::Posix, "/home/u/README", "README", "README", ""},
        {Convention::Posix, "/home/u/.bmp", ".bmp", "", "bmp"},
        {Convention::Posix, "a\\b.bmp", "a\\b.bmp", "a\\b", "bmp"},
        {Convention::Posix, "C:x.jpeg", "C:x.jpeg", "C:x", "jpeg"},
        {Convention::Posix, "/dir.d/name", "name", "name", ""},
        {Convention::Posix, "/dir/", "", "", ""},
        {Convention::Posix, "plain.JPG", "plain.JPG", "plain", "JPG"},
        {Convention::Posix, "a..b.", "a..b.", "a..b", ""},
        // Bytes that are not UTF-8 pass through untouched.
        {Convention::Posix, "/x/caf\xE9.bmp", "caf\xE9.bmp", "caf\xE9", "bmp"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(file_name(c.path, c.convention), c.file) << c.path;
        EXPECT_EQ(base_name(c.path, c.convention), c.base) << c.path;
        EXPECT_EQ(extension(c.path, c.convention), c.ext) << c.path;
    }
}

TEST(Paths, DirectoryWithSeparator) {
    EXPECT_EQ(with_separator("D:\\saida", Convention::Windows), "D:\\saida\\");
    EXPECT_EQ(with_separator("D:\\saida\\", Convention::Windows), "D:\\saida\\");
    EXPECT_EQ(with_separator("D:/saida/", Convention::Windows), "D:/saida/");
    EXPECT_EQ(with_separator("/tmp/saida", Convention::Posix), "/tmp/saida/");
    EXPECT_EQ(with_separator("/tmp/saida/", Convention::Posix), "/tmp/saida/");
    EXPECT_EQ(with_separator("/", Convention::Posix), "/");
    EXPECT_EQ(with_separator(" out ", Convention::Posix), " out /");  // used as typed
}

TEST(Paths, OutputNames) {
    using quillora::Mode;
    EXPECT_EQ(output_file(Mode::BmpToJpeg, "E:\\fotos\\ferias.2004.bmp", "D:\\saida",
                          Convention::Windows),
              "D:\\saida\\ferias.2004.jpg");
    EXPECT_EQ(output_file(Mode::BmpToJpeg, "E:\\fotos\\ferias.2004.bmp", "D:\\saida\\",
                          Convention::Windows),
              "D:\\saida\\ferias.2004.jpg");
    EXPECT_EQ(output_file(Mode::BmpToJpeg, "/f/README", "/out"), "/out/README.jpg");
    EXPECT_EQ(output_file(Mode::BmpToJpeg, "/f/.bmp", "/out"), "/out/.jpg");
    EXPECT_EQ(output_file(Mode::JpegToBmp, "/f/a.jpeg", "/out"), "/out/a.bmp");
    EXPECT_EQ(output_file(Mode::IcoToBmp, "/f/A.ICO", "out"), "out/A.bmp");
    EXPECT_EQ(output_file(Mode::IcoToJpeg, "/f/A.ICO", "out"), "out/A.jpg");
}

}  // namespace
}  // namespace quillora::paths
