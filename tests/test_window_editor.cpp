// The built plug-in's editor in a real X11 window under Xvfb, shown by `tavrolune-host editor`
// the way a host shows it (its own window as the parent, idle calls at 30 Hz, rendering with
// notes on another thread), driven by xdotool like a user and read back through the host's
// parameters. Skipped without Xvfb or xdotool.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <cairo.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "editor/uEditor.h"
#include "gui/OffscreenRenderer.h"
#include "platform/childprocess.h"
#include "platform/dialogs.h"
#include "support/PluginHarness.h"
#include "support/TestFiles.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// A program with its standard input and output on pipes; descriptor 3 optionally too.
struct Child {
    pid_t pid = -1;
    int in = -1, out = -1;
    std::string buffer;
    bool start(const std::vector<std::string>& argv, int fd3 = -1, const std::string& errPath = "/dev/null") {
        int a[2], b[2];
        if (pipe2(a, O_CLOEXEC) || pipe2(b, O_CLOEXEC)) return false;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, a[0], 0);
        posix_spawn_file_actions_adddup2(&fa, fd3 >= 0 ? fd3 : b[1], fd3 >= 0 ? 3 : 1);
        posix_spawn_file_actions_addopen(&fa, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> args;
        for (const std::string& s : argv) args.push_back(const_cast<char*>(s.c_str()));
        args.push_back(nullptr);
        const bool ok = posix_spawn(&pid, argv[0].c_str(), &fa, nullptr, args.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&fa);
        close(a[0]);
        close(b[1]);
        in = a[1];
        out = b[0];
        if (!ok) pid = -1;
        return ok;
    }
    std::string line(int timeoutMs = 20000) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const size_t nl = buffer.find('\n');
            if (nl != std::string::npos) {
                std::string l = buffer.substr(0, nl);
                buffer.erase(0, nl + 1);
                return l;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            pollfd p{out, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, (int)left) <= 0) return "";
            char buf[4096];
            const ssize_t n = read(out, buf, sizeof buf);
            if (n <= 0) return "";
            buffer.append(buf, (size_t)n);
        }
    }
    std::string ask(const std::string& cmd) {
        const std::string s = cmd + "\n";
        if (write(in, s.data(), s.size()) != (ssize_t)s.size()) return "";
        return line();
    }
    int finish() {
        if (in >= 0) close(in);
        in = -1;
        int status = 0;
        for (int i = 0; i < 1000 && pid > 0; ++i) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }
    ~Child() {
        if (in >= 0) close(in);
        if (out >= 0) close(out);
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

// Xvfb on a free display for the whole suite; DISPLAY points at it.
struct Server {
    Child xvfb;
    std::string display;
    bool start() {
        const std::string program = platform::findProgram("Xvfb");
        int fds[2];
        if (program.empty() || pipe2(fds, O_CLOEXEC)) return false;
        // Larger than the editor, so the pointer can rest outside it.
        const bool ok = xvfb.start({program, "-displayfd", "3", "-screen", "0", "1600x1000x24", "-nolisten", "tcp"}, fds[1]);
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (ok && poll(&p, 1, 15000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return false;
        display = ":" + number;
        setenv("DISPLAY", display.c_str(), 1);
        return true;
    }
};

// Value of "name=value" in an answer line.
std::string field(const std::string& line, const std::string& name) {
    std::istringstream in(line);
    std::string tok;
    while (in >> tok)
        if (tok.rfind(name + "=", 0) == 0) return tok.substr(name.size() + 1);
    return "";
}

// "CHANGED i=v ..." as indexes and values.
std::vector<std::pair<int, float>> changes(const std::string& line) {
    std::vector<std::pair<int, float>> out;
    std::istringstream in(line);
    std::string tok;
    in >> tok;
    while (in >> tok) out.push_back({std::stoi(tok), std::stof(tok.substr(tok.find('=') + 1))});
    return out;
}

int popups(Display* d) {
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned n = 0, count = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &n)) return 0;
    auto previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    for (unsigned i = 0; i < n; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d, kids[i], &a) && a.override_redirect && a.map_state == IsViewable) ++count;
    }
    XSync(d, False);
    XSetErrorHandler(previous);
    if (kids) XFree(kids);
    return (int)count;
}

