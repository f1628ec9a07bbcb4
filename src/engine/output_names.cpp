#include "engine/output_names.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_map>

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
    auto key = [extension](std::string_view stem, std::string_view number = {}) {
        std::string text;
        text.reserve(stem.size() + number.size() + extension.size());
        text.append(stem).append(number).append(extension);
        return ascii_lower(std::move(text));
    };
    // Every name of the run: those the entries have as given (a number never
    // takes one of these) and those handed out; for a given name, the next
    // number to try, so that many entries of one name cost no more than a few.
    struct Name {
        bool given = false;
        unsigned long next_number = 2;
    };
    std::unordered_map<std::string, Name> names;
    names.reserve(stems.size());
    // The folders the stems go into are names of the run too: an output
    // named like one of them is numbered, so a file never stands where a
    // folder must be made, whatever the order.
    for (const std::string& stem : stems) {
        for (std::size_t slash = stem.find('/'); slash != std::string::npos;
             slash = stem.find('/', slash + 1)) {
            names[ascii_lower(stem.substr(0, slash))].given = true;
        }
    }
    std::vector<Name*> as_given;
    as_given.reserve(stems.size());
    for (const std::string& stem : stems)
        as_given.push_back(&names[key(stem)]);
    std::vector<OutputName> unique;
    unique.reserve(stems.size());
    for (std::size_t i = 0; i < stems.size(); ++i) {
        Name& name = *as_given[i];
        if (!name.given) {
            name.given = true;
            unique.push_back({stems[i], false});
            continue;
        }
        for (;;) {
            const std::string number = " (" + std::to_string(name.next_number++) + ")";
            auto [numbered, fresh] = names.try_emplace(key(stems[i], number));
            if (fresh) {
                numbered->second.given = true;
                unique.push_back({stems[i] + number, true});
                break;
            }
        }
    }
    return unique;
}

}  // namespace quillora
