#include "filelist/list_drop_qt.h"

#include <QAbstractItemView>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <filesystem>
#include <system_error>

#include "platform/file_url_qt.h"

namespace quillora {
namespace {

// Watches the list's viewport, where drops land.
class DropFilter : public QObject {
  public:
    DropFilter(QAbstractItemView* list,
               std::function<void(const std::vector<DroppedItem>&)> dropped)
        : QObject(list), list_(list), dropped_(std::move(dropped)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* drag = static_cast<QDragMoveEvent*>(event);
                if (drag->mimeData() != nullptr && !dropped_items(*drag->mimeData()).empty()) {
                    drag->setDropAction(Qt::CopyAction);
                    drag->accept();
                } else {
                    drag->ignore();
                }
                return true;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                std::vector<DroppedItem> items;
                if (drop->mimeData() != nullptr)
                    items = dropped_items(*drop->mimeData());
                if (items.empty()) {
                    drop->ignore();
                    return true;
                }
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
                QMetaObject::invokeMethod(
                    this,
                    [this, items = std::move(items)] {
                        if (list_)
                            dropped_(items);
                    },
                    Qt::QueuedConnection);
                return true;
            }
            default:
                return QObject::eventFilter(watched, event);
        }
    }

  private:
    QPointer<QAbstractItemView> list_;
    std::function<void(const std::vector<DroppedItem>&)> dropped_;
};

}  // namespace

std::vector<DroppedItem> dropped_items(const QMimeData& data) {
    std::vector<DroppedItem> items;
    if (!data.hasUrls())
        return items;
    for (const QUrl& url : data.urls()) {
        std::string path = local_file_bytes(url);
        if (path.empty())
            continue;
        std::error_code error;
        const bool folder = std::filesystem::is_directory(path, error);
        items.push_back({std::move(path), folder});
    }
    return items;
}

void accept_file_drops(QAbstractItemView* list,
                       std::function<void(const std::vector<DroppedItem>&)> dropped) {
    list->setAcceptDrops(true);
    list->viewport()->setAcceptDrops(true);
    list->viewport()->installEventFilter(new DropFilter(list, std::move(dropped)));
}

}  // namespace quillora