class WindowEditor : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        xdotool = platform::findProgram("xdotool");
        if (xdotool.empty() || platform::findProgram("Xvfb").empty()) return;
        server = new Server;
        if (!server->start()) return;
        display = XOpenDisplay(server->display.c_str());
    }
    static void TearDownTestSuite() {
        if (display) XCloseDisplay(display);
        delete server;
        display = nullptr;
        server = nullptr;
    }
    void SetUp() override {
        if (xdotool.empty() || platform::findProgram("Xvfb").empty()) GTEST_SKIP() << "Xvfb or xdotool not installed";
        ASSERT_NE(display, nullptr) << "Xvfb did not start";
        // Preferences of this test only, for the host and this process alike.
        scratch = testfiles::makeScratchFolder("window-editor");
        for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            setenv(var, (scratch + "/" + var).c_str(), 1);
        ASSERT_TRUE(host.start({TAV_HOST_PATH, "editor", TAV_PLUGIN_PATH, "--control"}, -1, scratch + "/host-stderr.txt"));
        ASSERT_EQ(host.line(), "READY");
        ASSERT_EQ(host.ask("sync"), "OK");
        const std::string w = host.ask("window");
        x = std::stoi(field(w, "x"));
        y = std::stoi(field(w, "y"));
        rest();
    }
    void TearDown() override {
        if (host.pid > 0) {
            EXPECT_EQ(host.ask("quit"), "BYE");
            const int status = host.finish();
            const std::string err = testfiles::readFile(scratch + "/host-stderr.txt");
            // fontconfig and cairo keep some memory of their own after the host unloads the
            // plug-in, which LeakSanitizer may report; any other sanitizer report still counts.
            const bool onlyFontCacheLeak = status == 1 && err.find("LeakSanitizer") != std::string::npos &&
                                           err.find("ERROR: AddressSanitizer") == std::string::npos &&
                                           err.find("runtime error") == std::string::npos;
            EXPECT_TRUE(status == 0 || onlyFontCacheLeak) << err;
        }
    }
    void xdo(std::vector<std::string> args) {
        args.insert(args.begin(), xdotool);
        const platform::ChildResult r = platform::runChild(args, 4096);
        EXPECT_TRUE(r.exited && r.exitCode == 0) << args[1];
    }
    // Window coordinates to screen coordinates for xdotool.
    std::vector<std::string> at(int wx, int wy) { return {"mousemove", std::to_string(x + wx), std::to_string(y + wy)}; }
    void rest() { xdo({"mousemove", "1590", "990"}); }
    // A user's pace: the pointer arrives, then presses, moves and lets go.
    void drag(int wx, int wy, int dy) {
        for (std::vector<std::string> step : {at(wx, wy), {"mousedown", "1"}, at(wx, wy + dy / 2), at(wx, wy + dy), {"mouseup", "1"}}) {
            xdo(step);
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
        }
    }
    void click(int wx, int wy) {
        xdo(at(wx, wy));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        xdo({"click", "1"});
    }
    bool waitPopups(int n) {
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < end && popups(display) != n) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return popups(display) == n;
    }

    static inline std::string xdotool;
    static inline Server* server = nullptr;
    static inline Display* display = nullptr;
    Child host;
    std::string scratch;
    int x = 0, y = 0;
};

// Pixels of a PNG file as 0xRRGGBB.
std::vector<uint32_t> pixels(cairo_surface_t* s, int& w, int& h) {
    std::vector<uint32_t> px;
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) return px;
    cairo_surface_flush(s);
    w = cairo_image_surface_get_width(s);
    h = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) px.push_back(*reinterpret_cast<const uint32_t*>(data + j * stride + i * 4) & 0xffffff);
    return px;
}

}  // namespace

