// The GUI in a real X11 window under Xvfb, driven by xdotool against a small host program:
// the screen equals the off-screen render, and clicks, drags, wheel, menus, typing and tooltips
// work as off screen; closing leaves nothing behind. Skipped without Xvfb or xdotool.
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
#include <functional>
#include <sstream>
#include <thread>

#include "platform/childprocess.h"
#include "support/TestFiles.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// A child process with pipes to its standard input and from one of its descriptors.
class Child {
public:
    // Lines are read from the child's descriptor outFd (1, or 3 for Xvfb's -displayfd).
    bool start(const std::vector<std::string>& argv, int outFd = 1, const std::string& errPath = "/dev/null") {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return false;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], outFd);
        if (outFd != 1) posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> args(argv.size() + 1, nullptr);
        for (std::size_t i = 0; i < argv.size(); ++i) args[i] = const_cast<char*>(argv[i].c_str());
        const bool ok = posix_spawn(&pid, argv[0].c_str(), &fa, nullptr, args.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&fa);
        close(in[0]), close(out[1]);
        toChild = in[1], fromChild = out[0];
        if (!ok) pid = -1;
        return ok;
    }
    ~Child() { stop(); }

    // The next line of output, or "" after the timeout.
    std::string readLine(int timeoutMs = 10000) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (std::size_t nl; (nl = buffer.find('\n')) == std::string::npos;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            pollfd p{fromChild, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return "";
            char buf[1024];
            const ssize_t n = read(fromChild, buf, sizeof buf);
            if (n <= 0) return "";
            buffer.append(buf, static_cast<std::size_t>(n));
        }
        const std::string line = buffer.substr(0, buffer.find('\n'));
        buffer.erase(0, line.size() + 1);
        return line;
    }
    bool send(std::string line) { return line += '\n', write(toChild, line.data(), line.size()) == (ssize_t)line.size(); }
    std::string ask(const std::string& cmd) { return send(cmd) ? readLine() : ""; }
    // Waits for the end (a hang is the test runner's timeout); the exit status, or -1.
    int wait() {
        int status = 0;
        const bool ended = pid > 0 && waitpid(pid, &status, 0) == pid;
        return pid = -1, ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void stop() {
        if (toChild >= 0) close(toChild);
        if (fromChild >= 0) close(fromChild);
        toChild = fromChild = -1;
        if (pid > 0 && kill(pid, SIGTERM) == 0) waitpid(pid, nullptr, 0);
        pid = -1;
    }

private:
    pid_t pid = -1;
    int toChild = -1, fromChild = -1;
    std::string buffer;
};

// The screen's pixels of a rectangle of the root window, as 0xRRGGBB.
std::vector<uint32_t> screenshot(Display* d, int x, int y, int w, int h) {
    std::vector<uint32_t> px;
    XImage* img = XGetImage(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!img) return px;
    auto channel = [](unsigned long v, unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1)) mask >>= 1, ++shift;
        return static_cast<uint32_t>(((v >> shift) & mask) * 255 / (mask ? mask : 1));
    };
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const unsigned long v = XGetPixel(img, i, j);
            px.push_back(channel(v, img->red_mask) << 16 | channel(v, img->green_mask) << 8 | channel(v, img->blue_mask));
        }
    XDestroyImage(img);
    return px;
}

std::vector<uint32_t> loadPng(const std::string& path, int& w, int& h) {
    std::vector<uint32_t> px;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                px.push_back(reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s))[x] & 0xFFFFFF);
    }
    cairo_surface_destroy(s);
    return px;
}

int ignoreXError(Display*, XErrorEvent*) { return 0; }

// Override-redirect windows on screen (the pop-up menus). A pop-up of the other process
// may vanish between listing and asking: that window is simply not counted.
int popupsShown(Display* d) {
    Window root = 0, parent = 0, *children = nullptr;
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

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
    for (const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs); Clock::now() < end;) {
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

}  // namespace

