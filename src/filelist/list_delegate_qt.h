// The source list `lista_arquivos`: how its items are drawn, and the path
// bytes each item keeps.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QStyledItemDelegate>
#include <optional>
#include <string>
#include <vector>

class QListWidget;

namespace quillora {

// Draws the rows of a list of paths: 18 pixels high, the whole text from the
// left with no ellipsis, the selected item on its own background and text
// colours whether or not the list has the focus, and optionally a silver
// line along the bottom of every item. Text is set plainly, glyph after
// glyph, without kerning or ligatures.
//
// It keeps the width of the widest text so that the list's horizontal
// extent follows its longest item: every item is laid out with that width
// (the list is set to items of one size, so the view measures nothing
// itself), and inserted rows are measured as they come. Texts of Latin
// letters, digits and signs (U+0020 to U+02FF) are measured from a table of
// character advances, rounded up, so a hundred thousand paths take about a
// millisecond; other texts through the font's full layout.
class ListDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    static constexpr int kRowHeight = 18;
    // Blank left before the text and after it in the horizontal extent.
    static constexpr int kTextMargin = 2;
    static inline const QColor kGridColour{192, 192, 192};

    // Becomes the list's item delegate (and a child of the list) and sets it
    // up: items of one size, horizontal scrolling by pixels.
    explicit ListDelegate(QListWidget* list);

    // Initially red and yellow.
    void set_selection_colours(QColor background, QColor text);
    QColor selection_background() const { return background_; }
    QColor selection_text() const { return text_; }

    // Initially off.
    void set_grid_lines(bool on);
    bool grid_lines() const { return grid_lines_; }

    // The width every item is laid out with: the widest text plus margins.
    int item_width() const;
    // The width of a text as the rows draw it (rounded up to whole pixels).
    int text_width(const QString& text) const;
    // The list's font as the rows use it.
    static QFont plain_font(QFont font);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    void follow_font() const;
    int row_width(int row) const;
    void measure(int first, int last);
    void measure_all() const;
    void repaint_list();

    static constexpr char16_t kFirstTabled = 0x20;
    static constexpr char16_t kEndTabled = 0x300;

    QListWidget* list_;
    QColor background_{Qt::red};
    QColor text_{Qt::yellow};
    bool grid_lines_ = false;
    // The widest text width among the items, for the font it was measured
    // with; stale after the widest item went away or changed.
    mutable int widest_ = 0;
    mutable bool stale_ = false;
    mutable QFont measured_font_;  // the list's font the measures are for
    mutable std::optional<QFontMetrics> metrics_;
    mutable std::vector<qreal> advances_;  // from kFirstTabled to kEndTabled
};

// The text a path is shown as: its bytes decoded as the local 8-bit encoding
// (UTF-8 here); the bytes themselves are never re-encoded.
QString display_path(const std::string& path);

// Appends paths at the end of the list in the order given, in one insertion:
// each item shows the decoded text and keeps the exact bytes as a QByteArray
// in Qt::UserRole.
void append_paths(QListWidget* list, const std::vector<std::string>& paths);

// The path bytes of every item, in order. An item without bytes in
// Qt::UserRole gives its text in the local 8-bit encoding.
std::vector<std::string> list_paths(const QListWidget* list);

// The path bytes of the item at `row`; empty for a row outside the list
// (such as -1, no selection).
std::string path_at(const QListWidget* list, int row);

}  // namespace quillora
