// Path texts: the file name, the base name and a directory with its separator.
// Paths are byte strings, used exactly as they came.
#pragma once

#include <string>
#include <string_view>

namespace quillora::paths {

enum class Convention {
    Posix,    // "/" separates folders
    Windows,  // "\", "/" and a drive's ":" separate folders; "\" is appended
};

#ifdef _WIN32
inline constexpr Convention kHost = Convention::Windows;
#else
inline constexpr Convention kHost = Convention::Posix;
#endif

bool is_separator(char c, Convention convention = kHost) noexcept;

// The text after the last separator.
std::string_view file_name(std::string_view path, Convention convention = kHost) noexcept;

// The file name without its last extension (the text from its last "." on).
// A name without a dot is kept whole; ".bmp" gives the empty text.
std::string_view base_name(std::string_view path, Convention convention = kHost) noexcept;

// The extension of the file name: the text after its last ".", without the
// dot; empty when the name has no dot.
std::string_view extension(std::string_view path, Convention convention = kHost) noexcept;

// The directory text with a separator appended unless it already ends in one.
std::string with_separator(std::string_view directory, Convention convention = kHost);

}  // namespace quillora::paths
