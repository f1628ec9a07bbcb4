// Colour values of the settings as Qt colours.
#pragma once

#include <QColor>
#include <QPalette>

#include "settings/colour_text.h"

namespace quillora::settings {

// A fixed colour 0x00BBGGRR as itself; a system colour as the palette's
// colour of the same role; clDefault and clNone as `fallback`.
QColor to_qcolor(Colour colour, const QColor& fallback, const QPalette& palette = QPalette());

// The colour value of a Qt colour (a fixed colour).
Colour from_qcolor(const QColor& colour) noexcept;

}  // namespace quillora::settings
