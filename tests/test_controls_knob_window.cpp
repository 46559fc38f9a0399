// A knob and the ribbon in a frame shown in a real X11 window under Xvfb: drags that xdotool
// makes with the real pointer move their parameters, inside balanced host gestures. Skipped
// without Xvfb or xdotool.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "controls/THSlider.h"
#include "controls/TKnob.h"
#include "gui/X11Window.h"
#include "gui_support/AutomatingListener.h"
#include "gui_support/ControlTestKit.h"
#include "platform/childprocess.h"

extern char** environ;

using namespace guitest;

namespace {

// An Xvfb server on a free display, ended with the test.
class Xvfb {
public:
    bool start() {
        const std::string program = platform::findProgram("Xvfb");
        int fds[2];
        if (program.empty() || pipe(fds) != 0) return false;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 3); // Xvfb writes its display number here
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> args = {program, "-displayfd", "3", "-screen", "0", "640x480x24", "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        const bool spawned = posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (spawned && poll(&p, 1, 15000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (!spawned || number.empty()) return false;
        display = ":" + number;
        return true;
    }
    ~Xvfb() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    pid_t pid = -1;
    std::string display;
};

} // namespace

TEST(ControlsWindow, XdotoolDragsMoveKnobAndRibbon) {
    const std::string xdotool = platform::findProgram("xdotool");
    if (xdotool.empty() || platform::findProgram("Xvfb").empty()) GTEST_SKIP() << "Xvfb or xdotool not installed";
    Xvfb server;
    ASSERT_TRUE(server.start());
    const char* oldDisplay = std::getenv("DISPLAY");
    const std::string savedDisplay = oldDisplay ? oldDisplay : "";
    setenv("DISPLAY", server.display.c_str(), 1);
    Display* d = XOpenDisplay(server.display.c_str());
    ASSERT_NE(d, nullptr);
    const Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 400, 300, 0, 0, 0);
    XSelectInput(d, parent, StructureNotifyMask);
    XMapWindow(d, parent);
    for (XEvent e; XNextEvent(d, &e), e.type != MapNotify;) {
    }

    ControlBench b; // the plug-in and the fake editor; the frame below is the window's
    setManualGuiClock(0);
    AutomatingListener l;
    CBitmap* bitmaps[] = {stripedBitmap(8, 20, {kRedCColor}), stripedBitmap(12, 20, {kGreenCColor}),
                          stripedBitmap(4, 20, {kBlueCColor})};
    for (int i = 0; i < 3; ++i) b.editor.bitmaps.push_back({10065 + i, bitmaps[i]});
    CFrame* frame = new CFrame(CRect(0, 0, 400, 300), &b.editor);
    auto* knob = new TKnob(CRect(40, 40, 100, 100), &l, 2, nullptr, nullptr, CPoint(), false, 60, 0);
    auto* ribbon = new THSlider(CRect(20, 200, 380, 220), &l, kRibbonValueTag, 0, false);
    frame->addView(knob);
    frame->addView(ribbon);
    ASSERT_TRUE(frame->open(reinterpret_cast<void*>(static_cast<uintptr_t>(parent)), PlatformType::kX11EmbedWindowID));
    Display* frameDisplay = static_cast<X11Window*>(frame->getPlatformWindow())->getDisplay();
    APlugin& p = b.h.plugin();
    p.setParameter(2, 0.2f);
    knob->setValue(0.2f);
    b.h.host().automated.clear();

    int ox = 0, oy = 0;
    Window child = 0;
    XTranslateCoordinates(d, parent, DefaultRootWindow(d), 0, 0, &ox, &oy, &child);
    // Runs xdotool: a press, moves and a release along a path in frame coordinates; then lets
    // the frame handle what the server sends until the release has arrived.
    auto xdo = [&](std::vector<std::pair<int, int>> path) {
        const std::size_t ends = b.h.host().endEdits.size() + 1;
        std::vector<std::string> args = {xdotool};
        for (std::size_t i = 0; i < path.size(); ++i) {
            for (const std::string& a : {std::string("mousemove"), std::to_string(ox + path[i].first),
                                         std::to_string(oy + path[i].second)})
                args.push_back(a);
            if (i == 0) args.push_back("mousedown"), args.push_back("1");
        }
        args.push_back("mouseup");
        args.push_back("1");
        const platform::ChildResult r = platform::runChild(args, 4096);
        EXPECT_TRUE(r.exited && r.exitCode == 0);
        for (int i = 0; i < 300 && b.h.host().endEdits.size() < ends; ++i) {
            XSync(frameDisplay, False);
            frame->pumpEvents();
            usleep(10000);
        }
        frame->idle();
    };
    frame->pumpEvents();
    xdo({{70, 80}, {70, 60}, {70, 40}}); // 40 pixels up: 0.2 of the range
    EXPECT_NEAR(p.getParameter(2), 0.4f, 1e-5);
    EXPECT_NEAR(knob->getValue(), 0.4f, 1e-5);
    advanceManualGuiClock(1000);
    xdo({{36, 210}, {118, 210}, {200, 210}}); // from the track's start to its middle
    EXPECT_NEAR(p.getParameter(kRibbonValueTag), 0.5f, 1e-5);
    EXPECT_EQ(b.h.host().beginEdits, (std::vector<int>{2, kRibbonValueTag}));
    EXPECT_TRUE(b.gesturesBalanced());
    bool knobAutomated = false, ribbonAutomated = false;
    for (auto& a : b.h.host().automated) {
        knobAutomated |= a.first == 2;
        ribbonAutomated |= a.first == kRibbonValueTag;
    }
    EXPECT_TRUE(knobAutomated && ribbonAutomated);

    frame->close();
    for (CBitmap* bmp : bitmaps) bmp->forget();
    b.editor.bitmaps.clear();
    XDestroyWindow(d, parent);
    XCloseDisplay(d);
    if (savedDisplay.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", savedDisplay.c_str(), 1);
}
