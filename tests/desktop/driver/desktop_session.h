// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drives the real vexlar executable on a virtual X server with a window
// manager, as a user does: keys and clicks go through the X server (XTest),
// windows are found by their titles, and every wait is a wait for X events
// (a window mapped, a title or the active window changed, the program ended)
// with a time-out, never a fixed sleep.
//
// A session owns everything it starts: Xvfb (which picks a free display
// itself), openbox, and the application with folders of its own for
// settings, state, data and home, so that nothing of a user or of another
// test leaks in. The application runs with --demo only, inside the network
// namespace ctest runs in.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace desktop {

using Clock = std::chrono::steady_clock;
using Duration = std::chrono::milliseconds;

// Long enough for a start-up on a busy two-core machine; a wait that times
// out is a failure, so it never slows a passing run.
constexpr Duration kWait{30000};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct Point {
    int x = 0;
    int y = 0;
};

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
};

using WindowId = unsigned long;   // an X window

class Session {
public:
    // `name` names the session's folder and its screenshots (the test's name).
    explicit Session(std::string name);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Starts the X server and the window manager and waits until the window
    // manager has taken the screen. False with Error() on failure.
    bool Start();
    const std::string& Error() const { return m_error; }

    // Starts vexlar with these arguments (--demo is the caller's to give) and
    // waits for its main window to be shown and active. Returns the window,
    // or 0 with Error().
    WindowId StartApp(const std::vector<std::string>& args);
    bool AppRunning();
    // Waits until the application has ended; its exit code, or -1.
    int WaitForAppExit(Duration timeout = kWait);

    // The application's private folders.
    const std::string& HomeDir() const { return m_home; }
    std::string Path(const std::string& name) const { return m_home + "/" + name; }

    // Windows.
    std::string Title(WindowId window);
    // A top-level window of the application, other than `besides`, whose
    // title is `title`; 0 when none appears in time.
    WindowId WaitForWindow(const std::string& title, WindowId besides = 0, Duration timeout = kWait);
    bool WaitForTitle(WindowId window, const std::string& title, Duration timeout = kWait);
    bool WaitForActive(WindowId window, Duration timeout = kWait);
    bool WaitForGone(WindowId window, Duration timeout = kWait);
    WindowId ActiveWindow();
    // Position and size of the window's contents on the screen.
    Rect Geometry(WindowId window);

    // Menus and other pop-ups: Popups() counts the pop-up windows (not tool
    // tips) shown so far; WaitForPopup waits until the count exceeds `seen`.
    int Popups();
    bool WaitForPopup(int seen, Duration timeout = kWait);

    // Input through the X server. Keys are written as "ctrl+s", "alt+f",
    // "Escape", "F6", "a"; modifiers are held for the last key only.
    void Key(const std::string& combo);
    void Type(const std::string& text);      // plain characters of the US layout
    void Click(WindowId window, Point at);   // left button, at a point of the window

    // Where the window shows `colour` inside `area` (of the window): the
    // centre of the pixels of that colour, or nothing. Finds a tool-bar
    // button by its picture, as a user does.
    std::optional<Point> FindColour(WindowId window, Rect area, Rgb colour, int tolerance = 6);
    // The pixels of an area of the window, row by row (0xRRGGBB), to tell
    // whether its look changed.
    std::vector<uint32_t> Pixels(WindowId window, Rect area);

    // A picture of the whole screen in the session's screenshot folder
    // (VEXLAR_DESKTOP_SHOTS, else the session folder); returns its path.
    std::string Screenshot(const std::string& label);

private:
    struct X;
    bool WaitUntil(const std::function<bool()>& done, Duration timeout);
    void Drain();
    std::vector<WindowId> ClientWindows();
    long WindowPid(WindowId window);
    void Watch(WindowId window);
    bool Fail(const std::string& what);
    void StopApp();

    std::string m_name;
    std::string m_error;
    std::string m_root;   // the session's folder
    std::string m_home;   // the application's home and XDG folders live here
    std::unique_ptr<X> m_x;
    int m_serverPid = -1;
    int m_wmPid = -1;
    int m_appPid = -1;
    int m_appPidFd = -1;
    int m_appExit = -1;
    int m_shots = 0;
};

}   // namespace desktop
