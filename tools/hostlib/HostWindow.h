// The window a host gives a plug-in's editor. The host library knows no window system; a
// program that has one (tavrolune-host links X11) installs a maker, and the code that opens
// editors (the validator's editor checks) asks for windows through it. Without a maker, or
// without a display, editors are opened without a parent window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavhost {

class HostWindow {
public:
    virtual ~HostWindow() = default;
    // The native window id passed to effEditOpen.
    virtual uintptr_t id() const = 0;
    // Handles the host's own pending window events (resizes, a close from the desktop).
    virtual void pump() = 0;
    // Sets the size of the content area.
    virtual void resize(int width, int height) = 0;
    // Whether the plug-in placed a window of its own inside this one.
    virtual bool hasChild() = 0;
    // Whether the user asked to close the window.
    virtual bool closeRequested() const = 0;
    // What the window shows now (the plug-in's window included), one 0xRRGGBB value per
    // pixel, row by row; false when the window system cannot tell.
    virtual bool capture(std::vector<uint32_t>& /*rgb*/, int& /*width*/, int& /*height*/) { return false; }
};

// Makes a top-level window of the given size; nullptr with the reason when it cannot.
using HostWindowMaker = std::function<std::unique_ptr<HostWindow>(int width, int height, std::string& error)>;

void setHostWindowMaker(HostWindowMaker maker);
// nullptr with a reason when no maker is installed or it failed.
std::unique_ptr<HostWindow> makeHostWindow(int width, int height, std::string& error);
bool hostWindowsAvailable();

}  // namespace tavhost
