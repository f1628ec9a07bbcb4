#include "filelist/list_delegate_qt.h"

#include <QAbstractItemModel>
#include <QByteArray>
#include <QFontMetrics>
#include <QListWidget>
#include <QPainter>
#include <QSignalBlocker>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace quillora {

namespace {

std::string path_of(const QListWidgetItem* item) {
    const QVariant bytes = item->data(Qt::UserRole);
    if (bytes.typeId() == QMetaType::QByteArray) {
        const QByteArray b = bytes.toByteArray();
        return std::string(b.constData(), static_cast<std::size_t>(b.size()));
    }
    return item->text().toLocal8Bit().toStdString();
}

}  // namespace

ListDelegate::ListDelegate(QListWidget* list) : QStyledItemDelegate(list), list_(list) {
    stale_ = list_->count() > 0;
    list_->setUniformItemSizes(true);
    list_->setTextElideMode(Qt::ElideNone);
    list_->setWordWrap(false);
    list_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_->setItemDelegate(this);

    // The list widget's model lives as long as the list.
    QAbstractItemModel* model = list_->model();
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { measure(first, last); });
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                // Only losing the widest item (or one as wide) narrows the list.
                for (int row = first; row <= last && !stale_; ++row) {
                    if (row_width(row) >= widest_)
                        stale_ = true;
                }
            });
    // Asks the model, not the list: the model is reset while the list is
    // being destroyed.
    connect(model, &QAbstractItemModel::modelReset, this, [this, model] {
        widest_ = 0;
        stale_ = model->rowCount() > 0;
    });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole))
                    stale_ = true;
            });
    connect(model, &QAbstractItemModel::layoutChanged, this, [this] { stale_ = true; });
}

QFont ListDelegate::plain_font(QFont font) {
    font.setKerning(false);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

void ListDelegate::set_selection_colours(QColor background, QColor text) {
    background_ = background;
    text_ = text;
    repaint_list();
}

void ListDelegate::set_grid_lines(bool on) {
    grid_lines_ = on;
    repaint_list();
}

void ListDelegate::repaint_list() {
    list_->viewport()->update();
}

void ListDelegate::follow_font() const {
    if (metrics_ && list_->font() == measured_font_)
        return;
    measured_font_ = list_->font();
    const QFont font = plain_font(measured_font_);
    metrics_.emplace(font);
    const QFontMetricsF exact(font);
    advances_.resize(kEndTabled - kFirstTabled);
    for (char16_t c = kFirstTabled; c < kEndTabled; ++c)
        advances_[c - kFirstTabled] = exact.horizontalAdvance(QChar(c));
    stale_ = true;
}

int ListDelegate::text_width(const QString& text) const {
    follow_font();
    qreal sum = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < kFirstTabled || u >= kEndTabled)
            return metrics_->horizontalAdvance(text);
        sum += advances_[u - kFirstTabled];
    }
    return static_cast<int>(std::ceil(sum));
}

int ListDelegate::row_width(int row) const {
    const QListWidgetItem* item = list_->item(row);
    return item ? text_width(item->text()) : 0;
}

void ListDelegate::measure(int first, int last) {
    follow_font();
    if (stale_)
        return;  // everything is measured again when next asked
    for (int row = first; row <= last; ++row)
        widest_ = std::max(widest_, row_width(row));
}

void ListDelegate::measure_all() const {
    widest_ = 0;
    stale_ = false;
    const int count = list_->count();
    for (int row = 0; row < count; ++row)
        widest_ = std::max(widest_, row_width(row));
}

int ListDelegate::item_width() const {
    follow_font();
    if (stale_)
        measure_all();
    return widest_ + 2 * kTextMargin;
}

QSize ListDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return {item_width(), kRowHeight};
}

void ListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    // The row reaches at least to the right edge of the visible area, so a
    // selection or grid line is never cut short of it.
    QRect row = option.rect;
    if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget)) {
        row.setRight(std::max(row.right(), view->viewport()->width() - 1));
    }
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    painter->save();
    if (selected)
        painter->fillRect(row, background_);
    const QPalette::ColorGroup group =
        option.state.testFlag(QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    painter->setPen(selected ? text_ : option.palette.color(group, QPalette::Text));
    painter->setFont(plain_font(option.font));
    const QRect text_rect = row.adjusted(kTextMargin, 0, 0, 0);
    painter->drawText(text_rect,
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
                      index.data(Qt::DisplayRole).toString());
    if (grid_lines_)
        painter->fillRect(QRect(row.left(), row.bottom(), row.width(), 1), kGridColour);
    painter->restore();
}

QString display_path(const std::string& path) {
    return QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size()));
}

void append_paths(QListWidget* list, const std::vector<std::string>& paths) {
    if (paths.empty())
        return;
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(paths.size()));
    for (const std::string& path : paths)
        texts.append(display_path(path));
    const int first = list->count();
    // One insertion for all rows; the views lay the list out once.
    list->addItems(texts);
    // The bytes go in quietly: no view shows them, and one change signal per
    // row would cost more than the insertion itself.
    const QSignalBlocker quiet(list->model());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        list->item(first + static_cast<int>(i))
            ->setData(Qt::UserRole, QByteArray(path.data(), static_cast<qsizetype>(path.size())));
    }
}

std::vector<std::string> list_paths(const QListWidget* list) {
    std::vector<std::string> paths;
    const int count = list->count();
    paths.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row)
        paths.push_back(path_of(list->item(row)));
    return paths;
}

std::string path_at(const QListWidget* list, int row) {
    if (row < 0 || row >= list->count())
        return {};
    return path_of(list->item(row));
}

}  // namespace quillora
