// The settings key of the windows under test (the runner points
// XDG_CONFIG_HOME at a temporary folder): removed before and after use.
#pragma once

#include <filesystem>
#include <string>

#include "settings/settings_store.h"

namespace quillora::testing {

class StoredSettings {
  public:
    StoredSettings() {
        settings::SettingsStore store;
        store.open_settings_key();
        path_ = store.file();
        std::filesystem::remove(path_);
    }
    ~StoredSettings() { std::filesystem::remove(path_); }
    StoredSettings(const StoredSettings&) = delete;
    StoredSettings& operator=(const StoredSettings&) = delete;

    settings::SettingsStore store() const { return settings::SettingsStore(path_); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace quillora::testing
