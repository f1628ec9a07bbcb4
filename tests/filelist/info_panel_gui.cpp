// The information panel: filling its fields from a file step by step, its
// failures, the date text and the thumbnail.
#include "filelist/info_panel_qt.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDate>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QWidget>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filelist/picture_image_qt.h"
#include "filelist/preview_qt.h"
#include "filelist/thumbnail.h"
#include "imaging/bmp.h"
#include "imaging/jpeg.h"
#include "platform/display.h"
#include "platform/error.h"
#include "support/failure_of.h"
#include "support/fixtures.h"
#include "support/jpeg_files.h"
#include "support/scoped_time_zone.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using testing::TempDir;

using testing::ScopedTimeZone;

void set_mtime(const std::string& path, std::time_t when) {
    timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// 2004-12-25 14:05:07 UTC.
constexpr std::time_t kChristmas = 1103983507;

using testing::failure_of;

// Four quadrants: red, green / blue, white (top row first).
Bitmap quadrants(int width, int height, int bpp = 24) {
    Bitmap bitmap(width, height, bpp);
    const int bytes = bpp / 8;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < width; ++x, p += bytes) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            std::uint8_t r = 0, g = 0, b = 0;
            if (!right && !bottom)
                r = 255;
            else if (right && !bottom)
                g = 255;
            else if (!right && bottom)
                b = 255;
            else
                r = g = b = 255;
            p[0] = b;
            p[1] = g;
            p[2] = r;
            if (bytes == 4)
                p[3] = 0;
        }
    }
    return bitmap;
}

// The thumbnail's quadrants show the picture's, in place (not mirrored).
void expect_quadrants(const QImage& image, int tolerance) {
    ASSERT_FALSE(image.isNull());
    const int w = image.width(), h = image.height();
    struct Probe {
        int x, y;
        QColor expected;
    };
    const Probe probes[] = {
        {w / 4, h / 4, QColor(255, 0, 0)},
        {3 * w / 4, h / 4, QColor(0, 255, 0)},
        {w / 4, 3 * h / 4, QColor(0, 0, 255)},
        {3 * w / 4, 3 * h / 4, QColor(255, 255, 255)},
    };
    for (const Probe& p : probes) {
        const QColor got = image.pixelColor(p.x, p.y);
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        EXPECT_NEAR(got.red(), p.expected.red(), tolerance);
        EXPECT_NEAR(got.green(), p.expected.green(), tolerance);
        EXPECT_NEAR(got.blue(), p.expected.blue(), tolerance);
        EXPECT_EQ(got.alpha(), 255);
    }
}

std::string write_jpeg(const TempDir& dir, const std::string& name, const Bitmap& bitmap) {
    const std::vector<std::uint8_t> data = encode_jpeg(bitmap);
    return dir.write(name, data);
}

// The panel's widgets, built as the main window lays them out.
class InfoPanelTest : public ::testing::Test {
  protected:
    InfoPanelTest()
        : n_arquivo(new QLabel(&window)),
          n_tamanho(new QLabel(&window)),
          n_criado(new QLabel(&window)),
          n_resolucao(new QLabel(&window)),
          ver(new QLabel(&window)),
          panel(n_arquivo, n_tamanho, n_criado, n_resolucao, ver) {
        ver->setFixedSize(91, 53);
    }

    struct Snapshot {
        QString name, size, date, resolution;
        qint64 thumbnail;  // the pixmap's cache key, 0 when empty
        bool visible;
        friend bool operator==(const Snapshot&, const Snapshot&) = default;
    };
    Snapshot snapshot() const {
        const QPixmap pixmap = ver->pixmap();
        return {n_arquivo->text(),
                n_tamanho->text(),
                n_criado->text(),
                n_resolucao->text(),
                pixmap.isNull() ? 0 : pixmap.cacheKey(),
                panel.visible()};
    }
    QImage thumbnail() const { return ver->pixmap().toImage(); }

    display::ScopedDisplay screen{32};
    ScopedTimeZone zone{"UTC"};
    TempDir dir;
    QWidget window;
    QLabel* n_arquivo;
    QLabel* n_tamanho;
    QLabel* n_criado;
    QLabel* n_resolucao;
    QLabel* ver;
    InfoPanel panel;
};

