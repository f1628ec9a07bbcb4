// Starts the real program on a virtual X display, waits for its main window
// and closes it as a window manager would.
// gtest comes first: the X11 headers define macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
// clang-format on
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

// A child process, killed if still running when the object goes.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env) {
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        std::vector<std::string> env_text;
        for (char** e = environ; *e; ++e) {
            bool replaced = false;
            for (const auto& x : extra_env) {
                if (std::strncmp(*e, x.c_str(), x.find('=') + 1) == 0)
                    replaced = true;
            }
            if (!replaced)
                env_text.emplace_back(*e);
        }
        env_text.insert(env_text.end(), extra_env.begin(), extra_env.end());
        std::vector<char*> env;
        for (auto& e : env_text)
            env.push_back(e.data());
        env.push_back(nullptr);
        if (posix_spawn(&pid_, args[0], nullptr, nullptr, args.data(), env.data()) != 0)
            pid_ = -1;
    }
    ~Child() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return pid_ > 0; }
    // The exit status, if the process ends within the time given.
    std::optional<int> wait(std::chrono::milliseconds limit) {
        auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

  private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

std::string window_name(Display* display, Window window) {
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(display, window, net_name, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        name.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return name;
}

std::optional<Window> find_window(Display* display, const std::string& title) {
    Window root_return, parent;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root_return, &parent, &children,
                    &count)) {
        return std::nullopt;
    }
    std::optional<Window> found;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) &&
            attributes.map_state == IsViewable && window_name(display, children[i]) == title) {
            found = children[i];
        }
    }
    if (children)
        XFree(children);
    return found;
}

TEST(StartWindow, MainWindowAppearsAndCloses) {
    const char* xvfb = "/usr/bin/Xvfb";
    if (::access(xvfb, X_OK) != 0)
        GTEST_SKIP() << "Xvfb is not installed";
    const std::string number = std::to_string(90 + ::getpid() % 500);
    const std::string name = ":" + number;
    Child server({xvfb, name, "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {});
    ASSERT_TRUE(server.started());
    // The limits below only keep a broken display or program from hanging the
    // run; each is many times what the step takes on a slow machine.
    Display* display = nullptr;
    for (int i = 0; i < 1200 && !display; ++i) {
        std::this_thread::sleep_for(50ms);
        display = XOpenDisplay(name.c_str());
    }
    if (!display)
        GTEST_SKIP() << "Xvfb could not start on display " << name;

    Child program({QUILLORA_EXE}, {"DISPLAY=" + name, "QT_QPA_PLATFORM=xcb"});
    ASSERT_TRUE(program.started());
    std::optional<Window> window;
    for (int i = 0; i < 2400 && !window; ++i) {
        std::this_thread::sleep_for(50ms);
        window = find_window(display, "Quillora 1.0");
    }
    ASSERT_TRUE(window) << "no window titled \"Quillora 1.0\" appeared";

    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = *window;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, *window, False, NoEventMask, &close);
    XFlush(display);
    EXPECT_EQ(program.wait(60s), std::optional<int>(0));
    XCloseDisplay(display);
}

}  // namespace
