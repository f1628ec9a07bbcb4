// The status bar's progress bar: solid blocks in a white-to-orange gradient,
// with a caption text centred on it instead of a percentage.
#pragma once

#include <QProgressBar>

namespace quillora {

class ProgressoBar : public QProgressBar {
    Q_OBJECT
  public:
    explicit ProgressoBar(QWidget* parent = nullptr);

    void set_caption(const QString& caption);
    QString caption() const { return caption_; }

  signals:
    void caption_changed(const QString& caption);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString caption_;
};

}  // namespace quillora
