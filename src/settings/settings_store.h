// The settings storage: named, typed values of the settings key, kept in a
// file in the registry-export text form.
//
// The settings key "Software\Quillora\Config" is the file
// $XDG_CONFIG_HOME/Quillora/Config.reg ($HOME/.config when XDG_CONFIG_HOME is
// unset, empty or not an absolute path). The file looks like this:
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
// taken for the settings key's. A file that is missing, unreadable, not a
// regular file, bigger than kMaxSettingsFileSize or without the header line
// holds no values.
//
// Nothing is cached: every read opens and parses the file again (it is small),
// so values written by another running copy are seen at the next read.
// Every write reads the file, changes the one value and replaces the whole
// file through a temporary file renamed over it. When the file held lines that
// were passed over, the file as it was is first kept as "Config.reg.bak".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillora::settings {

// The settings key, as the failures name it.
inline constexpr std::string_view kSettingsKey = "Software\\Quillora\\Config";
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

// The value named `name` (compared without regard to ASCII case), or nullptr.
const Value* find_value(const std::vector<Value>& values, std::string_view name) noexcept;

// The integer a value reads as: nullptr gives `fallback`; a REG_DWORD,
// REG_QWORD or REG_BINARY of at most 8 bytes gives the low 32 bits of its
// little-endian bytes; a REG_SZ or REG_EXPAND_SZ whose text is an integer
// (parse_integer_text) gives its low 32 bits; anything else gives `fallback`.
std::int32_t integer_of(const Value* value, std::int32_t fallback) noexcept;

// The text a value reads as: nullptr gives `fallback`; a REG_SZ,
// REG_EXPAND_SZ (not expanded) or REG_BINARY gives its stored bytes less the
// last one (the terminating zero of a text); anything else gives `fallback`.
std::string text_of(const Value* value, std::string_view fallback);

// An integer text: an optional sign and decimal digits, or "$" and 1 to 16
// hexadecimal digits (either case), nothing else (no blanks). Decimal must
// fit in 64 signed bits; hex gives the 64 bits as written.
std::optional<std::int64_t> parse_integer_text(std::string_view text) noexcept;

// The settings key's file for the current environment.
std::string settings_file_path();

// The settings storage `REG`. Reads never fail; writes fail with
// quillora::Error naming the settings key.
class SettingsStore {
  public:
    // Not pointed at any key: reads give their defaults, writes fail.
    SettingsStore() = default;
    // A store over this file (used by tests and tools).
    explicit SettingsStore(std::string file) : file_(std::move(file)) {}

    // Points the store at the settings key, taking its file from the
    // environment as it is now.
    void open_settings_key() { file_ = settings_file_path(); }
    const std::string& file() const noexcept { return file_; }

    // The values as the file holds them now (none when it is missing,
    // unreadable or damaged).
    std::vector<Value> read_values() const;
    // The values and what was passed over reading them.
    ParsedSettings read_file() const;

    bool value_exists(std::string_view name) const;
    std::int32_t read_integer(std::string_view name, std::int32_t fallback = 0) const;
    std::string read_text(std::string_view name, std::string_view fallback = {}) const;

    // Creates the key (the file's folders) when missing, then stores a
    // REG_DWORD / REG_SZ. Other values in the file are kept.
    void write_integer(std::string_view name, std::int32_t number);
    void write_text(std::string_view name, std::string_view text);

  private:
    void write_value(Value value);

    std::string file_;
};

}  // namespace quillora::settings