TEST_F(InfoPanelTest, ShowAndHideTheValueFieldsTogether) {
    for (QLabel* value : {n_arquivo, n_tamanho, n_criado, n_resolucao}) {
        EXPECT_EQ(value->palette().color(QPalette::WindowText), QColor(Qt::blue));
    }
    EXPECT_EQ(ver->alignment(), Qt::AlignLeft | Qt::AlignTop);

    panel.hide();
    EXPECT_FALSE(panel.visible());
    for (QLabel* value : {n_arquivo, n_tamanho, n_criado, n_resolucao})
        EXPECT_TRUE(value->isHidden());
    panel.show();
    EXPECT_TRUE(panel.visible());
    for (QLabel* value : {n_arquivo, n_tamanho, n_criado, n_resolucao})
        EXPECT_FALSE(value->isHidden());
    // The flag is the field's own, whether or not its window is on screen.
    EXPECT_FALSE(window.isVisible());
}

TEST_F(InfoPanelTest, FillsEveryFieldOfABitmapFile) {
    const std::string path = dir.file("foto.bmp");
    write_bmp(quadrants(640, 480), path);
    set_mtime(path, kChristmas);
    const auto size = static_cast<long long>(testing::read_bytes(path).size());
    panel.hide();

    panel.fill(path);

    EXPECT_TRUE(panel.visible());
    EXPECT_EQ(n_arquivo->text(), "foto.bmp");
    EXPECT_EQ(n_tamanho->text(), QString::number(size) + " bytes");
    EXPECT_EQ(n_resolucao->text(), "640 x 480");
    EXPECT_EQ(n_criado->text(), date_text(FileDateTime{2004, 12, 25, 14, 5, 6}, QLocale::system()));
    const QImage image = thumbnail();
    EXPECT_EQ(image.size(), QSize(70, 53));
    expect_quadrants(image, 8);
}

TEST_F(InfoPanelTest, FillsFromJpegAndIconFiles) {
    // Large enough that the thumbnail comes from a reduced-scale decode.
    const std::string jpeg = write_jpeg(dir, "grande.JPG", quadrants(1600, 1000));
    panel.fill(jpeg);
    EXPECT_EQ(n_arquivo->text(), "grande.JPG");
    EXPECT_EQ(n_resolucao->text(), "1600 x 1000");
    EXPECT_EQ(thumbnail().size(), QSize(84, 53));
    expect_quadrants(thumbnail(), 40);

    // Small: drawn at its own size.
    const std::string small = write_jpeg(dir, "pequena.jpeg", quadrants(40, 20));
    panel.fill(small);
    EXPECT_EQ(n_resolucao->text(), "40 x 20");
    EXPECT_EQ(thumbnail().size(), QSize(40, 20));
    expect_quadrants(thumbnail(), 40);

    testing::IcoImageFixture image;
    image.width = image.height = 32;
    image.pixel = [](int x, int y) -> std::uint32_t {
        return y < 16 ? (x < 16 ? 0xFF0000u : 0x00FF00u) : (x < 16 ? 0x0000FFu : 0xFFFFFFu);
    };
    const std::string icon = dir.write("icone.ico", testing::make_ico({image}));
    panel.fill(icon);
    EXPECT_EQ(n_arquivo->text(), "icone.ico");
    EXPECT_EQ(n_resolucao->text(), "32 x 32");
    EXPECT_EQ(thumbnail().size(), QSize(32, 32));
    expect_quadrants(thumbnail(), 0);
}

// A portrait photo as phones store it: sideways pixels and EXIF orientation
// 6. The panel gives the size as shown and an upright thumbnail, from the
// reduced-scale decode of a large picture and from a small one drawn whole;
// the magnifier shows it upright at its size as shown.
TEST_F(InfoPanelTest, ShowsPhotosUprightByTheirOrientation) {
    for (const QSize shown : {QSize(1000, 1600), QSize(20, 40)}) {
        const Bitmap upright = quadrants(shown.width(), shown.height());
        Bitmap sideways(shown.height(), shown.width(), 24);
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                std::memcpy(sideways.row(shown.width() - 1 - x) + 3 * y, upright.row(y) + 3 * x, 3);
        const std::string path =
            dir.write("retrato.jpg", testing::with_orientation(encode_jpeg(sideways), 6));

        panel.fill(path);
        EXPECT_EQ(n_resolucao->text(), QString::asprintf("%d x %d", shown.width(), shown.height()));
        EXPECT_LT(thumbnail().width(), thumbnail().height());
        expect_quadrants(thumbnail(), 40);

        const std::unique_ptr<QDialog> preview = make_preview(path);
        EXPECT_EQ(preview->size(), shown);
        const auto* imagem = preview->findChild<QLabel*>("imagem");
        ASSERT_NE(imagem, nullptr);
        expect_quadrants(imagem->pixmap().toImage(), 40);
    }
}

