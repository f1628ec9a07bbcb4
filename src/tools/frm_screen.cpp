#include "tools/frm_screen.h"

#include <QCloseEvent>
#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include "filelist/picture_image_qt.h"
#include "imaging/bmp.h"
#include "platform/dialogs_qt.h"
#include "platform/error.h"
#include "platform/maker.h"
#include "ui_frm_screen.h"

namespace quillora {

namespace {

QFont caption_font(QFont font, const QString& text, int width) {
    int pixels = 13;
    font.setPixelSize(pixels);
    while (pixels > 8 && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPixelSize(--pixels);
    return font;
}

}  // namespace

ScreenImage::ScreenImage(QWidget* parent) : QWidget(parent) {}

void ScreenImage::set_image(const QImage& image) {
    if (image.isNull() || width() <= 0 || height() <= 0)
        scaled_ = QImage();
    else if (image.size() == size())
        scaled_ = image;
    else
        scaled_ = image.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    update();
}

void ScreenImage::paintEvent(QPaintEvent*) {
    if (scaled_.isNull())
        return;
    QPainter painter(this);
    // Stretched again only if the area was resized after the picture came.
    painter.drawImage(rect(), scaled_);
}

void ScreenImage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit doubleClicked();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

Tform_screen::Tform_screen(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::Tform_screen>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());

    for (QFrame* bar : {ui_->s01, ui_->s02}) {
        QPalette black = bar->palette();
        black.setColor(QPalette::Window, Qt::black);
        bar->setPalette(black);
    }
    // White bold captions 13 pixels high, in a face of Tahoma's or Arial's
    // width where one is installed; a wider face gets a smaller size rather
    // than a cut caption.
    QFont bold = ui_->l01->font();
    bold.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Helvetica")});
    bold.setBold(true);
    for (QLabel* label : {ui_->l01, ui_->l02}) {
        QPalette white = label->palette();
        white.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(white);
        label->setFont(caption_font(bold, label->text(), label->width()));
        label->setAutoFillBackground(false);
    }
    connect(ui_->image, &ScreenImage::doubleClicked, this, &Tform_screen::imageDblClick);
}

Tform_screen::~Tform_screen() = default;

void Tform_screen::set_picture(Bitmap picture) {
    // The shown image is made first: if that fails the old picture stays.
    ui_->image->set_image(image_from_bitmap(picture));
    if (picture.empty())
        picture_.reset();
    else
        picture_ = std::move(picture);
}

void Tform_screen::imageDblClick() {
    if (!picture_)
        return;
    const auto chosen = dialogs().save_capture(this, last_save_, [](const QString& path) {
        return thumbnail_image(path.toLocal8Bit().toStdString());
    });
    if (!chosen)
        return;
    last_save_ = *chosen;
    try {
        write_bmp(*picture_, chosen->toLocal8Bit().toStdString());
    } catch (const Error& failure) {
        // Nothing is written; the capture stays on show to be saved elsewhere,
        // and the program goes on with the user's lists.
        dialogs().warn(this, QString::fromUtf8(kProgramTitle),
                       QString::fromLocal8Bit(failure.what()));
    }
}

void Tform_screen::FormClose() {
    ui_->image->set_image(QImage());
    picture_.reset();
}

void Tform_screen::done(int result) {
    FormClose();
    QDialog::done(result);
}

void Tform_screen::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}

}  // namespace quillora
