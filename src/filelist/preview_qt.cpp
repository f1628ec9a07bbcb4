#include "filelist/preview_qt.h"

#include <QLabel>
#include <QPixmap>

#include "engine/paths.h"
#include "filelist/picture_image_qt.h"
#include "imaging/picture_loader.h"
#include "platform/centre_qt.h"

namespace quillora {

std::unique_ptr<QDialog> make_preview(const std::string& path) {
    // Load first: a picture that cannot be read gives no window at all.
    std::unique_ptr<Picture> picture = load_picture(path);
    const QImage image = picture_to_image(*picture);
    picture.reset();

    auto window = std::make_unique<QDialog>();
    window->setObjectName("preview");
    // A fixed dialog border with only the close button, no scroll bars.
    window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    auto* shown = new QLabel(window.get());
    shown->setObjectName("imagem");
    shown->setPixmap(QPixmap::fromImage(image));
    shown->setGeometry(0, 0, image.width(), image.height());
    window->setFixedSize(image.size());
    const std::string_view name = paths::file_name(path);
    window->setWindowTitle(QString::fromLocal8Bit(name.data(), static_cast<int>(name.size())));
    centre_on_screen(*window);
    return window;
}

}  // namespace quillora
