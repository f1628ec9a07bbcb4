// The source list's drawing (row height, selection colours, grid lines, the
// horizontal extent) and the path bytes its items keep.
#include "filelist/list_delegate_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QListWidget>
#include <QPixmap>
#include <QScrollBar>
#include <string>
#include <vector>

namespace quillora {
namespace {

class ListDelegateTest : public ::testing::Test {
  protected:
    ListDelegateTest() : delegate(new ListDelegate(&list)) {
        list.setObjectName("lista_arquivos");
        list.setFrameShape(QFrame::NoFrame);
        list.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list.resize(240, 120);
        list.show();
    }

    // Lays the list out and draws it.
    QImage render() {
        QApplication::processEvents();
        list.doItemsLayout();
        return list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    QColor base() const { return list.palette().color(QPalette::Base); }
    // The width the font's full text layout gives, as the rows draw it.
    int laid_out_width(const QString& text) const {
        return QFontMetrics(ListDelegate::plain_font(list.font())).horizontalAdvance(text);
    }

    QListWidget list;
    ListDelegate* delegate;
};

// How many pixels of a rectangle have (nearly) this colour.
int count_colour(const QImage& image, const QRect& area, const QColor& colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 40 &&
                std::abs(c.green() - colour.green()) < 40 &&
                std::abs(c.blue() - colour.blue()) < 40) {
                ++n;
            }
        }
    }
    return n;
}

TEST_F(ListDelegateTest, RowsAreEighteenPixelsHigh) {
    append_paths(&list, {"/fotos/a.bmp", "/fotos/b.bmp", "/fotos/c.bmp"});
    render();
    EXPECT_EQ(list.sizeHintForRow(0), 18);
    for (int row = 0; row < 3; ++row) {
        const QRect rect = list.visualItemRect(list.item(row));
        EXPECT_EQ(rect.top(), 18 * row);
        EXPECT_EQ(rect.height(), 18);
    }
}

TEST_F(ListDelegateTest, TheSelectedItemHasItsOwnColoursWithOrWithoutFocus) {
    append_paths(&list, {"/fotos/a.bmp", "/fotos/b.bmp", "/fotos/c.bmp"});
    list.setCurrentRow(1);
    ASSERT_FALSE(list.hasFocus());
    EXPECT_EQ(delegate->selection_background(), QColor(Qt::red));
    EXPECT_EQ(delegate->selection_text(), QColor(Qt::yellow));

    QImage image = render();
    const QRect row0(0, 0, image.width(), 18), row1(0, 18, image.width(), 18);
    // The selected row is red across the whole width, the text yellow.
    EXPECT_EQ(image.pixelColor(image.width() - 2, 27), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(0, 18), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(0, 35), QColor(Qt::red));
    EXPECT_GT(count_colour(image, row1, QColor(Qt::yellow)), 10);
    // The other rows keep the list's own colours.
    EXPECT_EQ(image.pixelColor(image.width() - 2, 9), base());
    EXPECT_EQ(count_colour(image, row0, QColor(Qt::red)), 0);
    EXPECT_EQ(count_colour(image, row0, QColor(Qt::yellow)), 0);

    delegate->set_selection_colours(QColor(0, 128, 0), QColor(Qt::white));
    image = render();
    EXPECT_EQ(image.pixelColor(image.width() - 2, 27), QColor(0, 128, 0));
    EXPECT_GT(count_colour(image, row1, QColor(Qt::white)), 10);
    EXPECT_EQ(count_colour(image, row1, QColor(Qt::red)), 0);

    // With the focus as without.
    list.setFocus();
    image = render();
    EXPECT_EQ(image.pixelColor(image.width() - 2, 27), QColor(0, 128, 0));
}

TEST_F(ListDelegateTest, GridLinesRunAlongTheBottomOfEveryItem) {
    append_paths(&list, {"/fotos/a.bmp", "/fotos/b.bmp", "/fotos/c.bmp"});
    list.setCurrentRow(1);
    const QColor silver(192, 192, 192);
    const int right = 239;

    EXPECT_FALSE(delegate->grid_lines());
    QImage image = render();
    for (int row = 0; row < 3; ++row)
        EXPECT_NE(image.pixelColor(right, 18 * row + 17), silver) << row;

    delegate->set_grid_lines(true);
    image = render();
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        // The whole bottom line, over the selection too; one pixel high.
        for (int x : {0, 120, right})
            EXPECT_EQ(image.pixelColor(x, 18 * row + 17), silver) << x;
        EXPECT_NE(image.pixelColor(right, 18 * row + 16), silver);
        EXPECT_NE(image.pixelColor(right, 18 * row + 18), silver);
    }
    EXPECT_EQ(image.pixelColor(right, 27), QColor(Qt::red));
    // Rows past the last item have no line.
    EXPECT_NE(image.pixelColor(right, 18 * 3 + 17), silver);

    delegate->set_grid_lines(false);
    image = render();
    EXPECT_NE(image.pixelColor(right, 17), silver);
}

