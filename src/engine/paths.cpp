#include "engine/paths.h"

namespace quillora::paths {

bool is_separator(char c, Convention convention) noexcept {
    if (convention == Convention::Windows)
        return c == '\\' || c == '/' || c == ':';
    return c == '/';
}

std::string_view file_name(std::string_view path, Convention convention) noexcept {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (is_separator(path[i - 1], convention))
            return path.substr(i);
    }
    return path;
}

std::string_view base_name(std::string_view path, Convention convention) noexcept {
    std::string_view name = file_name(path, convention);
    auto dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

std::string_view extension(std::string_view path, Convention convention) noexcept {
    std::string_view name = file_name(path, convention);
    auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1);
}

std::string with_separator(std::string_view directory, Convention convention) {
    std::string text(directory);
    bool ends_in_separator = !text.empty() && (convention == Convention::Windows
                                                   ? text.back() == '\\' || text.back() == '/'
                                                   : text.back() == '/');
    if (!ends_in_separator)
        text += convention == Convention::Windows ? '\\' : '/';
    return text;
}

}  // namespace quillora::paths
