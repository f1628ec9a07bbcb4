#include "settings/colour_qt.h"

namespace quillora::settings {
namespace {

// The palette role that stands in for each system colour index.
QPalette::ColorRole role_of(unsigned index) noexcept {
    switch (index) {
        case 5:
            return QPalette::Base;  // window
        case 7:
        case 19:
            return QPalette::WindowText;  // menu text, inactive caption text
        case 8:
            return QPalette::Text;  // window text
        case 9:
        case 14:
            return QPalette::HighlightedText;
        case 2:
        case 13:
        case 27:
        case 29:
            return QPalette::Highlight;
        case 3:
        case 12:
        case 28:
            return QPalette::Mid;
        case 6:
        case 16:
            return QPalette::Dark;
        case 17:
            return QPalette::PlaceholderText;  // grey text
        case 18:
            return QPalette::ButtonText;
        case 20:
            return QPalette::Light;
        case 21:
            return QPalette::Shadow;
        case 22:
            return QPalette::Midlight;
        case 23:
            return QPalette::ToolTipText;
        case 24:
            return QPalette::ToolTipBase;
        case 26:
            return QPalette::Link;  // hot light
        case 1:
        case 4:
        case 30:
            return QPalette::Window;
        default:
            return QPalette::Button;  // scroll bar, borders, button face
    }
}

}  // namespace

QColor to_qcolor(Colour colour, const QColor& fallback, const QPalette& palette) {
    if (colour == kColourDefault || colour == kColourNone)
        return fallback;
    if ((colour & 0xFF000000u) == kSystemColour)
        return palette.color(role_of(colour & 0xFFu));
    if (colour & 0xFF000000u)
        return fallback;
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

Colour from_qcolor(const QColor& colour) noexcept {
    return static_cast<Colour>(colour.red()) | static_cast<Colour>(colour.green()) << 8 |
           static_cast<Colour>(colour.blue()) << 16;
}

}  // namespace quillora::settings