TEST(GuiX11, RealWindowInAHostWindowUnderXvfb) {
    const std::string xdotool = platform::findProgram("xdotool"), xvfbPath = platform::findProgram("Xvfb");
    if (xvfbPath.empty() || xdotool.empty()) GTEST_SKIP() << "Xvfb or xdotool not installed";
    // Xvfb picks a free display and writes its number on descriptor 3.
    Child xvfb;
    ASSERT_TRUE(xvfb.start({xvfbPath, "-displayfd", "3", "-screen", "0", "640x480x24", "-nolisten", "tcp", "-noreset"}, 3));
    const std::string display = ":" + xvfb.readLine(15000);
    ASSERT_GT(display.size(), 1u) << "Xvfb did not start";
    struct RestoreDisplay {
        std::string v = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
        ~RestoreDisplay() { v.empty() ? unsetenv("DISPLAY") : setenv("DISPLAY", v.c_str(), 1); }
    } restore;
    setenv("DISPLAY", display.c_str(), 1);
    Display* d = XOpenDisplay(display.c_str());
    ASSERT_NE(d, nullptr);
    std::unique_ptr<Display, int (*)(Display*)> closeDisplay(d, XCloseDisplay);

    const std::string scratch = testfiles::makeScratchFolder("gui-x11");
    Child host;
    ASSERT_TRUE(host.start({TAV_GUI_TESTHOST_PATH}, 1, scratch + "/host-stderr.txt"));
    const std::string ready = host.readLine(15000);
    unsigned long child = 0, parent = 0;
    int w = 0, h = 0, ox = 0, oy = 0;
    ASSERT_EQ(std::sscanf(ready.c_str(), "READY %lu %lu %d %d", &child, &parent, &w, &h), 4) << ready;
    ASSERT_TRUE(w == 360 && h == 240) << ready;
    unsigned int n = 0;
    Window dummy = 0, p = 0, *kids = nullptr;
    ASSERT_TRUE(XQueryTree(d, static_cast<Window>(child), &dummy, &p, &kids, &n));
    if (kids) XFree(kids);
    EXPECT_EQ(p, static_cast<Window>(parent)) << "the frame is a child of the host's window";
    XTranslateCoordinates(d, static_cast<Window>(child), DefaultRootWindow(d), 0, 0, &ox, &oy, &dummy);

    // xdotool with its arguments; "@x,y" moves the pointer to a point of the frame.
    auto xdo = [&](std::vector<std::string> args) {
        std::vector<std::string> argv = {xdotool};
        for (const std::string& a : args) {
            int x = 0, y = 0;
            if (std::sscanf(a.c_str(), "@%d,%d", &x, &y) != 2) argv.push_back(a);
            else argv.insert(argv.end(), {"mousemove", std::to_string(ox + x), std::to_string(oy + y)});
        }
        const platform::ChildResult r = platform::runChild(argv, 4096);
        EXPECT_TRUE(r.exited && r.exitCode == 0) << argv[1];
    };
    auto state = [&]() { return host.ask("sync") == "OK" ? host.ask("state") : "no sync"; };
    // The window shows what the off-screen render draws, with the pointer outside the frame.
    auto compareWithRender = [&](const std::string& tag) {
        xdo({"mousemove", "600", "460"});
        ASSERT_EQ(host.ask("sync"), "OK");
        const std::string png = scratch + "/render-" + tag + ".png";
        ASSERT_EQ(host.ask("render " + png), "OK");
        int pw = 0, ph = 0;
        const std::vector<uint32_t> expected = loadPng(png, pw, ph);
        ASSERT_TRUE(pw == w && ph == h) << tag;
        EXPECT_TRUE(screenshot(d, ox, oy, w, h) == expected) << tag;
    };
    compareWithRender("initial");

    // A click toggles the on/off button (frame 20..60 x 50..90).
    xdo({"@40,70", "click", "1"});
    EXPECT_EQ(field(state(), "onoff"), "1.000");
    xdo({"@40,70", "click", "1", "click", "1"});
    EXPECT_EQ(field(state(), "onoff"), "1.000");

    // A drag of 40 pixels upwards moves the knob (frame 100..160 x 40..100) by 40/200; the
    // wheel (X11 buttons 4 and 5) steps it.
    xdo({"@130,70", "mousedown", "1", "@130,50", "@130,30", "mouseup", "1"});
    EXPECT_EQ(field(state(), "knob"), "0.200");
    xdo({"@130,70", "click", "4"});
    EXPECT_EQ(field(state(), "knob"), "0.300");
    xdo({"@130,70", "click", "5", "click", "5"});
    std::string s = state();
    EXPECT_EQ(field(s, "knob"), "0.100") << s;
    EXPECT_TRUE(field(s, "begins") == field(s, "ends") && field(s, "begins") != "0") << "one begin and one end per gesture";
    compareWithRender("after-edits");

    // A right click pops up a real menu (frame 190..340 x 50..74); keys choose.
    const std::pair<std::vector<std::string>, std::string> choices[] = {
        {{"t"}, "1 Triangle"},                      // the only entry starting with "t"
        {{"Down", "Down", "Down", "Return"}, "4 Square"},  // the arrows skip the separator and the greyed entry
        {{"m", "Down", "Return"}, "4 Pulse"},       // a submenu takes the keys; the top entry stays
        {{"Escape"}, "4 Pulse"},                    // dismissed: nothing changes
    };
    for (const auto& [keys, want] : choices) {
        const std::string before = state();
        xdo({"@260,62", "click", "3"});
        if (!waitFor([&] { return popupsShown(d) > 0; })) ADD_FAILURE() << "no menu shown";
        if (keys[0] == "m") {
            xdo({"key", "m"});
            EXPECT_TRUE(waitFor([&] { return popupsShown(d) == 2; })) << "the submenu opens beside its entry";
        }
        std::vector<std::string> args = {"key"};
        args.insert(args.end(), keys.begin() + (keys[0] == "m"), keys.end());
        xdo(args);
        EXPECT_TRUE(waitFor([&] { return popupsShown(d) == 0; }));
        s = state();
        EXPECT_EQ(field(s, "menu") + " " + field(s, "chosen"), want) << s;
        if (keys[0] == "Escape") {
            EXPECT_EQ(field(s, "changes"), field(before, "changes"));
        }
    }
    // Typing into a text field: the frame takes the keyboard focus for it.
    xdo({"@260,132", "click", "1"});
    EXPECT_EQ(field(state(), "editing"), "1");
    xdo({"type", "--delay", "5", "127"});
    xdo({"key", "Return"});
    s = state();
    EXPECT_EQ(field(s, "editing") + " " + field(s, "text"), "0 127") << s;

    // A tooltip window appears when the pointer rests on the on/off button, and goes when
    // the pointer leaves.
    xdo({"@35,60", "@40,70"});
    EXPECT_TRUE(waitFor([&] { return popupsShown(d) == 1; }));
    EXPECT_EQ(field(state(), "tooltip"), "shown");
    xdo({"mousemove", "600", "460"});
    EXPECT_TRUE(waitFor([&] { return popupsShown(d) == 0; }));
    EXPECT_EQ(field(state(), "tooltip"), "-");
    compareWithRender("after-menus");

    // Close: no window left in the host's window, no GUI object left alive (under the
    // sanitizers a leak fails the exit status).
    EXPECT_EQ(host.ask("close"), "CLOSED children=0 live=0");
    host.send("quit");
    EXPECT_EQ(host.wait(), 0) << testfiles::readFile(scratch + "/host-stderr.txt");
}
