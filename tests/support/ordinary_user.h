// Runs part of a test as an ordinary user, so that refused permissions are
// refused: the superuser reads and writes every folder whatever its mode.
#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace quillora::testing {

// Runs `body` in a child process that holds no privilege and returns the text
// the body returned. As root, the child becomes nobody/nogroup, and `tree` (a
// test's folder) is handed to that user first so that only the modes the test
// sets refuse anything; otherwise the child keeps this user. Empty when no such
// child could run.
inline std::optional<std::string> as_ordinary_user(const std::filesystem::path& tree,
                                                   const std::function<std::string()>& body) {
    uid_t uid = ::getuid();
    gid_t gid = ::getgid();
    if (::geteuid() == 0) {
        const passwd* user = ::getpwnam("nobody");
        const group* users = ::getgrnam("nogroup");
        if (user == nullptr || users == nullptr || user->pw_uid == 0)
            return std::nullopt;
        uid = user->pw_uid;
        gid = users->gr_gid;
        std::error_code ec;
        if (::chown(tree.c_str(), uid, gid) != 0)
            return std::nullopt;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(tree, ec)) {
            if (::lchown(entry.path().c_str(), uid, gid) != 0)
                return std::nullopt;
        }
    }
    int channel[2];
    if (::pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::close(channel[0]);
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
            ::_exit(3);
        }
        const std::string text = body();
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(channel[1], text.data() + done, text.size() - done);
            if (n <= 0)
                ::_exit(4);
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(channel[0], buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return text;
}

}  // namespace quillora::testing
