#include "engine/modes.h"

#include <vector>

namespace quillora {

const std::array<ModeInfo, kModeCount>& mode_table() noexcept {
    static constexpr std::array<ModeInfo, kModeCount> table{{
        {Mode::BmpToJpeg, "BMP - JPG",
         "Imagem Bitmap (*.bmp)|*.bmp=Converter *.BMP em *.JPEG=*.bmp", ".jpg", "bmp-jpg"},
        {Mode::JpegToBmp, "JPG/JPEG - BMP",
         "Imagem JPG (*.jpg; *.jpeg)|*.jpg;*.jpeg=Converter *.JPG em *.BMP=*.jpg; *.jpeg", ".bmp",
         "jpg-bmp"},
        {Mode::IcoToBmp, "ICO - BMP",
         "Imagem \xC3\x8D"
         "cone (*.ico)|*.ico=Converter *.ICO em *.BMP=*.ico",
         ".bmp", "ico-bmp"},
        {Mode::IcoToJpeg, "ICO - JPG",
         "Imagem \xC3\x8D"
         "cone (*.ico)|*.ico=Converter *.ICO em *.JPG=*.ico",
         ".jpg", "ico-jpg"},
    }};
    return table;
}

const ModeInfo& mode_info(Mode mode) noexcept {
    return mode_table()[static_cast<int>(mode)];
}

std::optional<Mode> mode_from_index(int index) noexcept {
    if (index < 0 || index >= kModeCount)
        return std::nullopt;
    return static_cast<Mode>(index);
}

std::string descriptor_field(int n, std::string_view separator, std::string_view text) {
    // Every separator becomes a line break; the text is then cut into lines
    // (a line ends at CR, LF or CR LF, and a break at the very end does not
    // start an empty line), and line n is the field.
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (!separator.empty() && text.substr(i, separator.size()) == separator) {
            lines += "\r\n";
            i += separator.size();
        } else {
            lines += text[i++];
        }
    }
    int line = 1;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= lines.size(); ++i) {
        bool at_end = i == lines.size();
        if (!at_end && lines[i] != '\r' && lines[i] != '\n')
            continue;
        if (at_end && i == start && line > 1)
            break;  // nothing after a final break
        if (line == n)
            return lines.substr(start, i - start);
        if (at_end)
            break;
        if (lines[i] == '\r' && i + 1 < lines.size() && lines[i + 1] == '\n')
            ++i;
        start = i + 1;
        ++line;
    }
    return {};
}

}  // namespace quillora
