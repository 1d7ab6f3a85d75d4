// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

#include <fcntl.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace desktop {

namespace {

// The X server holds each generated key and button event this many
// milliseconds after the one before, as a typist's keys come apart: a
// press, its release and the next key within one millisecond are not what a
// toolkit expects from a keyboard.
constexpr unsigned long kKeyPace = 12;

// Windows come and go while we look at them: an error about a window that
// has just gone is expected, not fatal.
int IgnoreXErrors(Display*, XErrorEvent*)
{
    return 0;
}

// Starts a program with its output in `log`; `setup` runs in the child
// before the exec (environment, folder). Returns the pid, or -1.
int Spawn(const std::vector<std::string>& argv, const std::string& log, const std::function<void()>& setup = {},
          int keepFd = -1)
{
    const pid_t pid = ::fork();
    if (pid != 0) {
        return pid;
    }
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (out >= 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
    }
    const int devnull = ::open("/dev/null", O_RDONLY);
    if (devnull >= 0) {
        ::dup2(devnull, 0);
    }
    if (keepFd >= 0) {
        ::fcntl(keepFd, F_SETFD, 0);   // survives the exec
    }
    if (setup) {
        setup();
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    std::fprintf(stderr, "cannot run %s: %s\n", args[0], std::strerror(errno));
    ::_exit(127);
}

int PidFd(int pid);

// Ends a child: SIGTERM, then SIGKILL when it has not ended within `grace`
// (waited for on its pid file descriptor).
void Stop(int& pid, Duration grace)
{
    if (pid <= 0) {
        return;
    }
    const int fd = PidFd(pid);
    ::kill(pid, SIGTERM);
    if (fd >= 0) {
        fd_set in;
        FD_ZERO(&in);
        FD_SET(fd, &in);
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(grace).count();
        timeval tv{static_cast<time_t>(us / 1000000), static_cast<suseconds_t>(us % 1000000)};
        if (::select(fd + 1, &in, nullptr, nullptr, &tv) <= 0) {
            ::kill(pid, SIGKILL);
        }
        ::close(fd);
    } else {
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
}

int PidFd(int pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

}   // namespace

struct Session::X {
    Display* display = nullptr;
    ::Window root = 0;
    int screen = 0;
    std::string name;   // ":N"
    std::set<::Window> watched;
    int menuPopups = 0;
    Atom netClientList = 0, netActive = 0, netWmName = 0, utf8 = 0, netPid = 0, netCheck = 0, netType = 0,
         typeToolTip = 0;

    void Intern()
    {
        auto atom = [this](const char* n) { return XInternAtom(display, n, False); };
        netClientList = atom("_NET_CLIENT_LIST");
        netActive = atom("_NET_ACTIVE_WINDOW");
        netWmName = atom("_NET_WM_NAME");
        utf8 = atom("UTF8_STRING");
        netPid = atom("_NET_WM_PID");
        netCheck = atom("_NET_SUPPORTING_WM_CHECK");
        netType = atom("_NET_WM_WINDOW_TYPE");
        typeToolTip = atom("_NET_WM_WINDOW_TYPE_TOOLTIP");
    }

    // The items of a property of 32-bit format (windows, atoms, cardinals).
    std::vector<unsigned long> Longs(::Window w, Atom property, Atom type)
    {
        Atom actual = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> items;
        if (XGetWindowProperty(display, w, property, 0, 4096, False, type, &actual, &format, &count, &after, &data) ==
                Success &&
            data != nullptr) {
            if (format == 32) {
                const auto* values = reinterpret_cast<unsigned long*>(data);
                items.assign(values, values + count);
            }
            XFree(data);
        }
        return items;
    }

    bool IsToolTip(::Window w)
    {
        for (unsigned long type : Longs(w, netType, XA_ATOM)) {
            if (type == typeToolTip) {
                return true;
            }
        }
        return false;
    }
};

Session::Session(std::string name) : m_name(std::move(name)), m_x(std::make_unique<X>())
{
    std::string pattern = "/tmp/vexlar-desktop-" + m_name + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr) {
        m_root = buffer.data();
        m_home = m_root + "/home";
        for (const char* sub : {"", "/.config", "/.local/state", "/.local/share", "/.cache", "/runtime"}) {
            ::mkdir((m_home + sub).c_str(), 0700);
        }
    }
}

Session::~Session()
{
    StopApp();
    if (m_x->display != nullptr) {
        XCloseDisplay(m_x->display);
    }
    Stop(m_wmPid, Duration(3000));
    Stop(m_serverPid, Duration(3000));
    if (!m_root.empty() && std::getenv("VEXLAR_DESKTOP_KEEP") == nullptr) {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
}

bool Session::Fail(const std::string& what)
{
    m_error = what;
    return false;
}

bool Session::Start()
{
    if (m_root.empty()) {
        return Fail("cannot create the session folder");
    }
    // Xvfb picks a free display and writes its number to the pipe once it
    // accepts connections.
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        return Fail("pipe");
    }
    m_serverPid = Spawn({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", "1600x1000x24", "-nolisten",
                         "tcp", "-noreset"},
                        m_root + "/xvfb.log", {}, ready[1]);
    ::close(ready[1]);
    std::string number;
    const auto end = Clock::now() + kWait;
    while (number.empty() || number.back() != '\n') {
        fd_set in;
        FD_ZERO(&in);
        FD_SET(ready[0], &in);
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(end - Clock::now());
        if (left.count() <= 0) {
            ::close(ready[0]);
            return Fail("Xvfb did not report a display (see " + m_root + "/xvfb.log)");
        }
        timeval tv{static_cast<time_t>(left.count() / 1000000), static_cast<suseconds_t>(left.count() % 1000000)};
        if (::select(ready[0] + 1, &in, nullptr, nullptr, &tv) <= 0) {
            continue;
        }
        char c = 0;
        if (::read(ready[0], &c, 1) != 1) {
            ::close(ready[0]);
            return Fail("Xvfb ended before it took a display (is it installed?)");
        }
        number.push_back(c);
    }
    ::close(ready[0]);
    number.pop_back();
    m_x->name = ":" + number;

    XSetErrorHandler(IgnoreXErrors);
    m_x->display = XOpenDisplay(m_x->name.c_str());
    if (m_x->display == nullptr) {
        return Fail("cannot open display " + m_x->name);
    }
    m_x->screen = DefaultScreen(m_x->display);
    m_x->root = RootWindow(m_x->display, m_x->screen);
    m_x->Intern();
    XSelectInput(m_x->display, m_x->root, SubstructureNotifyMask | PropertyChangeMask);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(m_x->display, &eventBase, &errorBase, &major, &minor)) {
        return Fail("the X server has no XTEST extension");
    }

    const std::string home = m_home;
    const std::string display = m_x->name;
    m_wmPid = Spawn({"openbox", "--sm-disable"}, m_root + "/openbox.log", [home, display] {
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    });
    // The window manager announces itself on the root window.
    if (!WaitUntil([this] { return !m_x->Longs(m_x->root, m_x->netCheck, XA_WINDOW).empty(); }, kWait)) {
        return Fail("openbox did not take the screen (is it installed? see " + m_root + "/openbox.log)");
    }
    return true;
}

WindowId Session::StartApp(const std::vector<std::string>& args)
{
    // VEXLAR_DESKTOP_EXECUTABLE runs the cases against another build (for
    // example to see a case fail on the code before a fix).
    const char* other = std::getenv("VEXLAR_DESKTOP_EXECUTABLE");
    std::vector<std::string> argv = {other != nullptr && *other != '\0' ? other : VEXLAR_EXECUTABLE};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string home = m_home;
    const std::string display = m_x->name;
    m_appPid = Spawn(argv, m_root + "/vexlar.log", [home, display] {
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (home + "/.local/state").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
        for (const char* name : {"WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER",
                                 "QT_QPA_PLATFORMTHEME", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS"}) {
            ::unsetenv(name);
        }
        if (::chdir(home.c_str()) != 0) {
            ::_exit(126);
        }
    });
    m_appPidFd = PidFd(m_appPid);
    WindowId main = 0;
    const bool shown = WaitUntil(
        [this, &main] {
            for (WindowId w : ClientWindows()) {
                if (WindowPid(w) == m_appPid) {
                    main = w;
                    return true;
                }
            }
            return !AppRunning();
        },
        kWait);
    if (!shown || main == 0) {
        Fail(AppRunning() ? "vexlar showed no window" : "vexlar ended at start-up (see " + m_root + "/vexlar.log)");
        return 0;
    }
    Watch(main);
    if (!WaitForActive(main)) {
        Fail("the main window did not become active");
        return 0;
    }
    return main;
}

bool Session::AppRunning()
{
    if (m_appPid <= 0) {
        return false;
    }
    int status = 0;
    const int done = ::waitpid(m_appPid, &status, WNOHANG);
    if (done == m_appPid) {
        m_appExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m_appPid = -1;
        if (m_appPidFd >= 0) {
            ::close(m_appPidFd);
            m_appPidFd = -1;
        }
        return false;
    }
    return done == 0;
}

int Session::WaitForAppExit(Duration timeout)
{
    if (!WaitUntil([this] { return !AppRunning(); }, timeout)) {
        return -1;
    }
    return m_appExit;
}

void Session::StopApp()
{
    if (AppRunning()) {
        Stop(m_appPid, Duration(5000));
    }
    if (m_appPidFd >= 0) {
        ::close(m_appPidFd);
        m_appPidFd = -1;
    }
}

void Session::Drain()
{
    Display* d = m_x->display;
    while (XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        // A pop-up is a window that shows itself without the window
        // manager: a menu, a list, a tip. Menus cannot be told from the
        // window type (Qt marks a menu shown again as a normal window), so
        // every pop-up counts except a tool tip.
        if (event.type == MapNotify && event.xmap.override_redirect && !m_x->IsToolTip(event.xmap.window)) {
            ++m_x->menuPopups;
        }
    }
}

bool Session::WaitUntil(const std::function<bool()>& done, Duration timeout)
{
    Display* d = m_x->display;
    const auto end = Clock::now() + timeout;
    for (;;) {
        Drain();
        if (done()) {
            return true;
        }
        if (XPending(d) > 0) {
            continue;   // the queries above read events: look at them first
        }
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(end - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        // Sleep until the X server says something or the application ends.
        fd_set in;
        FD_ZERO(&in);
        const int xfd = ConnectionNumber(d);
        FD_SET(xfd, &in);
        int top = xfd;
        if (m_appPidFd >= 0) {
            FD_SET(m_appPidFd, &in);
            top = std::max(top, m_appPidFd);
        }
        timeval tv{static_cast<time_t>(left.count() / 1000000), static_cast<suseconds_t>(left.count() % 1000000)};
        ::select(top + 1, &in, nullptr, nullptr, &tv);
    }
}

std::vector<WindowId> Session::ClientWindows()
{
    std::vector<WindowId> windows;
    for (unsigned long w : m_x->Longs(m_x->root, m_x->netClientList, XA_WINDOW)) {
        windows.push_back(w);
    }
    return windows;
}

long Session::WindowPid(WindowId window)
{
    const auto pid = m_x->Longs(window, m_x->netPid, XA_CARDINAL);
    return pid.empty() ? -1 : static_cast<long>(pid.front());
}

void Session::Watch(WindowId window)
{
    if (m_x->watched.insert(window).second) {
        XSelectInput(m_x->display, window, PropertyChangeMask | StructureNotifyMask);
    }
}

std::string Session::Title(WindowId window)
{
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(m_x->display, window, m_x->netWmName, 0, 1024, False, m_x->utf8, &actual, &format, &count,
                           &after, &data) == Success &&
        data != nullptr) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(m_x->display, window, &name) && name != nullptr) {
        title = name;
        XFree(name);
    }
    return title;
}

WindowId Session::WaitForWindow(const std::string& title, WindowId besides, Duration timeout)
{
    WindowId found = 0;
    WaitUntil(
        [&] {
            for (WindowId w : ClientWindows()) {
                Watch(w);   // so that a title set later wakes us
                if (w != besides && WindowPid(w) == m_appPid && Title(w) == title) {
                    found = w;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

bool Session::WaitForTitle(WindowId window, const std::string& title, Duration timeout)
{
    Watch(window);
    return WaitUntil([&] { return Title(window) == title; }, timeout);
}

WindowId Session::ActiveWindow()
{
    const auto active = m_x->Longs(m_x->root, m_x->netActive, XA_WINDOW);
    return active.empty() ? 0 : active.front();
}

bool Session::WaitForActive(WindowId window, Duration timeout)
{
    return WaitUntil([&] { return ActiveWindow() == window; }, timeout);
}

bool Session::WaitForGone(WindowId window, Duration timeout)
{
    return WaitUntil(
        [&] {
            const auto windows = ClientWindows();
            return std::find(windows.begin(), windows.end(), window) == windows.end();
        },
        timeout);
}

Rect Session::Geometry(WindowId window)
{
    XWindowAttributes attributes{};
    Rect rect;
    if (!XGetWindowAttributes(m_x->display, window, &attributes)) {
        return rect;
    }
    ::Window child = 0;
    XTranslateCoordinates(m_x->display, window, m_x->root, 0, 0, &rect.x, &rect.y, &child);
    rect.width = attributes.width;
    rect.height = attributes.height;
    return rect;
}

int Session::Popups()
{
    Drain();
    return m_x->menuPopups;
}

bool Session::WaitForPopup(int seen, Duration timeout)
{
    return WaitUntil([&] { return m_x->menuPopups > seen; }, timeout);
}

void Session::Key(const std::string& combo)
{
    Display* d = m_x->display;
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t plus = combo.find('+', 1); plus != std::string::npos; plus = combo.find('+', start + 1)) {
        parts.push_back(combo.substr(start, plus - start));
        start = plus + 1;
    }
    parts.push_back(combo.substr(start));
    std::vector<KeyCode> held;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        const std::string& m = parts[i];
        const char* name = m == "ctrl" ? "Control_L" : m == "alt" ? "Alt_L" : m == "shift" ? "Shift_L" : m.c_str();
        held.push_back(XKeysymToKeycode(d, XStringToKeysym(name)));
    }
    const KeyCode key = XKeysymToKeycode(d, XStringToKeysym(parts.back().c_str()));
    for (KeyCode k : held) {
        XTestFakeKeyEvent(d, k, True, kKeyPace);
    }
    XTestFakeKeyEvent(d, key, True, kKeyPace);
    XTestFakeKeyEvent(d, key, False, kKeyPace);
    for (auto it = held.rbegin(); it != held.rend(); ++it) {
        XTestFakeKeyEvent(d, *it, False, kKeyPace);
    }
    XSync(d, False);
}

void Session::Type(const std::string& text)
{
    Display* d = m_x->display;
    const KeyCode shift = XKeysymToKeycode(d, XK_Shift_L);
    for (const char c : text) {
        const auto keysym = static_cast<KeySym>(static_cast<unsigned char>(c));   // Latin-1 keysyms are the codes
        const KeyCode key = XKeysymToKeycode(d, keysym);
        if (key == 0) {
            continue;
        }
        const bool shifted = XkbKeycodeToKeysym(d, key, 0, 0) != keysym;
        if (shifted) {
            XTestFakeKeyEvent(d, shift, True, kKeyPace);
        }
        XTestFakeKeyEvent(d, key, True, kKeyPace);
        XTestFakeKeyEvent(d, key, False, kKeyPace);
        if (shifted) {
            XTestFakeKeyEvent(d, shift, False, kKeyPace);
        }
    }
    XSync(d, False);
}

void Session::Click(WindowId window, Point at)
{
    Display* d = m_x->display;
    const Rect where = Geometry(window);
    XTestFakeMotionEvent(d, m_x->screen, where.x + at.x, where.y + at.y, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, kKeyPace);
    XTestFakeButtonEvent(d, 1, False, kKeyPace);
    XSync(d, False);
}

std::vector<uint32_t> Session::Pixels(WindowId window, Rect area)
{
    std::vector<uint32_t> pixels;
    XImage* image = XGetImage(m_x->display, window, area.x, area.y, static_cast<unsigned>(area.width),
                              static_cast<unsigned>(area.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return pixels;
    }
    auto channel = [](unsigned long pixel, unsigned long mask) -> uint32_t {
        if (mask == 0) {
            return 0;
        }
        int shift = 0;
        while (((mask >> shift) & 1u) == 0) {
            ++shift;
        }
        return static_cast<uint32_t>((pixel & mask) >> shift);
    };
    pixels.reserve(static_cast<size_t>(area.width) * static_cast<size_t>(area.height));
    for (int y = 0; y < area.height; ++y) {
        for (int x = 0; x < area.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            pixels.push_back(channel(p, image->red_mask) << 16 | channel(p, image->green_mask) << 8 |
                             channel(p, image->blue_mask));
        }
    }
    XDestroyImage(image);
    return pixels;
}

std::optional<Point> Session::FindColour(WindowId window, Rect area, Rgb colour, int tolerance)
{
    const std::vector<uint32_t> pixels = Pixels(window, area);
    if (pixels.empty()) {
        return std::nullopt;
    }
    long sumX = 0, sumY = 0, count = 0;
    for (int y = 0; y < area.height; ++y) {
        for (int x = 0; x < area.width; ++x) {
            const uint32_t p =
                pixels[static_cast<size_t>(y) * static_cast<size_t>(area.width) + static_cast<size_t>(x)];
            const int r = static_cast<int>(p >> 16 & 0xFF), g = static_cast<int>(p >> 8 & 0xFF),
                      b = static_cast<int>(p & 0xFF);
            if (std::abs(r - colour.r) <= tolerance && std::abs(g - colour.g) <= tolerance &&
                std::abs(b - colour.b) <= tolerance) {
                sumX += x;
                sumY += y;
                ++count;
            }
        }
    }
    if (count < 4) {
        return std::nullopt;
    }
    return Point{area.x + static_cast<int>(sumX / count), area.y + static_cast<int>(sumY / count)};
}

std::string Session::Screenshot(const std::string& label)
{
    const char* folder = std::getenv("VEXLAR_DESKTOP_SHOTS");
    std::string dir = folder != nullptr ? folder : m_root;
    std::error_code ignored;
    fs::create_directories(dir, ignored);
    const std::string path = dir + "/" + m_name + "-" + std::to_string(++m_shots) + "-" + label + ".png";
    int pid = Spawn({"import", "-display", m_x->name, "-window", "root", path}, m_root + "/import.log");
    int status = 0;
    ::waitpid(pid, &status, 0);
    return path;
}

}   // namespace desktop