TEST_F(ListDelegateTest, TheHorizontalExtentFollowsTheLongestItem) {
    QScrollBar* bar = list.horizontalScrollBar();
    append_paths(&list, {"/a.bmp", "/b.bmp"});
    render();
    EXPECT_EQ(bar->maximum(), 0);

    const std::string long_path = "/home/usuario/Imagens/" + std::string(120, 'W') + "/fim.bmp";
    append_paths(&list, {"/c.bmp", long_path, "/d.bmp"});
    render();
    const int text = laid_out_width(QString::fromStdString(long_path));
    EXPECT_GE(delegate->item_width(), text + 2 * ListDelegate::kTextMargin);
    EXPECT_LE(delegate->item_width(), text + 2 * ListDelegate::kTextMargin + 1);
    EXPECT_EQ(bar->maximum(), delegate->item_width() - list.viewport()->width());

    // Scrolled to the end, the end of the text is in view: no ellipsis, no
    // cut; the selection reaches the right edge of the extent.
    list.setCurrentRow(3);
    bar->setValue(bar->maximum());
    const QImage image = render();
    const int w = image.width();
    EXPECT_GT(count_colour(image, QRect(w - 14, 54, 12, 18), QColor(Qt::yellow)), 3);
    EXPECT_EQ(image.pixelColor(w - 1, 63), QColor(Qt::red));

    // The extent shrinks when the longest item goes, grows with a longer text.
    delete list.takeItem(3);
    render();
    EXPECT_EQ(bar->maximum(), 0);
    list.item(0)->setText(QString(200, u'M'));
    render();
    EXPECT_GE(delegate->item_width(),
              laid_out_width(QString(200, u'M')) + 2 * ListDelegate::kTextMargin);
    EXPECT_GT(bar->maximum(), 0);
    list.clear();
    render();
    EXPECT_EQ(bar->maximum(), 0);
}

TEST_F(ListDelegateTest, TextWidthsAreNeverBelowTheFullLayout) {
    const QString texts[] = {
        "",
        "/fotos/a.bmp",
        "/home/usuario/Imagens/Férias AV To/2004/fiota_1234567.jpg",  // Latin-1, kerning pairs
        "/fotos/\u0161\u0142\u0105.jpg",                              // Latin Extended-A
        "/fotos/caf\u00e9 \ufffd.jpg",                                // replacement character
        "/fotos/\u65e5\u672c.jpg",                                    // outside the table
        "/fotos/a\u0301b.jpg",                                        // combining accent
        QString(300, u'W'),
    };
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        const int full = laid_out_width(text);
        EXPECT_GE(delegate->text_width(text), full);
        EXPECT_LE(delegate->text_width(text), full + 1);
    }
    // Another font, other widths.
    const int before = delegate->text_width("WWWW");
    QFont bigger = list.font();
    bigger.setPointSizeF(bigger.pointSizeF() * 2);
    list.setFont(bigger);
    EXPECT_GT(delegate->text_width("WWWW"), before + 10);
}

TEST_F(ListDelegateTest, AManyItemListIsAppendedInOrderWithItsWidestItem) {
    std::vector<std::string> paths;
    for (int i = 0; i < 100000; ++i)
        paths.push_back("/fotos/" + std::to_string(i) + ".jpg");
    paths[54321] = "/fotos/" + std::string(60, 'W') + ".jpg";
    append_paths(&list, paths);
    render();
    ASSERT_EQ(list.count(), 100000);
    EXPECT_EQ(list_paths(&list), paths);
    EXPECT_EQ(delegate->item_width(), delegate->text_width(QString::fromStdString(paths[54321])) +
                                          2 * ListDelegate::kTextMargin);
}

TEST_F(ListDelegateTest, PathBytesComeBackExactlyAsTheyWent) {
    const std::vector<std::string> first = {
        "/fotos/caf\xE9.jpg",             // Latin-1, not UTF-8
        "/fotos/\xFF\xFE\x80.bmp",        // no encoding at all
        "/fotos/ma\xC3\xA7\xC3\xA3.ico",  // UTF-8
        "/fotos/caf\xE9.jpg",             // duplicates stay
        "",
        std::string("/fotos/a\0b.bmp", 14),
    };
    const std::vector<std::string> second = {"/fotos/z.bmp", "C:\\fotos\\y.BMP"};
    append_paths(&list, first);
    append_paths(&list, second);
    append_paths(&list, {});

    std::vector<std::string> all = first;
    all.insert(all.end(), second.begin(), second.end());
    EXPECT_EQ(list_paths(&list), all);
    ASSERT_EQ(list.count(), static_cast<int>(all.size()));
    for (int row = 0; row < list.count(); ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(path_at(&list, row), all[static_cast<std::size_t>(row)]);
        EXPECT_EQ(list.item(row)->text(), display_path(all[static_cast<std::size_t>(row)]));
    }
    EXPECT_EQ(list.item(2)->text(), QString::fromUtf8("/fotos/ma\xC3\xA7\xC3\xA3.ico"));
    EXPECT_EQ(path_at(&list, -1), "");
    EXPECT_EQ(path_at(&list, list.count()), "");

    // An item put in as text alone gives the text's bytes.
    list.addItem(QString::fromUtf8("/fotos/s\xC3\xB3 texto.bmp"));
    EXPECT_EQ(path_at(&list, list.count() - 1), "/fotos/s\xC3\xB3 texto.bmp");
}

}  // namespace
}  // namespace quillora
