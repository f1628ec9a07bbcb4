// The settings storage: named, typed values of the settings key, kept in a
// file in the registry-export text form (reg_file.h) and read by the rules of
// values.h.
//
// The settings key "Software\Quillora\Config" is the file
// $XDG_CONFIG_HOME/Quillora/Config.reg ($HOME/.config when XDG_CONFIG_HOME is
// unset, empty or not an absolute path). A file that is missing, unreadable,
// not a regular file, bigger than kMaxSettingsFileSize or without the header
// line holds no values.
//
// Nothing is cached: every read opens and parses the file again (it is small),
// so values written by another running copy are seen at the next read.
// Every write reads the file, changes the one value and replaces the whole
// file through a temporary file renamed over it. When the file held lines that
// were passed over, the file as it was is first kept as "Config.reg.bak".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/reg_file.h"
#include "settings/values.h"

namespace quillora::settings {

// The settings key, as the failures name it.
inline constexpr std::string_view kSettingsKey = "Software\\Quillora\\Config";

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
