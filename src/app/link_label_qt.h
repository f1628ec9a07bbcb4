// A web link: blue and underlined, red while the pointer is over it; a click
// opens the address it shows.
#pragma once

#include <QLabel>

namespace quillora {

class LinkLabel : public QLabel {
    Q_OBJECT
  public:
    explicit LinkLabel(QWidget* parent = nullptr);

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void set_colour(const QColor& colour);
};

}  // namespace quillora
