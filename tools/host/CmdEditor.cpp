// tavrolune-host editor: shows a plug-in's editor in a real X11 window the way a host does.
// The host makes a top-level window of the size the plug-in asks for (effEditGetRect), passes
// it to effEditOpen, and calls effEditIdle about 30 times a second from this (the UI) thread,
// while another thread renders with a phrase of notes looping. With --control, commands on the
// standard input (one a line, one answer line each on the standard output) drive it: tests
// and scripts read parameters back, take screenshots, close and reopen, resize, and so on.
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <sstream>
#include <thread>

#include "CommandLine.h"
#include "Commands.h"
#include "HostWindowX11.h"
#include "hostlib/LiveAudio.h"
#include "hostlib/StateFile.h"
#include "hostlib/TextUtil.h"

namespace tavhost {

namespace {

using Clock = std::chrono::steady_clock;

// One editor in one window, opened and closed on the thread that made the session.
class EditorSession {
public:
    EditorSession(VstPlugin& plugin, std::string title) : plugin_(plugin), title_(std::move(title)) {}
    ~EditorSession() { close(); }

    bool isOpen() const { return window_ != nullptr; }
    X11HostWindow* window() const { return window_.get(); }
    unsigned long windowId() const { return windowId_.load(); }

    // The plug-in's size from effEditGetRect; false when it gives none.
    bool rect(int& w, int& h) {
        ERect* r = nullptr;
        plugin_.dispatch(effEditGetRect, 0, 0, &r);
        if (!r) return false;
        w = r->right - r->left;
        h = r->bottom - r->top;
        return w > 0 && h > 0;
    }

    bool open(std::string& error) {
        if (isOpen()) return true;
        int w = 0, h = 0;
        if (!rect(w, h)) {
            error = "effEditGetRect gives no size";
            return false;
        }
        window_ = X11HostWindow::create(w, h, title_, error);
        if (!window_) return false;
        windowId_ = window_->id();
        plugin_.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window_->id()));
        // Some plug-ins know their size only once open.
        int w2 = 0, h2 = 0;
        if (rect(w2, h2) && (w2 != w || h2 != h)) window_->resize(w2, h2);
        return true;
    }

    void close() {
        if (!isOpen()) return;
        plugin_.dispatch(effEditClose);
        windowId_ = 0;
        window_.reset();
    }

    void idle() {
        if (!isOpen()) return;
        window_->pump();
        plugin_.dispatch(effEditIdle);
    }

private:
    VstPlugin& plugin_;
    std::string title_;
    std::unique_ptr<X11HostWindow> window_;
    std::atomic<unsigned long> windowId_{0};
};

// Lines from the standard input, handed to the UI thread. A "close" the UI thread does not
// take within a second (it is inside the plug-in, e.g. in a menu's own loop) makes the window
// system close the window, as when the user closes it on the desktop.
class CommandReader {
public:
    explicit CommandReader(EditorSession& session) : session_(session) {
        thread_ = std::thread([this] { run(); });
    }
    ~CommandReader() {
        stop_ = true;
        thread_.join();
    }
    bool next(std::string& line, Clock::time_point until) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!cv_.wait_until(lock, until, [&] { return !queue_.empty(); })) return false;
        line = queue_.front();
        queue_.pop_front();
        ++taken_;
        return true;
    }

private:
    void run() {
        std::string buffer;
        while (!stop_) {
            pollfd p{0, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char buf[512];
            const ssize_t n = read(0, buf, sizeof buf);
            if (n <= 0) {
                push("quit");
                return;
            }
            buffer.append(buf, (size_t)n);
            size_t nl;
            while ((nl = buffer.find('\n')) != std::string::npos) {
                const std::string line = buffer.substr(0, nl);
                buffer.erase(0, nl + 1);
                const uint64_t mine = push(line);
                if (line == "close") watchClose(mine);
            }
        }
    }
    uint64_t push(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(line);
        cv_.notify_one();
        return ++pushed_;
    }
    void watchClose(uint64_t number) {
        const auto until = Clock::now() + std::chrono::seconds(1);
        while (Clock::now() < until) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (taken_ >= number) return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (const unsigned long id = session_.windowId()) X11HostWindow::destroyElsewhere(id);
    }

    EditorSession& session_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::string> queue_;
    uint64_t pushed_ = 0;
    uint64_t taken_ = 0;
};

std::string valueText(float v) { return formatFixed(v, 6); }

struct Host {
    VstPlugin& plugin;
    EditorSession& session;
    LiveAudio* audio;
    int idleMs;
    std::vector<float> marked;

