// The GUI in a real X11 window under Xvfb: a small host program opens a frame as a child of
// its own window; the screenshot of the window equals the off-screen render of the same
// frame; xdotool clicks toggle a button, drag and wheel a knob, pop up a real menu whose entries
// keys choose; closing leaves no window and no object behind. Skipped without Xvfb or xdotool.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/childprocess.h"
#include "support/TestFiles.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// A child process with pipes to its standard input and output.
class Child {
public:
    // Output on descriptor 3 (extraFd) instead of the standard output when given; standard
    // error into errPath when given.
    bool start(const std::vector<std::string>& argv, int extraFd = -1, const std::string& errPath = "") {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return false;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, extraFd >= 0 ? extraFd : out[1], extraFd >= 0 ? 3 : 1);
        if (extraFd >= 0) posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, errPath.empty() ? "/dev/null" : errPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        const int rc = posix_spawn(&pid, argv[0].c_str(), &fa, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        close(in[0]);
        close(out[1]);
        toChild = in[1];
        fromChild = out[0];
        if (rc != 0) pid = -1;
        return rc == 0;
    }
    ~Child() { stop(); }

    bool send(const std::string& line) {
        const std::string s = line + "\n";
        return write(toChild, s.data(), s.size()) == static_cast<ssize_t>(s.size());
    }
    // The next line of output, or "" after the timeout.
    std::string readLine(int timeoutMs = 10000) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const std::size_t nl = buffer.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer.substr(0, nl);
                buffer.erase(0, nl + 1);
                return line;
            }
            const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
            if (left <= 0) return "";
            pollfd p{fromChild, POLLIN, 0};
            if (poll(&p, 1, left) <= 0) continue;
            char buf[1024];
            const ssize_t n = read(fromChild, buf, sizeof buf);
            if (n <= 0) return "";
            buffer.append(buf, static_cast<std::size_t>(n));
        }
    }
    std::string ask(const std::string& cmd) {
        send(cmd);
        return readLine();
    }
    // Waits for the end (killing after the timeout); the exit status, or -1.
    int wait(int timeoutMs) {
        if (pid <= 0) return -1;
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = 0;
        while (Clock::now() < end) {
            const pid_t w = waitpid(pid, &status, WNOHANG);
            if (w == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        stop();
        return -1;
    }
    void stop() {
        if (toChild >= 0) close(toChild);
        if (fromChild >= 0) close(fromChild);
        toChild = fromChild = -1;
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status = 0;
            waitpid(pid, &status, 0);
            pid = -1;
        }
    }
    int fd() const { return fromChild; }

private:
    pid_t pid = -1;
    int toChild = -1;
    int fromChild = -1;
    std::string buffer;
};

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// The screen's pixels of a rectangle of the root window.
std::vector<Rgb> screenshot(Display* d, int x, int y, int w, int h) {
    std::vector<Rgb> px;
    XImage* img = XGetImage(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!img) return px;
    auto channel = [](unsigned long v, unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        return static_cast<int>(((v >> shift) & mask) * 255 / (mask ? mask : 1));
    };
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const unsigned long v = XGetPixel(img, i, j);
            px.push_back(Rgb{channel(v, img->red_mask), channel(v, img->green_mask), channel(v, img->blue_mask)});
        }
    XDestroyImage(img);
    return px;
}

std::vector<Rgb> loadPng(const std::string& path, int& w, int& h) {
    std::vector<Rgb> px;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        w = cairo_image_surface_get_width(s);
        h = cairo_image_surface_get_height(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        const int stride = cairo_image_surface_get_stride(s);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t v = *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4);
                px.push_back(Rgb{static_cast<int>((v >> 16) & 0xff), static_cast<int>((v >> 8) & 0xff), static_cast<int>(v & 0xff)});
            }
    }
    cairo_surface_destroy(s);
    return px;
}

void savePixels(const std::vector<Rgb>& px, int w, int h, const std::string& path) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb& p = px[static_cast<std::size_t>(y * w + x)];
            *reinterpret_cast<uint32_t*>(data + y * stride + x * 4) = (p.r << 16) | (p.g << 8) | p.b;
        }
    cairo_surface_mark_dirty(s);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
}

int ignoreXError(Display*, XErrorEvent*) { return 0; }

// Override-redirect windows on screen (the pop-up menus). A pop-up of the other process
// may vanish between listing and asking: that window is simply not counted.
int popupsShown(Display* d) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int n = 0;
    int count = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return 0;
    XSync(d, False);
    auto previous = XSetErrorHandler(ignoreXError);
    for (unsigned int i = 0; i < n; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d, children[i], &a) && a.override_redirect && a.map_state == IsViewable) ++count;
    }
    XSync(d, False);
    XSetErrorHandler(previous);
    if (children) XFree(children);
    return count;
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

std::string field(const std::string& state, const std::string& name) {
    std::istringstream in(state);
    std::string tok;
    while (in >> tok)
        if (tok.rfind(name + "=", 0) == 0) return tok.substr(name.size() + 1);
    return "";
}

