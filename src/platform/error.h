// The program's one failure type: a message text plus a code identifying the
// place that raised it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillora {

// The place in the source where a failure is raised: a default argument of
// SourcePlace::current() records the caller's place. (std::source_location
// is not available with every compiler the project builds with.)
struct SourcePlace {
    const char* file = "";
    unsigned line = 0;
    const char* function = "";

    static constexpr SourcePlace current(const char* file = __builtin_FILE(),
                                         unsigned line = __builtin_LINE(),
                                         const char* function = __builtin_FUNCTION()) noexcept {
        return {file, line, function};
    }
};

class Error : public std::runtime_error {
  public:
    explicit Error(const std::string& message, SourcePlace where = SourcePlace::current());

    // A stable 32-bit identification of the raising place (file, line, function).
    std::uint32_t place() const noexcept { return place_; }
    // The place as exactly 8 upper-case hexadecimal digits.
    std::string place_code() const;

  private:
    std::uint32_t place_;
};

// Raises an Error with `message` at the caller's place. Every check calls it
// (or one of the helpers below) itself, so that each check that can fire has
// a place code of its own.
[[noreturn]] void fail(std::string_view message, SourcePlace where = SourcePlace::current());

// The system's text for an errno value.
std::string system_error_text(int err);

// "Cannot open file "%s". %s"
[[noreturn]] void fail_cannot_open(const std::string& path, int err,
                                   SourcePlace where = SourcePlace::current());
[[noreturn]] void fail_cannot_open(const std::string& path, const std::string& reason,
                                   SourcePlace where = SourcePlace::current());
// "Cannot create file "%s". %s"
[[noreturn]] void fail_cannot_create(const std::string& path, const std::string& reason,
                                     SourcePlace where = SourcePlace::current());

// Message texts shared by several readers.
inline constexpr std::string_view kStreamReadError = "Stream read error";
inline constexpr std::string_view kBitmapNotValid = "Bitmap image is not valid";
inline constexpr std::string_view kIconNotValid = "Icon image is not valid";
inline constexpr std::string_view kOutOfResources = "Out of system resources";

}  // namespace quillora