    void idleFor(int calls) {
        for (int i = 0; i < calls; ++i) {
            session.idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(idleMs));
        }
    }

    // One command; its answer line. `quit` is set for "quit".
    std::string run(const std::string& line, bool& quit) {
        std::istringstream in(line);
        std::string cmd;
        in >> cmd;
        std::string error;
        HostContext& h = plugin.host();
        if (cmd.empty()) return "ERROR empty command";
        if (cmd == "quit") {
            quit = true;
            return "BYE";
        }
        if (cmd == "open") return session.open(error) ? "OK" : "ERROR " + error;
        if (cmd == "close") {
            session.close();
            return "OK";
        }
        if (cmd == "reopen") {
            int n = 0;
            in >> n;
            for (int i = 0; i < n; ++i) {
                session.close();
                if (!session.open(error)) return "ERROR cycle " + std::to_string(i + 1) + ": " + error;
                idleFor(2);
            }
            return "OK " + std::to_string(n);
        }
        if (cmd == "rect") {
            int w = 0, hgt = 0;
            if (!session.rect(w, hgt)) return "ERROR no rect";
            return "RECT " + std::to_string(w) + " " + std::to_string(hgt);
        }
        if (cmd == "window") {
            if (!session.isOpen()) return "ERROR not open";
            int rx = 0, ry = 0, cx = 0, cy = 0, cw = 0, ch = 0;
            if (!session.window()->describe(rx, ry, cx, cy, cw, ch)) return "ERROR window gone";
            std::ostringstream o;
            o << "WINDOW parent=" << session.window()->id() << " child=" << session.window()->child() << " x=" << rx
              << " y=" << ry << " cx=" << cx << " cy=" << cy << " cw=" << cw << " ch=" << ch;
            return o.str();
        }
        if (cmd == "shot") {
            std::string path;
            in >> path;
            if (path.empty() || !session.isOpen()) return "ERROR shot needs an open editor and a file";
            session.idle();
            session.window()->sync();
            return session.window()->screenshot(path, error) ? "OK" : "ERROR " + error;
        }
        if (cmd == "resize") {
            int w = 0, hgt = 0;
            in >> w >> hgt;
            if (!session.isOpen() || w < 1 || hgt < 1) return "ERROR resize needs an open editor and a size";
            session.window()->resize(w, hgt);
            idleFor(2);
            return "OK";
        }
        if (cmd == "mark") {
            marked = plugin.getAllParameters();
            return "OK";
        }
        if (cmd == "changed") {
            const std::vector<float> now = plugin.getAllParameters();
            std::string s = "CHANGED";
            for (size_t i = 0; i < now.size() && i < marked.size(); ++i)
                if (std::fabs(now[i] - marked[i]) > 1e-6f) s += " " + std::to_string(i) + "=" + valueText(now[i]);
            return s;
        }
        if (cmd == "param") {
            int i = -1;
            in >> i;
            if (i < 0 || i >= plugin.numParams()) return "ERROR no such parameter";
            return "PARAM " + std::to_string(i) + " " + valueText(plugin.getParameter(i)) + " " +
                   printable(plugin.paramName(i));
        }
        if (cmd == "edits") {
            std::ostringstream o;
            o << "EDITS automate=" << h.automateCount() << " begin=" << h.beginEditCount()
              << " end=" << h.endEditCount() << " last=" << h.lastAutomatedIndex()
              << " value=" << valueText(h.lastAutomatedValue());
            return o.str();
        }
        if (cmd == "program") {
            return "PROGRAM " + std::to_string(plugin.dispatch(effGetProgram)) + " of " +
                   std::to_string(plugin.numPrograms()) + " " +
                   printable(plugin.dispatchString(effGetProgramName));
        }
        if (cmd == "setprogram") {
            int n = 0;
            in >> n;
            plugin.dispatch(effSetProgram, 0, n);
            return "OK";
        }
        if (cmd == "load") {
            std::string path;
            in >> path;
            PluginState state;
            if (!loadStateFile(path, state, error) || !applyPluginState(plugin, state, error)) return "ERROR " + error;
            return "OK";
        }
        if (cmd == "audio") return audio ? "AUDIO " + audio->summary() : "AUDIO off";
        if (cmd == "click" || cmd == "key") {
            if (!session.isOpen()) return "ERROR not open";
            bool ok = false;
            if (cmd == "click") {
                int x = -1, y = -1, b = 1;
                in >> x >> y;
                if (!(in >> b)) b = 1;
                ok = session.window()->click(x, y, b);
            } else {
                std::string sym;
                in >> sym;
                ok = session.window()->key(sym);
            }
            idleFor(2);
            return ok ? "OK" : "ERROR nothing to send it to";
        }
        if (cmd == "idle") {
            int n = 1;
            in >> n;
            idleFor(n < 0 ? 0 : n);
            return "OK";
        }
        if (cmd == "sync") {
            if (session.isOpen()) session.window()->sync();
            idleFor(3);
            if (session.isOpen()) session.window()->sync();
            return "OK";
        }
        return "ERROR unknown command '" + cmd + "'";
    }
};

}  // namespace

