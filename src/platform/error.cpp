#include "platform/error.h"

#include <cstdio>
#include <cstring>

namespace quillora {
namespace {

std::uint32_t fnv1a(std::uint32_t h, std::string_view text) {
    for (unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

std::uint32_t place_of(const SourcePlace& where) {
    // Only the file's own name counts, so the code does not depend on the
    // folder the program was built in.
    std::string_view file = where.file;
    if (auto slash = file.find_last_of("/\\"); slash != std::string_view::npos) {
        file.remove_prefix(slash + 1);
    }
    std::uint32_t h = fnv1a(2166136261u, file);
    h = fnv1a(h, std::to_string(where.line));
    return fnv1a(h, where.function);
}

}  // namespace

Error::Error(const std::string& message, SourcePlace where)
    : std::runtime_error(message), place_(place_of(where)) {}

std::string Error::place_code() const {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(place_));
    return text;
}

void fail(std::string_view message, SourcePlace where) {
    throw Error(std::string(message), where);
}

std::string system_error_text(int err) {
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return strerror_r(err, buffer, sizeof buffer);
#else
    if (strerror_r(err, buffer, sizeof buffer) != 0) {
        return "Unknown error " + std::to_string(err);
    }
    return buffer;
#endif
}

void fail_cannot_open(const std::string& path, int err, SourcePlace where) {
    fail_cannot_open(path, system_error_text(err), where);
}

void fail_cannot_open(const std::string& path, const std::string& reason, SourcePlace where) {
    throw Error("Cannot open file \"" + path + "\". " + reason, where);
}

void fail_cannot_create(const std::string& path, const std::string& reason, SourcePlace where) {
    throw Error("Cannot create file \"" + path + "\". " + reason, where);
}

}  // namespace quillora