TEST_F(InfoPanelTest, TheDateIsTheLastWriteTimeAndMidnightShowsTheDateAlone) {
    const std::string path = dir.file("meia-noite.bmp");
    write_bmp(quadrants(8, 8), path);
    set_mtime(path, kChristmas - (14 * 3600 + 5 * 60 + 7));  // 00:00:00
    panel.fill(path);
    EXPECT_EQ(n_criado->text(),
              QLocale::system().toString(QDate(2004, 12, 25), QLocale::ShortFormat));
    set_mtime(path, kChristmas - (14 * 3600 + 5 * 60 + 6));  // 00:00:01, rounded down
    panel.fill(path);
    EXPECT_EQ(n_criado->text(),
              QLocale::system().toString(QDate(2004, 12, 25), QLocale::ShortFormat));
}

TEST(InfoPanelDateText, ShortDateBlankLongTimeWithoutTheZone) {
    const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    EXPECT_EQ(date_text({2004, 12, 25, 14, 5, 6}, brazil), "25/12/2004 14:05:06");
    EXPECT_EQ(date_text({2004, 12, 25, 0, 0, 0}, brazil), "25/12/2004");
    EXPECT_EQ(date_text({2004, 12, 25, 0, 0, 2}, brazil), "25/12/2004 00:00:02");
    EXPECT_EQ(date_text({1980, 1, 1, 9, 0, 0}, brazil), "01/01/1980 09:00:00");
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(date_text({2004, 12, 25, 14, 5, 6}, us), "12/25/04 2:05:06 PM");

    struct Case {
        const char* format;
        const char* expected;
    };
    const Case cases[] = {
        {"HH:mm:ss t", "HH:mm:ss"},         {"h:mm:ss AP t", "h:mm:ss AP"},
        {"HH:mm:ss tttt", "HH:mm:ss"},      {"t HH:mm:ss", "HH:mm:ss"},
        {"HH'h'mm 'at' t", "HH'h'mm 'at'"}, {"HH:mm:ss", "HH:mm:ss"},
        {"H 'o''clock' t", "H 'o''clock'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(without_time_zone(QString::fromUtf8(c.format)), QString::fromUtf8(c.expected));
    }
}

TEST(InfoPanelDateText, AFileThatIsGoneIsAnInvalidName) {
    TempDir dir;
    EXPECT_EQ(file_date_text(dir.file("sumiu.bmp")), QString::fromUtf8("Nome de Arquivo Inválido"));
}

TEST_F(InfoPanelTest, AMissingFileLeavesThePanelAsItWas) {
    // Hidden and empty stays so.
    panel.hide();
    const Snapshot empty = snapshot();
    panel.fill(dir.file("nada.bmp"));
    EXPECT_EQ(snapshot(), empty);
    panel.fill("");
    EXPECT_EQ(snapshot(), empty);

    // A described file stays described.
    const std::string path = dir.file("foto.bmp");
    write_bmp(quadrants(100, 60), path);
    panel.fill(path);
    const Snapshot shown = snapshot();
    ASSERT_TRUE(shown.visible);
    ASSERT_NE(shown.thumbnail, 0);
    panel.fill(dir.file("foto2.bmp"));
    EXPECT_EQ(snapshot(), shown);
}

// A failing step leaves its own field and the later ones empty: nothing of
// the file described before stays beside the new name.
TEST_F(InfoPanelTest, ADamagedPictureFailsAfterNameAndSizeWereShown) {
    const std::string good = dir.file("boa.bmp");
    write_bmp(quadrants(100, 60), good);
    set_mtime(good, kChristmas);

    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* failure;
    };
    const Case cases[] = {
        {"ruim.bmp", std::vector<std::uint8_t>(64, 'X'), "Bitmap image is not valid"},
        {"ruim.jpg", {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'}, "JPEG error #53"},
        {"notas.txt", {'h', 'i'}, "Unknown picture file extension (.txt)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        panel.fill(good);
        ASSERT_NE(snapshot().thumbnail, 0);
        const std::string path = dir.write(c.name, c.bytes);
        EXPECT_EQ(failure_of([&] { panel.fill(path); }), c.failure);
        EXPECT_EQ(snapshot(),
                  (Snapshot{QString::fromUtf8(c.name), QString::number(c.bytes.size()) + " bytes",
                            QString(), QString(), 0, true}));
    }
}

TEST_F(InfoPanelTest, ADateOutsideTheFatYearsFailsAfterTheResolution) {
    const std::string good = dir.file("boa.bmp");
    write_bmp(quadrants(100, 60), good);
    set_mtime(good, kChristmas);
    panel.fill(good);
    ASSERT_FALSE(n_criado->text().isEmpty());

    const std::string old = dir.file("antiga.bmp");
    write_bmp(quadrants(300, 200), old);
    set_mtime(old, 315532799);  // 1979-12-31 23:59:59 UTC
    EXPECT_EQ(failure_of([&] { panel.fill(old); }), "Invalid argument to date encode");
    EXPECT_EQ(n_arquivo->text(), "antiga.bmp");
    EXPECT_EQ(n_resolucao->text(), "300 x 200");
    EXPECT_EQ(n_criado->text(), QString());
    EXPECT_EQ(snapshot().thumbnail, 0);
}

TEST_F(InfoPanelTest, PathBytesThatAreNotUtf8AreFoundAndShownDecoded) {
    const std::string path = dir.file(std::string("caf\xE9 \xFF.bmp"));
    write_bmp(quadrants(20, 10), path);
    panel.fill(path);
    EXPECT_EQ(n_arquivo->text(), QString::fromLocal8Bit("caf\xE9 \xFF.bmp"));
    EXPECT_EQ(n_resolucao->text(), "20 x 10");
}

TEST_F(InfoPanelTest, HideEmptiesTheThumbnail) {
    const std::string path = dir.file("foto.bmp");
    write_bmp(quadrants(100, 60), path);
    panel.fill(path);
    ASSERT_FALSE(ver->pixmap().isNull());
    panel.hide();
    EXPECT_TRUE(ver->pixmap().isNull());
    EXPECT_FALSE(panel.visible());
    // The texts stay; only their fields are hidden.
    EXPECT_EQ(n_arquivo->text(), "foto.bmp");
}

TEST(ThumbnailImage, PixelSizesFollowTheThumbnailRule) {
    display::ScopedDisplay screen(32);
    TempDir dir;
    struct Case {
        int width, height;
        QSize expected;
    };
    const Case cases[] = {
        {640, 480, {70, 53}}, {50, 30, {50, 30}}, {91, 53, {91, 53}}, {92, 53, {91, 52}},
        {53, 91, {30, 53}},   {1, 1, {1, 1}},     {300, 2, {91, 1}},  {2, 300, {1, 53}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const std::string bmp = dir.file("t.bmp");
        write_bmp(quadrants(c.width, c.height), bmp);
        const QImage from_bmp = thumbnail_image(bmp);
        const std::string jpg = write_jpeg(dir, "t.jpg", quadrants(c.width, c.height));
        const QImage from_jpg = thumbnail_image(jpg);
        if (c.expected.isEmpty()) {
            EXPECT_TRUE(from_bmp.isNull());
            EXPECT_TRUE(from_jpg.isNull());
        } else {
            EXPECT_EQ(from_bmp.size(), c.expected);
            EXPECT_EQ(from_jpg.size(), c.expected);
        }
    }
}

TEST(PictureImage, DrawsTheWholePictureUprightOnWhite) {
    display::ScopedDisplay screen(32);
    // Odd widths: rows padded in the bitmaps, not in the image.
    for (int bpp : {24, 32}) {
        SCOPED_TRACE(bpp);
        BitmapPicture picture(quadrants(37, 21, bpp));
        const QImage image = picture_to_image(picture);
        EXPECT_EQ(image.size(), QSize(37, 21));
        EXPECT_EQ(image.format(), QImage::Format_RGB32);
        expect_quadrants(image, 0);
    }
    BitmapPicture empty{Bitmap()};
    EXPECT_TRUE(picture_to_image(empty).isNull());
}

}  // namespace
}  // namespace quillora
