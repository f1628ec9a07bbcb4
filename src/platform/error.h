// The program's one failure type: a message text plus a code identifying the
// place that raised it.
#pragma once

#include <cstdint>
#include <source_location>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillora {

class Error : public std::runtime_error {
  public:
    explicit Error(const std::string& message,
                   std::source_location where = std::source_location::current());

    // A stable 32-bit identification of the raising place (file, line, function).
    std::uint32_t place() const noexcept { return place_; }
    // The place as exactly 8 upper-case hexadecimal digits.
    std::string place_code() const;

  private:
    std::uint32_t place_;
};

// The system's text for an errno value.
std::string system_error_text(int err);

// "Cannot open file "%s". %s"
[[noreturn]] void fail_cannot_open(const std::string& path, int err,
                                   std::source_location where = std::source_location::current());
// "Cannot create file "%s". %s"
[[noreturn]] void fail_cannot_create(const std::string& path, const std::string& reason,
                                     std::source_location where = std::source_location::current());

// Message texts shared by several readers.
inline constexpr std::string_view kStreamReadError = "Stream read error";
inline constexpr std::string_view kBitmapNotValid = "Bitmap image is not valid";
inline constexpr std::string_view kIconNotValid = "Icon image is not valid";
inline constexpr std::string_view kOutOfResources = "Out of system resources";

}  // namespace quillora