int commandEditor(int argc, char** argv) {
    std::vector<OptionSpec> specs = hostOptionSpecs();
    for (const char* name : {"rate", "block", "idle-rate", "state", "screenshot", "shot-after", "seconds"})
        specs.push_back({name, true, false});
    for (const char* name : {"no-audio", "no-notes", "control"}) specs.push_back({name, false, false});
    ParsedArgs args;
    std::string error;
    if (!parseArgs(argc, argv, 2, specs, args, error)) return reportError(kExitUsage, error);
    if (args.positional.size() != 1) return reportError(kExitUsage, "editor wants exactly one plug-in file");
    HostIdentity identity;
    double rate = 0, idleRate = 0, shotAfter = 0, seconds = 0;
    int64_t block = 0;
    if (!hostIdentityFromArgs(args, identity, error) || !numberOption(args, "rate", 8000, 384000, 44100, rate, error) ||
        !integerOption(args, "block", 16, 8192, 256, block, error) ||
        !numberOption(args, "idle-rate", 1, 200, 30, idleRate, error) ||
        !numberOption(args, "shot-after", 0, 3600, 1.5, shotAfter, error) ||
        !numberOption(args, "seconds", 0, 86400, 0, seconds, error))
        return reportError(kExitUsage, error);
    const bool control = args.has("control");
    const std::string shotPath = args.value("screenshot");

    PluginState state;
    if (args.has("state") && !loadStateFile(args.value("state"), state, error)) return reportError(kExitFailure, error);
    std::unique_ptr<VstPlugin> plugin = VstPlugin::load(args.positional[0], identity, error);
    if (!plugin) return reportError(kExitFailure, error);
    plugin->open();
    if (!plugin->hasFlag(effFlagsHasEditor)) return reportError(kExitFailure, "the plug-in has no editor");
    plugin->setSampleRate(rate);
    plugin->setBlockSize((int32_t)block);
    if (args.has("state") && !applyPluginState(*plugin, state, error)) return reportError(kExitFailure, error);

    LiveAudioOptions ao;
    ao.sampleRate = rate;
    ao.blockSize = (int32_t)block;
    ao.notes = !args.has("no-notes");
    std::unique_ptr<LiveAudio> audio;
    if (!args.has("no-audio")) {
        audio = std::make_unique<LiveAudio>(*plugin, ao);
        if (!audio->start(error)) return reportError(kExitFailure, error);
    } else {
        plugin->resume();
    }

    const std::string name = printable(plugin->dispatchString(effGetEffectName));
    EditorSession session(*plugin, "Tavrolune Host - " + (name.empty() ? std::string("plug-in") : name));
    if (!session.open(error)) {
        if (audio) audio->stop();
        return reportError(kExitFailure, error);
    }
    const int idleMs = std::max(1, (int)std::lround(1000.0 / idleRate));
    Host host{*plugin, session, audio.get(), idleMs, plugin->getAllParameters()};
    std::unique_ptr<CommandReader> reader;
    if (control) {
        reader = std::make_unique<CommandReader>(session);
        std::printf("READY\n");
        std::fflush(stdout);
    } else {
        std::fprintf(stderr, "tavrolune-host: editor of '%s' open; close its window to quit\n", name.c_str());
    }

    int status = kExitOk;
    const auto started = Clock::now();
    auto nextIdle = started;
    bool shotDone = shotPath.empty();
    for (bool quit = false; !quit;) {
        nextIdle += std::chrono::milliseconds(idleMs);
        if (reader) {
            std::string line;
            while (!quit && reader->next(line, nextIdle)) {
                std::printf("%s\n", host.run(line, quit).c_str());
                std::fflush(stdout);
            }
        } else {
            std::this_thread::sleep_until(nextIdle);
        }
        if (Clock::now() > nextIdle + std::chrono::seconds(1)) nextIdle = Clock::now();
        session.idle();
        const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
        if (!shotDone && elapsed >= shotAfter && session.isOpen()) {
            shotDone = true;
            session.window()->sync();
            if (session.window()->screenshot(shotPath, error)) {
                std::fprintf(stderr, "tavrolune-host: wrote %s\n", shotPath.c_str());
            } else {
                status = reportError(kExitFailure, error);
            }
            if (!control && seconds <= 0) quit = true;
        }
        if (session.isOpen() && session.window()->closeRequested()) {
            session.close();
            if (!control) quit = true;
        }
        if (seconds > 0 && elapsed >= seconds) quit = true;
    }
    session.close();
    reader.reset();
    if (audio) {
        audio->stop();
        std::fprintf(stderr, "tavrolune-host: audio: %s\n", audio->summary().c_str());
        if (audio->badSamples() > 0) status = kExitFailure;
    }
    plugin->close();
    return status;
}

}  // namespace tavhost
