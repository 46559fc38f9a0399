// The host's own X11 windows: a top-level window per editor, as a host makes it for a
// plug-in, with the desktop's close button, resizing, screenshots of what it shows, and
// synthetic clicks and keys for scripted runs.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>

#include "hostlib/HostWindow.h"

namespace tavhost {

class X11HostWindow : public HostWindow {
public:
    // nullptr with the reason when there is no display.
    static std::unique_ptr<X11HostWindow> create(int width, int height, const std::string& title, std::string& error);
    ~X11HostWindow() override;

    uintptr_t id() const override { return window_; }
    void pump() override;
    void resize(int width, int height) override;
    bool hasChild() override { return child() != 0; }
    bool closeRequested() const override { return closeRequested_; }
    bool capture(std::vector<uint32_t>& rgb, int& width, int& height) override;

    // The plug-in's window inside this one (the first child), or 0.
    Window child();
    // Position on the screen of this window's content and the child's geometry in it.
    bool describe(int& rootX, int& rootY, int& childX, int& childY, int& childW, int& childH);
    // Writes what the window shows (the plug-in's window included) to a PNG file.
    bool screenshot(const std::string& path, std::string& error);
    // Synthetic press and release of a button, or a key, sent to the plug-in's window.
    bool click(int x, int y, int button);
    bool key(const std::string& keysym);
    // Waits until the server has handled every request so far.
    void sync();

    // Destroys a window from another thread through a connection of its own, as a window
    // system running beside a busy UI thread would (the user closed it).
    static void destroyElsewhere(unsigned long window);

private:
    X11HostWindow() = default;
    Display* display_ = nullptr;
    Window window_ = 0;
    Atom deleteAtom_ = 0;
    bool closeRequested_ = false;
};

}  // namespace tavhost