TEST_F(WindowEditor, OpensInTheHostWindowAtTheSizeOfGetRectAndDrawsTheMainPage) {
    int rw = 0, rh = 0;
    ASSERT_EQ(std::sscanf(host.ask("rect").c_str(), "RECT %d %d", &rw, &rh), 2);
    const std::string w = host.ask("window");
    EXPECT_NE(field(w, "child"), "0") << w;
    EXPECT_EQ(field(w, "cx") + "," + field(w, "cy"), "0,0") << w;
    EXPECT_EQ(field(w, "cw") + "x" + field(w, "ch"), std::to_string(rw) + "x" + std::to_string(rh)) << w;

    // The view switch (top bar, "VIEW") leads from the easy page to the main page.
    click(664, 50);
    rest();
    EXPECT_EQ(host.ask("sync"), "OK");
    const std::string shot = scratch + "/main.png";
    ASSERT_EQ(host.ask("shot " + shot), "OK");

    // The same page drawn off-screen by an editor of this process, with the same artwork.
    VSTGUI::CBitmap::setResourceFolder("");
    PluginHarness h;
    ASSERT_EQ(h.dispatch(effEditOpen, 0, 0, nullptr), 1);
    auto* editor = static_cast<uEditor*>(static_cast<VSTGUI::AEffGUIEditor*>(h->getEditor()));
    editor->showMainScreen();
    // The section pages fill in on the editor's 50 ms idle steps.
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        h.dispatch(effEditIdle);
    }
    VSTGUI::OffscreenRenderer render(editor->getFrame());
    render.renderAll();
    int ew = 0, eh = 0, sw = 0, sh = 0;
    const std::vector<uint32_t> expected = pixels(render.getImage(), ew, eh);
    cairo_surface_t* png = cairo_image_surface_create_from_png(shot.c_str());
    const std::vector<uint32_t> seen = pixels(png, sw, sh);
    cairo_surface_destroy(png);
    h.dispatch(effEditClose);
    ASSERT_EQ(sw, ew);
    ASSERT_EQ(sh, eh);
    ASSERT_EQ(ew, rw);
    // Only what moves differs: the output scopes with the notes playing, the readouts.
    size_t differ = 0;
    for (size_t i = 0; i < seen.size(); ++i) {
        const uint32_t a = seen[i], b = expected[i];
        for (int s = 0; s < 24; s += 8) {
            const int d = (int)((a >> s) & 0xff) - (int)((b >> s) & 0xff);
            if (d > 24 || d < -24) {
                ++differ;
                break;
            }
        }
    }
    if (differ >= seen.size() / 50) render.writePng(scratch + "/expected.png");
    EXPECT_LT(differ, seen.size() / 50) << "see " << scratch;
}

