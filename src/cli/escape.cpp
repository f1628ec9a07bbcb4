#include "cli/escape.h"

namespace quillora::cli {
namespace {

void append_hex(std::string& out, unsigned char byte) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
}

}  // namespace

std::string escape_file_name(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        switch (byte) {
            case '\\':
                out += "\\\\";
                continue;
            case '\n':
                out += "\\n";
                continue;
            case '\r':
                out += "\\r";
                continue;
            case '\t':
                out += "\\t";
                continue;
            default:
                break;
        }
        if (byte < 0x20 || byte == 0x7F) {
            append_hex(out, byte);
        } else if (byte == 0xC2 && i + 1 < name.size() &&
                   static_cast<unsigned char>(name[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(name[i + 1]) <= 0x9F) {
            // A C1 control in UTF-8: both bytes.
            append_hex(out, byte);
            append_hex(out, static_cast<unsigned char>(name[++i]));
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

}  // namespace quillora::cli