class XvfbSession {
public:
    bool start() {
        const std::string xvfb = platform::findProgram("Xvfb");
        if (xvfb.empty()) return false;
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return false;
        // Xvfb picks a free display and writes its number on descriptor 3.
        const bool ok = server.start({xvfb, "-displayfd", "3", "-screen", "0", "640x480x24", "-nolisten", "tcp", "-noreset"}, fds[1]);
        close(fds[1]);
        if (!ok) {
            close(fds[0]);
            return false;
        }
        std::string number;
        const auto end = Clock::now() + std::chrono::seconds(15);
        while (Clock::now() < end && number.find('\n') == std::string::npos) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 200) <= 0) continue;
            char buf[32];
            const ssize_t n = read(fds[0], buf, sizeof buf);
            if (n <= 0) break;
            number.append(buf, static_cast<std::size_t>(n));
        }
        close(fds[0]);
        if (number.empty() || number.find('\n') == std::string::npos) return false;
        display = ":" + number.substr(0, number.find('\n'));
        return true;
    }
    std::string display;
    Child server;
};

} // namespace

TEST(GuiX11, RealWindowInAHostWindowUnderXvfb) {
    const std::string xdotool = platform::findProgram("xdotool");
    if (platform::findProgram("Xvfb").empty() || xdotool.empty()) GTEST_SKIP() << "Xvfb or xdotool not installed";
    XvfbSession xvfb;
    ASSERT_TRUE(xvfb.start()) << "Xvfb did not start";
    const char* oldDisplay = std::getenv("DISPLAY");
    const std::string savedDisplay = oldDisplay ? oldDisplay : "";
    setenv("DISPLAY", xvfb.display.c_str(), 1);
    struct RestoreDisplay {
        std::string v;
        ~RestoreDisplay() {
            if (v.empty())
                unsetenv("DISPLAY");
            else
                setenv("DISPLAY", v.c_str(), 1);
        }
    } restore{savedDisplay};

    Display* d = XOpenDisplay(xvfb.display.c_str());
    ASSERT_NE(d, nullptr);
    struct CloseDisplay {
        Display* d;
        ~CloseDisplay() { XCloseDisplay(d); }
    } closeDisplay{d};

    const std::string scratch = testfiles::makeScratchFolder("gui-x11");
    Child host;
    ASSERT_TRUE(host.start({TAV_GUI_TESTHOST_PATH}, -1, scratch + "/host-stderr.txt"));
    const std::string ready = host.readLine(15000);
    ASSERT_EQ(ready.rfind("READY ", 0), 0u) << ready;
    unsigned long child = 0, parent = 0;
    int w = 0, h = 0;
    ASSERT_EQ(std::sscanf(ready.c_str(), "READY %lu %lu %d %d", &child, &parent, &w, &h), 4);
    ASSERT_EQ(w, 360);
    ASSERT_EQ(h, 240);
    // The frame is a child of the host's window.
    {
        Window root = 0, p = 0;
        Window* kids = nullptr;
        unsigned int n = 0;
        ASSERT_TRUE(XQueryTree(d, static_cast<Window>(child), &root, &p, &kids, &n));
        if (kids) XFree(kids);
        EXPECT_EQ(p, static_cast<Window>(parent));
    }
    int ox = 0, oy = 0;
    Window dummy = 0;
    XTranslateCoordinates(d, static_cast<Window>(child), DefaultRootWindow(d), 0, 0, &ox, &oy, &dummy);

    auto xdo = [&](std::vector<std::string> args) {
        args.insert(args.begin(), xdotool);
        const platform::ChildResult r = platform::runChild(args, 4096);
        EXPECT_TRUE(r.exited && r.exitCode == 0) << args[1];
    };
    auto at = [&](int x, int y) { return std::vector<std::string>{"mousemove", std::to_string(ox + x), std::to_string(oy + y)}; };
    auto concat = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    auto compareWithRender = [&](const std::string& tag) {
        ASSERT_EQ(host.ask("sync"), "OK");
        const std::string png = scratch + "/render-" + tag + ".png";
        ASSERT_EQ(host.ask("render " + png), "OK");
        int pw = 0, ph = 0;
        const std::vector<Rgb> expected = loadPng(png, pw, ph);
        ASSERT_EQ(pw, w);
        ASSERT_EQ(ph, h);
        const std::vector<Rgb> shot = screenshot(d, ox, oy, w, h);
        ASSERT_EQ(shot.size(), expected.size());
        std::size_t differ = 0;
        for (std::size_t i = 0; i < shot.size(); ++i) differ += !(shot[i] == expected[i]);
        if (differ) savePixels(shot, w, h, scratch + "/screen-" + tag + ".png");
        EXPECT_EQ(differ, 0u) << tag << ": see " << scratch;
    };
    auto state = [&]() {
        EXPECT_EQ(host.ask("sync"), "OK");
        return host.ask("state");
    };

    // 1. What the window shows is what the off-screen render draws.
    // The pointer rests outside the frame so that nothing is hovered.
    xdo({"mousemove", "600", "460"});
    compareWithRender("initial");

    // 2. A click toggles the on/off button (frame 20..60 x 50..90).
    xdo(concat(at(40, 70), {"click", "1"}));
    std::string s = state();
    EXPECT_EQ(field(s, "onoff"), "1.000") << s;
    xdo(concat(at(40, 70), {"click", "1"}));
    xdo(concat(at(40, 70), {"click", "1"}));
    s = state();
    EXPECT_EQ(field(s, "onoff"), "1.000") << s;

    // 3. A drag of 40 pixels upwards moves the knob (frame 100..160 x 40..100) by 40/200.
    xdo(concat(concat(concat(at(130, 70), {"mousedown", "1"}), at(130, 50)), concat(at(130, 30), {"mouseup", "1"})));
    s = state();
    EXPECT_EQ(field(s, "knob"), "0.200") << s;
    // The wheel (X11 buttons 4 and 5) steps it.
    xdo(concat(at(130, 70), {"click", "4"}));
    s = state();
    EXPECT_EQ(field(s, "knob"), "0.300") << s;
    xdo(concat(at(130, 70), {"click", "5"}));
    xdo(concat(at(130, 70), {"click", "5"}));
    s = state();
    EXPECT_EQ(field(s, "knob"), "0.100") << s;
    // Every gesture reached the host as one begin and one end.
    EXPECT_EQ(field(s, "begins"), field(s, "ends")) << s;
    EXPECT_NE(field(s, "begins"), "0");

    xdo({"mousemove", "600", "460"});
    compareWithRender("after-edits");

    // 4. A right click pops up a real menu (frame 190..340 x 50..74); one key chooses.
    auto popUp = [&]() {
        xdo(concat(at(260, 62), {"click", "3"}));
        const bool shown = waitFor([&] { return popupsShown(d) > 0; }, 5000);
        EXPECT_TRUE(shown);
        return shown;
    };
    if (popUp()) {
        xdo({"key", "t"}); // the only entry starting with "t": "Triangle"
        EXPECT_TRUE(waitFor([&] { return popupsShown(d) == 0; }, 5000));
        s = state();
        EXPECT_EQ(field(s, "menu"), "1") << s;
        EXPECT_EQ(field(s, "chosen"), "Triangle") << s;
    }
    // The arrows skip the separator and the greyed entry.
    if (popUp()) {
        xdo({"key", "Down", "Down", "Down", "Return"});
        EXPECT_TRUE(waitFor([&] { return popupsShown(d) == 0; }, 5000));
        s = state();
        EXPECT_EQ(field(s, "menu"), "4") << s;
        EXPECT_EQ(field(s, "chosen"), "Square") << s;
    }
    // A submenu opens beside its entry and takes the keys.
    if (popUp()) {
        xdo({"key", "m"});
        EXPECT_TRUE(waitFor([&] { return popupsShown(d) == 2; }, 5000));
        xdo({"key", "Down", "Return"});
        EXPECT_TRUE(waitFor([&] { return popupsShown(d) == 0; }, 5000));
        s = state();
        EXPECT_EQ(field(s, "chosen"), "Pulse") << s;
        EXPECT_EQ(field(s, "menu"), "4") << s; // the top menu's own entry stays
    }
    // Escape dismisses and changes nothing.
    const std::string before = state();
    if (popUp()) {
        xdo({"key", "Escape"});
        EXPECT_TRUE(waitFor([&] { return popupsShown(d) == 0; }, 5000));
        s = state();
        EXPECT_EQ(field(s, "changes"), field(before, "changes"));
        EXPECT_EQ(field(s, "menu"), "4");
    }
    // 5. Typing into a text field: the frame takes the keyboard focus for it.
    xdo(concat(at(260, 132), {"click", "1"}));
    s = state();
    EXPECT_EQ(field(s, "editing"), "1") << s;
    xdo({"type", "--delay", "5", "127"});
    xdo({"key", "Return"});
    s = state();
    EXPECT_EQ(field(s, "editing"), "0") << s;
    EXPECT_EQ(field(s, "text"), "127") << s;

    // 6. A tooltip window appears when the pointer rests on the on/off button, and goes when
    // the pointer leaves.
    xdo(concat(at(35, 60), {}));
    xdo(concat(at(40, 70), {}));
    EXPECT_TRUE(waitFor([&] { return popupsShown(d) == 1; }, 5000));
    EXPECT_EQ(field(state(), "tooltip"), "shown");
    xdo({"mousemove", "600", "460"});
    EXPECT_TRUE(waitFor([&] { return popupsShown(d) == 0; }, 5000));
    EXPECT_EQ(field(state(), "tooltip"), "-");

    compareWithRender("after-menus");

    // 7. Close: no window left in the host's window, no GUI object left alive.
    const std::string closed = host.ask("close");
    EXPECT_EQ(closed, "CLOSED children=0 live=0");
    host.send("quit");
    EXPECT_EQ(host.wait(10000), 0) << testfiles::readFile(scratch + "/host-stderr.txt");
    // (under the sanitizers a leak fails the exit status)
}