TEST_F(WindowEditor, KnobDragMenuChoiceAndKeyDoWhatTheySayWithBalancedGestures) {
    // Easy page, layer 1's "WIRE" knob: a drag upwards moves exactly one parameter.
    ASSERT_EQ(host.ask("mark"), "OK");
    drag(195, 135, -40);
    rest();
    ASSERT_EQ(host.ask("sync"), "OK");
    auto moved = changes(host.ask("changed"));
    std::string edits = host.ask("edits");
    ASSERT_EQ(moved.size(), 1u) << edits;
    EXPECT_EQ(field(edits, "last"), std::to_string(moved[0].first));
    EXPECT_NEAR(std::stof(field(edits, "value")), moved[0].second, 1e-5);
    EXPECT_EQ(field(edits, "begin"), field(edits, "end"));
    EXPECT_NE(field(edits, "begin"), "0");
    const int knobTag = moved[0].first;

    // The ribbon along the bottom: a press and a drag along it reach the host as tag 126.
    ASSERT_EQ(host.ask("mark"), "OK");
    for (std::vector<std::string> step : {at(200, 746), {"mousedown", "1"}, at(300, 746), at(400, 746), {"mouseup", "1"}}) {
        xdo(step);
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
    rest();
    ASSERT_EQ(host.ask("sync"), "OK");
    edits = host.ask("edits");
    EXPECT_EQ(field(edits, "last"), "126") << edits;
    EXPECT_EQ(field(edits, "begin"), field(edits, "end"));

    // The play mode menu ("Poly"): a real pop-up, another entry chosen with the keys.
    ASSERT_EQ(host.ask("mark"), "OK");
    click(522, 600);
    ASSERT_TRUE(waitPopups(1));
    xdo({"key", "Down", "Down", "Return"});
    ASSERT_TRUE(waitPopups(0));
    rest();
    ASSERT_EQ(host.ask("sync"), "OK");
    moved = changes(host.ask("changed"));
    // The ribbon may still be springing back to its rest.
    moved.erase(std::remove_if(moved.begin(), moved.end(), [](const auto& m) { return m.first == 126; }), moved.end());
    edits = host.ask("edits");
    ASSERT_EQ(moved.size(), 1u) << edits;
    EXPECT_NE(moved[0].first, knobTag);
    EXPECT_EQ(field(edits, "begin"), field(edits, "end"));

    // The down arrow over the editor steps to the next program (when there is one).
    const std::string before = host.ask("program");
    int current = -1, count = 0;
    ASSERT_EQ(std::sscanf(before.c_str(), "PROGRAM %d of %d", &current, &count), 2) << before;
    xdo(at(600, 300));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    xdo({"key", "Down"});
    rest();
    ASSERT_EQ(host.ask("sync"), "OK");
    int after = -1;
    ASSERT_EQ(std::sscanf(host.ask("program").c_str(), "PROGRAM %d", &after), 1);
    EXPECT_EQ(after, count > 1 ? (current + 1) % count : current);
}

TEST_F(WindowEditor, SurvivesReopeningResizesAndACloseWithAMenuOpen) {
    EXPECT_EQ(host.ask("reopen 20"), "OK 20");
    const std::string audio = host.ask("audio");
    EXPECT_EQ(audio.find("NaN"), std::string::npos) << audio;
    const std::string first = host.ask("window");
    EXPECT_EQ(host.ask("resize 600 400"), "OK");
    EXPECT_EQ(host.ask("resize 1400 900"), "OK");
    const std::string resized = host.ask("window");
    EXPECT_EQ(field(resized, "cw") + "x" + field(resized, "ch"), field(first, "cw") + "x" + field(first, "ch"));
    EXPECT_EQ(host.ask("resize " + field(first, "cw") + " " + field(first, "ch")), "OK");

    // A menu is open (its own loop runs inside the idle call) when the window is closed.
    click(522, 600);
    ASSERT_TRUE(waitPopups(1));
    EXPECT_EQ(host.ask("close"), "OK");
    EXPECT_TRUE(waitPopups(0));
    EXPECT_EQ(host.ask("open"), "OK");
    EXPECT_NE(field(host.ask("window"), "child"), "0");
}

TEST_F(WindowEditor, ValidateEditorChecksPassInARealWindow) {
    const platform::ChildResult r =
        platform::runChild({TAV_HOST_PATH, "validate", TAV_PLUGIN_PATH, "--only", "editor,editor-lifetimes,editor-one-file"},
                           1 << 16);
    EXPECT_TRUE(r.exited && r.exitCode == 0) << r.output;
    EXPECT_NE(r.output.find("in an X11 host window"), std::string::npos) << r.output;
    // Re-parenting by a second open: the memory and the X connections of one editor stay.
    EXPECT_NE(r.output.find("PASS editor-double-open: 40 openings without a close between two X11 parent windows"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("PASS editor-close-open"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("PASS editor-one-file: a copy alone in an empty folder opens its editor with the same"),
              std::string::npos) << r.output;
    EXPECT_NE(r.output.find("0 failed"), std::string::npos) << r.output;
}

TEST_F(WindowEditor, TheSharedObjectCopiedAloneOpensItsEditorWithTheSamePage) {
    // One editor on the screen at a time: the fixture's host leaves first.
    ASSERT_EQ(host.ask("quit"), "BYE");
    ASSERT_EQ(host.finish(), 0);
    const std::string alone = testfiles::makeScratchFolder("plugin-alone");
    std::filesystem::copy_file(TAV_PLUGIN_PATH, alone + "/Tavrolune.so");
    ASSERT_EQ(testfiles::listFolder(alone), std::vector<std::string>{"Tavrolune.so"});

    std::vector<uint32_t> page[2];
    int w[2] = {0, 0}, h[2] = {0, 0};
    const std::string plugins[2] = {TAV_PLUGIN_PATH, alone + "/Tavrolune.so"};
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(plugins[k]);
        Child other;
        ASSERT_TRUE(other.start({TAV_HOST_PATH, "editor", plugins[k], "--control", "--no-audio"}, -1,
                                scratch + "/host-" + std::to_string(k) + ".txt"));
        ASSERT_EQ(other.line(), "READY");
        // Past the editor's slower refresh steps (modulation rings every 200 ms), so both
        // pages show settled state rather than wherever the first steps had got to.
        ASSERT_EQ(other.ask("idle 25"), "OK");
        ASSERT_EQ(other.ask("sync"), "OK");
        EXPECT_NE(field(other.ask("window"), "child"), "0");
        const std::string shot = scratch + "/page-" + std::to_string(k) + ".png";
        ASSERT_EQ(other.ask("shot " + shot), "OK");
        EXPECT_EQ(other.ask("quit"), "BYE");
        EXPECT_EQ(other.finish(), 0);
        cairo_surface_t* png = cairo_image_surface_create_from_png(shot.c_str());
        page[k] = pixels(png, w[k], h[k]);
        cairo_surface_destroy(png);
    }
    ASSERT_EQ(w[1], w[0]);
    ASSERT_EQ(h[1], h[0]);
    EXPECT_TRUE(page[1] == page[0]) << "the copy's page differs from the build's; see " << scratch;
    // And it is the artwork's page: most pixels are the easy page's background as drawn.
    VSTGUI::CBitmap::setResourceFolder("");
    auto* background = new VSTGUI::CBitmap(VSTGUI::CResourceDescription(10001));
    int bw = 0, bh = 0;
    const std::vector<uint32_t> drawn = pixels(background->getSurface(), bw, bh);
    background->forget();
    ASSERT_EQ(bw, w[1]);
    ASSERT_EQ(bh, h[1]);
    size_t same = 0;
    for (size_t i = 0; i < drawn.size(); ++i) same += drawn[i] == page[1][i];
    EXPECT_GT(same, drawn.size() / 2);
}

TEST_F(WindowEditor, BoxesTheEditorAsksForOpenOverItsWindow) {
    // A host window of this process with the editor of a plug-in of this process in it.
    const Window top = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1132, 779, 0, 0, 0);
    XMapWindow(display, top);
    XSync(display, False);
    // The dialog program stands in for zenity and writes down its arguments.
    const std::string fake = scratch + "/fake-zenity", args = scratch + "/args";
    testfiles::writeFile(fake, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + args + "'; done\nexit 1\n");
    chmod(fake.c_str(), 0755);
    platform::dialogSetProgram(fake);
    platform::dialogSetMode(platform::DialogMode::External);
    {
        PluginHarness h;
        ASSERT_EQ(h.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(top)), 1);
        h.dispatch(effEditIdle);
        h.plugin().setNumValue(102);  // a value typed in: its entry box
        const std::string seen = testfiles::readFile(args);
        EXPECT_NE(seen.find("--entry\n"), std::string::npos) << seen;
        EXPECT_NE(seen.find("--attach=" + std::to_string(top) + "\n"), std::string::npos) << seen;
        h.dispatch(effEditClose);
        EXPECT_EQ(platform::dialogParentWindow(), 0u) << "a closed editor's window is no parent";
    }
    platform::dialogSetMode(platform::DialogMode::Automatic);
    platform::dialogSetProgram("");
    XDestroyWindow(display, top);
    XSync(display, False);
}

