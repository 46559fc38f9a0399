#include "HostWindowX11.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <cstdio>
#include <mutex>

namespace tavhost {

namespace {

// Errors of requests on windows that vanished (the plug-in's, destroyed with its frame) are
// expected; Xlib's default handler would end the process.
int quietErrors(Display*, XErrorEvent*) { return 0; }

void installOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        XSetErrorHandler(quietErrors);
        // An X server whose last client leaves resets itself, and refuses a connection made
        // meanwhile: between two windows (the host's and the editor's both closed) the
        // next one could find no display. This connection stays open until the process ends.
        static const struct Keeper {
            Display* display = XOpenDisplay(nullptr);
            ~Keeper() {
                if (display) XCloseDisplay(display);
            }
        } keeper;
    });
}

int channel(unsigned long v, unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return (int)(((v >> shift) & mask) * 255 / mask);
}

// Windows for the validator's editor checks, when the host has a display.
const bool registered = [] {
    setHostWindowMaker([](int w, int h, std::string& error) -> std::unique_ptr<HostWindow> {
        return X11HostWindow::create(w, h, "Tavrolune Host validate", error);
    });
    return true;
}();

}  // namespace

std::unique_ptr<X11HostWindow> X11HostWindow::create(int width, int height, const std::string& title,
                                                     std::string& error) {
    installOnce();
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        error = "no X display (DISPLAY is not set or the server does not answer)";
        return nullptr;
    }
    std::unique_ptr<X11HostWindow> w(new X11HostWindow());
    w->display_ = d;
    const int screen = DefaultScreen(d);
    width = width < 1 ? 1 : width;
    height = height < 1 ? 1 : height;
    w->window_ = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, (unsigned)width, (unsigned)height, 0,
                                     BlackPixel(d, screen), BlackPixel(d, screen));
    XSelectInput(d, w->window_, StructureNotifyMask);
    XStoreName(d, w->window_, title.c_str());
    w->deleteAtom_ = XInternAtom(d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d, w->window_, &w->deleteAtom_, 1);
    XMapWindow(d, w->window_);
    // The window is on the screen before the plug-in puts its own into it.
    for (;;) {
        XEvent e;
        XWindowEvent(d, w->window_, StructureNotifyMask, &e);
        if (e.type == MapNotify) break;
    }
    return w;
}

X11HostWindow::~X11HostWindow() {
    if (!display_) return;
    XDestroyWindow(display_, window_);
    XSync(display_, False);
    XCloseDisplay(display_);
}

void X11HostWindow::pump() {
    while (XPending(display_) > 0) {
        XEvent e;
        XNextEvent(display_, &e);
        if (e.type == ClientMessage && (Atom)e.xclient.data.l[0] == deleteAtom_) closeRequested_ = true;
        if (e.type == DestroyNotify && e.xdestroywindow.window == window_) closeRequested_ = true;
    }
}

void X11HostWindow::resize(int width, int height) {
    XResizeWindow(display_, window_, (unsigned)(width < 1 ? 1 : width), (unsigned)(height < 1 ? 1 : height));
    XFlush(display_);
}

void X11HostWindow::sync() { XSync(display_, False); }

Window X11HostWindow::child() {
    Window root = 0, parent = 0, found = 0;
    Window* kids = nullptr;
    unsigned int n = 0;
    if (XQueryTree(display_, window_, &root, &parent, &kids, &n) && n > 0) found = kids[0];
    if (kids) XFree(kids);
    return found;
}

bool X11HostWindow::describe(int& rootX, int& rootY, int& childX, int& childY, int& childW, int& childH) {
    Window dummy = 0;
    if (!XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &rootX, &rootY, &dummy))
        return false;
    childX = childY = childW = childH = 0;
    const Window c = child();
    if (!c) return true;
    XWindowAttributes a;
    if (!XGetWindowAttributes(display_, c, &a)) return true;
    childX = a.x;
    childY = a.y;
    childW = a.width;
    childH = a.height;
    return true;
}

bool X11HostWindow::capture(std::vector<uint32_t>& rgb, int& width, int& height) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(display_, window_, &a)) return false;
    XImage* img = XGetImage(display_, window_, 0, 0, (unsigned)a.width, (unsigned)a.height, AllPlanes, ZPixmap);
    if (!img) return false;
    width = a.width;
    height = a.height;
    rgb.assign((size_t)width * (size_t)height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long v = XGetPixel(img, x, y);
            rgb[(size_t)y * (size_t)width + (size_t)x] = (uint32_t)channel(v, img->red_mask) << 16 |
                                                         (uint32_t)channel(v, img->green_mask) << 8 |
                                                         (uint32_t)channel(v, img->blue_mask);
        }
    XDestroyImage(img);
    return true;
}

bool X11HostWindow::screenshot(const std::string& path, std::string& error) {
    std::vector<uint32_t> rgb;
    int w = 0, h = 0;
    if (!capture(rgb, w, h)) {
        error = "the server gave no image of the window";
        return false;
    }
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *reinterpret_cast<uint32_t*>(data + y * stride + x * 4) = rgb[(size_t)y * (size_t)w + (size_t)x];
    cairo_surface_mark_dirty(s);
    // Written beside the target and renamed, so a reader never sees half a picture.
    const std::string temp = path + ".tmp";
    const bool ok = cairo_surface_write_to_png(s, temp.c_str()) == CAIRO_STATUS_SUCCESS &&
                    std::rename(temp.c_str(), path.c_str()) == 0;
    cairo_surface_destroy(s);
    if (!ok) {
        std::remove(temp.c_str());
        error = "cannot write " + path;
    }
    return ok;
}

bool X11HostWindow::click(int x, int y, int button) {
    const Window target = child();
    if (!target) return false;
    for (int type : {ButtonPress, ButtonRelease}) {
        XEvent e{};
        e.xbutton.type = type;
        e.xbutton.display = display_;
        e.xbutton.window = target;
        e.xbutton.root = DefaultRootWindow(display_);
        e.xbutton.x = x;
        e.xbutton.y = y;
        e.xbutton.button = (unsigned)button;
        e.xbutton.same_screen = True;
        e.xbutton.time = CurrentTime;
        if (type == ButtonRelease) e.xbutton.state = Button1Mask << (button - 1);
        XSendEvent(display_, target, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &e);
    }
    XSync(display_, False);
    return true;
}

bool X11HostWindow::key(const std::string& keysym) {
    const Window target = child();
    const KeySym sym = XStringToKeysym(keysym.c_str());
    if (!target || sym == NoSymbol) return false;
    for (int type : {KeyPress, KeyRelease}) {
        XEvent e{};
        e.xkey.type = type;
        e.xkey.display = display_;
        e.xkey.window = target;
        e.xkey.root = DefaultRootWindow(display_);
        e.xkey.keycode = XKeysymToKeycode(display_, sym);
        e.xkey.same_screen = True;
        e.xkey.time = CurrentTime;
        XSendEvent(display_, target, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &e);
    }
    XSync(display_, False);
    return true;
}

void X11HostWindow::destroyElsewhere(unsigned long window) {
    installOnce();
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    XDestroyWindow(d, (Window)window);
    XSync(d, False);
    XCloseDisplay(d);
}

}  // namespace tavhost
