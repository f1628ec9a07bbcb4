// A colour picker: a button showing its colour that opens a drop-down palette
// of 40 colours, with "Automatic" (the special colour clDefault) above it and
// "Other Colors..." (the system colour dialog) below it.
#pragma once

#include <QColor>
#include <QPushButton>
#include <span>
#include <string_view>

#include "settings/colour_text.h"

class QMenu;

namespace quillora {

class ColourPicker : public QPushButton {
    Q_OBJECT
  public:
    struct PaletteEntry {
        settings::Colour value;  // 0x00BBGGRR
        std::string_view name;
    };
    // The palette of the drop-down, row by row (8 columns, 5 rows).
    static std::span<const PaletteEntry> palette_colours() noexcept;

    explicit ColourPicker(QWidget* parent = nullptr);

    settings::Colour colour() const noexcept { return colour_; }
    void set_colour(settings::Colour colour);

    // How clDefault is drawn, as the list draws it.
    void set_automatic_colour(const QColor& colour);
    // The colour shown on the button.
    QColor shown_colour() const;

    // The drop-down (its entries are named "automatico", "cor_00" … "cor_39"
    // and "outras_cores").
    QMenu* drop_down() const noexcept { return menu_; }

  signals:
    void colour_changed(quillora::settings::Colour colour);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void choose(settings::Colour colour);
    void choose_other();
    void mark_current();

    QMenu* menu_;
    settings::Colour colour_ = settings::kRed;
    QColor automatic_ = Qt::black;
};

}  // namespace quillora