TEST_F(WindowEditor, TheShotsToolDrawsWhatTheWindowShowsAndAnswersHelp) {
    const std::string dir = std::string(TAV_HOST_PATH).substr(0, std::string(TAV_HOST_PATH).rfind('/') + 1);
    const std::string tool = dir + "tavrolune-editor-shots";
    const platform::ChildResult help = platform::runChild({tool, "--help"}, 4096);
    EXPECT_TRUE(help.exited && help.exitCode == 0);
    EXPECT_EQ(help.output.rfind("usage: tavrolune-editor-shots OUTDIR", 0), 0u) << help.output;
    EXPECT_FALSE(std::filesystem::exists("--help")) << "no folder named --help";
    const std::string shots = scratch + "/shots";
    const platform::ChildResult made = platform::runChild({tool, shots}, 1 << 16);
    ASSERT_TRUE(made.exited && made.exitCode == 0) << made.output;

    // The easy page as a window shows it, without notes playing.
    ASSERT_EQ(host.ask("quit"), "BYE");
    ASSERT_EQ(host.finish(), 0);
    Child quiet;
    ASSERT_TRUE(quiet.start({TAV_HOST_PATH, "editor", TAV_PLUGIN_PATH, "--control", "--no-audio"}, -1,
                            scratch + "/quiet.txt"));
    ASSERT_EQ(quiet.line(), "READY");
    ASSERT_EQ(quiet.ask("sync"), "OK");
    ASSERT_EQ(quiet.ask("shot " + scratch + "/window.png"), "OK");
    EXPECT_EQ(quiet.ask("quit"), "BYE");
    EXPECT_EQ(quiet.finish(), 0);
    int ww = 0, wh = 0, sw = 0, sh = 0;
    cairo_surface_t* a = cairo_image_surface_create_from_png((scratch + "/window.png").c_str());
    cairo_surface_t* b = cairo_image_surface_create_from_png((shots + "/editor-easy-100.png").c_str());
    const std::vector<uint32_t> window = pixels(a, ww, wh), shot = pixels(b, sw, sh);
    cairo_surface_destroy(a);
    cairo_surface_destroy(b);
    ASSERT_EQ(sw, ww);
    ASSERT_EQ(sh, wh);
    size_t differ = 0;
    for (size_t i = 0; i < window.size(); ++i)
        for (int s = 0; s < 24; s += 8) {
            const int d = (int)((window[i] >> s) & 0xff) - (int)((shot[i] >> s) & 0xff);
            if (d > 24 || d < -24) {
                ++differ;
                break;
            }
        }
    EXPECT_LT(differ, window.size() / 100) << "see " << scratch;
}
