// The viewer of a desktop capture: shows the captured picture scaled to its
// image area and saves it as a BMP file on a double click.
#pragma once

#include <QDialog>
#include <QImage>
#include <QWidget>
#include <memory>
#include <optional>

#include "imaging/bitmap.h"

namespace Ui {
class Tform_screen;
}

namespace quillora {

// The viewer's image area: paints its picture stretched over the whole area
// (proportions not kept) and reports double clicks.
class ScreenImage : public QWidget {
    Q_OBJECT
  public:
    explicit ScreenImage(QWidget* parent = nullptr);

    // Shows this picture (a null image shows nothing). It is scaled once to
    // the area's size and only that copy is kept, so painting never rescales
    // a full-screen picture.
    void set_image(const QImage& image);
    // What is painted: the picture at the area's size (null when empty).
    const QImage& shown() const noexcept { return scaled_; }

  signals:
    void doubleClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    QImage scaled_;
};

class Tform_screen : public QDialog {
    Q_OBJECT
  public:
    explicit Tform_screen(QWidget* parent = nullptr);
    ~Tform_screen() override;

    // Holds the captured screen bitmap and shows it.
    void set_picture(Bitmap picture);
    // The picture held, or nullptr when the viewer is empty.
    const Bitmap* picture() const noexcept { return picture_ ? &*picture_ : nullptr; }

    // Saves the picture held as a BMP file under a name the user chooses.
    void imageDblClick();
    // Empties the viewer, releasing the picture (run whenever it closes).
    void FormClose();

    void done(int result) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    std::unique_ptr<Ui::Tform_screen> ui_;
    std::optional<Bitmap> picture_;
    QString last_save_;
};

}  // namespace quillora
