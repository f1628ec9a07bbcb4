// The registry-export text form of the settings file: reading it into the
// settings key's values and writing values back.
//
// The file looks like this:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Quillora\Config]
//   "DirSalvar"="/home/ana/Imagens"
//   "Minimizar"=dword:00000001
//
// Reading rules:
// - the first line is "REGEDIT4" or "Windows Registry Editor Version 5.00"
//   (a UTF-8 byte-order mark before it is skipped); lines end at LF, a CR
//   before the LF does not count; blank lines and lines starting with ";" are
//   skipped;
// - "[name]" starts a key; only the values of the settings key's section
//   (name compared without regard to case) are taken, other keys are skipped;
// - a value line is "name"=data or @=data (the key's unnamed value), where data
//   is a quoted text (REG_SZ), dword:1-8 hex digits (REG_DWORD), hex:bytes
//   (REG_BINARY), hex(t):bytes (type t in hex) or "-" (the value is removed);
//   bytes are 1-2 hex digits separated by commas, and a line ending in "\"
//   goes on in the next line (its leading blanks skipped);
// - in quoted names and texts "\\" stands for "\" and "\"" for a quote; no
//   other escape exists;
// - value names are compared without regard to ASCII case; a later line for
//   the same name replaces the earlier one;
// - hex data are the value's stored bytes as they are (a text written by
//   hex(1) or hex(2) holds its terminating zero byte among them).
// A line that follows none of these rules is passed over, and every other
// line keeps its meaning; values after a "[" line that cannot be read are not
// taken for the settings key's. A text bigger than kMaxSettingsFileSize or
// without the header line is no settings file and holds no values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillora::settings {

// The section of the settings key in the file.
inline constexpr std::string_view kSettingsSection =
    "HKEY_CURRENT_USER\\Software\\Quillora\\Config";

// A file bigger than this is taken as damaged and never read whole.
inline constexpr std::size_t kMaxSettingsFileSize = 1 << 20;

// The value types a registry value can have.
enum ValueType : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegDwordBigEndian = 5,
    kRegLink = 6,
    kRegMultiSz = 7,
    kRegQword = 11,
};

// One stored value: its name, type and stored bytes (a REG_SZ's bytes end
// with its terminating zero; a REG_DWORD is 4 bytes, little-endian).
struct Value {
    std::string name;
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;

    bool operator==(const Value&) const = default;
};

// A value of a text.
Value text_value(std::string_view name, std::string_view text);
// A REG_DWORD value.
Value integer_value(std::string_view name, std::int32_t number);

// What a settings file holds.
struct ParsedSettings {
    std::vector<Value> values;  // of the settings key, in the file's order
    // Lines that could not be read and were passed over.
    std::size_t passed_over = 0;
    // The file's text, kept only when lines were passed over.
    std::string text;
};

// The values of the settings key in a file's text, or nullopt when the text
// is no settings file at all (see the reading rules above).
std::optional<ParsedSettings> parse_settings_file(std::string_view text);

// The file's text for these values: the header, the settings key's section
// and one line per value. A text that holds a byte below 0x20 or 0x7F (which
// a quoted line cannot keep) is written as hex(1) bytes; a value name must
// not hold CR, LF or a zero byte (fails with std::invalid_argument).
std::string format_settings_file(const std::vector<Value>& values);

}  // namespace quillora::settings
