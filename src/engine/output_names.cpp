#include "engine/output_names.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "engine/converters.h"

namespace quillora {

std::string output_stem(const std::string& source, const std::string& output_directory,
                        paths::Convention convention) {
    return paths::with_separator(output_directory, convention) +
           std::string(paths::base_name(source, convention));
}

std::string output_file(Mode mode, const std::string& source, const std::string& output_directory,
                        paths::Convention convention) {
    return output_stem(source, output_directory, convention) +
           std::string(mode_info(mode).output_extension);
}

namespace {

// The parts of a folder as an absolute path without "." and ".." parts,
// its root first.
std::vector<std::string> folder_parts(std::string_view folder) {
    namespace fs = std::filesystem;
    const fs::path written{folder.empty() ? std::string(".") : std::string(folder)};
    std::error_code ec;
    fs::path absolute = fs::absolute(written, ec);
    if (ec)
        absolute = written;
    std::vector<std::string> parts;
    for (const fs::path& part : absolute.lexically_normal()) {
        if (!part.empty())
            parts.push_back(part.string());
    }
    return parts;
}

std::string ascii_lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return text;
}

}  // namespace

std::vector<std::string> relative_folders(const std::vector<std::string>& sources,
                                          paths::Convention convention) {
    // A long list names few folders: each is worked out once.
    std::unordered_map<std::string_view, std::size_t> known;
    std::vector<std::vector<std::string>> folders;
    std::vector<std::size_t> folder_of;
    folder_of.reserve(sources.size());
    for (const std::string& source : sources) {
        const std::string_view folder = std::string_view(source).substr(
            0, source.size() - paths::file_name(source, convention).size());
        auto [it, fresh] = known.try_emplace(folder, folders.size());
        if (fresh)
            folders.push_back(folder_parts(folder));
        folder_of.push_back(it->second);
    }
    // The deepest folder holding them all: the parts every folder begins with.
    std::size_t common = 0;
    if (!folders.empty()) {
        const std::vector<std::string>& first = folders.front();
        common = first.size();
        for (const auto& parts : folders) {
            std::size_t k = 0;
            while (k < common && k < parts.size() && parts[k] == first[k])
                ++k;
            common = k;
        }
    }
    const char separator = convention == paths::Convention::Windows ? '\\' : '/';
    std::vector<std::string> relative(folders.size());
    for (std::size_t f = 0; f < folders.size(); ++f) {
        const auto& parts = folders[f];
        // Without a common root (folders on two drives) there is nothing to
        // keep; nor may a part climb up or stand for the folder itself.
        if (common == 0 ||
            std::any_of(parts.begin() + static_cast<std::ptrdiff_t>(common), parts.end(),
                        [](const std::string& part) { return part == "." || part == ".."; })) {
            continue;
        }
        for (std::size_t k = common; k < parts.size(); ++k)
            relative[f] += parts[k] + separator;
    }
    std::vector<std::string> result;
    result.reserve(sources.size());
    for (std::size_t f : folder_of)
        result.push_back(relative[f]);
    return result;
}

std::vector<OutputName> unique_output_stems(const std::vector<std::string>& stems,
                                            std::string_view extension) {
    auto key = [extension](const std::string& stem) {
        return ascii_lower(stem + std::string(extension));
    };
    // Every name the run has as given: a number never takes one of these.
    std::unordered_set<std::string> planned;
    planned.reserve(stems.size());
    for (const std::string& stem : stems)
        planned.insert(key(stem));
    // The names handed out so far, and for each name the next number to try,
    // so that many entries of one name cost no more than a few.
    std::unordered_set<std::string> given;
    given.reserve(stems.size());
    std::unordered_map<std::string, unsigned long> next_number;
    std::vector<OutputName> names;
    names.reserve(stems.size());
    for (const std::string& stem : stems) {
        std::string name_key = key(stem);
        if (given.insert(name_key).second) {
            names.push_back({stem, false});
            continue;
        }
        unsigned long& k = next_number.try_emplace(std::move(name_key), 2).first->second;
        for (;; ++k) {
            std::string numbered = stem + " (" + std::to_string(k) + ")";
            const std::string numbered_key = key(numbered);
            if (!planned.contains(numbered_key) && given.insert(numbered_key).second) {
                names.push_back({std::move(numbered), true});
                ++k;
                break;
            }
        }
    }
    return names;
}

}  // namespace quillora
