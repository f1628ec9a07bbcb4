#include "platform/session.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace quillora::session {

std::string home_folder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return {};
}

bool standard_error_is_terminal() noexcept {
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace quillora::session
