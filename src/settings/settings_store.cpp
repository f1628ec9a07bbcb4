#include "settings/settings_store.h"

#include <cstdlib>
#include <exception>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/session.h"

namespace quillora::settings {

std::string settings_file_path() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const std::string home = session::home_folder();
        if (home.empty())
            return {};
        base = home + "/.config";
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/Quillora/Config.reg";
}

std::vector<Value> SettingsStore::read_values() const {
    return read_file().values;
}

ParsedSettings SettingsStore::read_file() const {
    auto data = files::read_bounded(file_, kMaxSettingsFileSize);
    if (!data)
        return {};
    auto parsed = parse_settings_file(*data);
    if (!parsed)
        return {};
    if (parsed->passed_over > 0)
        parsed->text = std::move(*data);
    return std::move(*parsed);
}

bool SettingsStore::value_exists(std::string_view name) const {
    return find_value(read_values(), name) != nullptr;
}

std::int32_t SettingsStore::read_integer(std::string_view name, std::int32_t fallback) const {
    return integer_of(find_value(read_values(), name), fallback);
}

std::string SettingsStore::read_text(std::string_view name, std::string_view fallback) const {
    return text_of(find_value(read_values(), name), fallback);
}

void SettingsStore::write_integer(std::string_view name, std::int32_t number) {
    write_value(integer_value(name, number));
}

void SettingsStore::write_text(std::string_view name, std::string_view text) {
    write_value(text_value(name, text));
}

void SettingsStore::write_value(Value value) {
    if (file_.empty())
        fail("Failed to create key " + std::string(kSettingsKey));
    // Configuration folders are made for the user alone.
    if (int err = files::make_parent_folders(file_, 0700); err != 0)
        fail("Failed to create key " + std::string(kSettingsKey) + ". " + system_error_text(err));
    const std::string name = value.name;
    try {
        ParsedSettings parsed = read_file();
        // Lines that could not be read are not written again: the file as it
        // was is kept beside the new one, so nothing written by hand is lost.
        if (parsed.passed_over > 0)
            files::write_file(file_ + ".bak", parsed.text.data(), parsed.text.size());
        set_value(parsed.values, std::move(value));
        const std::string text = format_settings_file(parsed.values);
        files::write_file(file_, text.data(), text.size());
    } catch (const std::exception& e) {
        fail("Failed to set data for '" + name + "' in " + std::string(kSettingsKey) + ". " +
             e.what());
    }
}

}  // namespace quillora::settings
