#include "gui/X11Window.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

namespace VSTGUI {

namespace x11 {

namespace {
int gTrapDepth = 0;
int gTrapError = 0;

int trapHandler(Display*, XErrorEvent* e) {
    gTrapError = e->error_code;
    return 0;
}
} // namespace

ErrorTrap::ErrorTrap(Display* d) : display(d), previous(nullptr) {
    XSync(display, False);
    if (gTrapDepth++ == 0) {
        gTrapError = 0;
        previous = XSetErrorHandler(trapHandler);
    }
}

ErrorTrap::~ErrorTrap() {
    XSync(display, False);
    if (--gTrapDepth == 0) XSetErrorHandler(previous);
}

bool ErrorTrap::failed() {
    XSync(display, False);
    return gTrapError != 0;
}

ImageBlitter::ImageBlitter(Display* display, Visual* visual, int depth)
    : display(display), visual(visual), depth(depth) {
    directOk = visual && (visual->c_class == TrueColor) && (depth == 24 || depth == 32) &&
               visual->red_mask == 0xff0000 && visual->green_mask == 0x00ff00 && visual->blue_mask == 0x0000ff;
}

void ImageBlitter::put(Drawable drawable, int drawableW, int drawableH, cairo_surface_t* image, int x, int y, int w,
                       int h) {
    if (!image || w <= 0 || h <= 0) return;
    cairo_surface_flush(image);
    const int iw = cairo_image_surface_get_width(image);
    const int ih = cairo_image_surface_get_height(image);
    if (x < 0) {
        w += x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        y = 0;
    }
    if (x + w > iw) w = iw - x;
    if (y + h > ih) h = ih - y;
    if (w <= 0 || h <= 0) return;
    if (directOk) {
        XImage* xi = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                  reinterpret_cast<char*>(cairo_image_surface_get_data(image)), static_cast<unsigned>(iw),
                                  static_cast<unsigned>(ih), 32, cairo_image_surface_get_stride(image));
        if (!xi) return;
        // cairo's pixels are 32-bit words in the machine's byte order.
        const uint32_t probe = 1;
        xi->byte_order = *reinterpret_cast<const unsigned char*>(&probe) == 1 ? LSBFirst : MSBFirst;
        GC gc = XCreateGC(display, drawable, 0, nullptr);
        XPutImage(display, drawable, gc, xi, x, y, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
        XFreeGC(display, gc);
        xi->data = nullptr; // cairo's
        XDestroyImage(xi);
    } else {
        cairo_surface_t* target = cairo_xlib_surface_create(display, drawable, visual, drawableW, drawableH);
        cairo_t* cr = cairo_create(target);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, image, 0, 0);
        cairo_rectangle(cr, x, y, w, h);
        cairo_fill(cr);
        cairo_destroy(cr);
        cairo_surface_flush(target);
        cairo_surface_destroy(target);
    }
    XFlush(display);
}

CButtonState buttonStateOf(unsigned int state) {
    int32_t s = 0;
    if (state & Button1Mask) s |= kLButton;
    if (state & Button2Mask) s |= kMButton;
    if (state & Button3Mask) s |= kRButton;
    if (state & ShiftMask) s |= kShift;
    if (state & ControlMask) s |= kControl;
    if (state & Mod1Mask) s |= kAlt;
    if (state & Mod4Mask) s |= kApple;
    return CButtonState(s);
}

namespace {

unsigned char modifiersOf(unsigned int state) {
    unsigned char m = 0;
    if (state & ShiftMask) m |= MODIFIER_SHIFT;
    if (state & ControlMask) m |= MODIFIER_CONTROL;
    if (state & Mod1Mask) m |= MODIFIER_ALTERNATE;
    if (state & Mod4Mask) m |= MODIFIER_COMMAND;
    return m;
}

struct KeyMap {
    KeySym sym;
    unsigned char virt;
    char character;
};

const KeyMap kKeys[] = {
    {XK_BackSpace, VKEY_BACK, 0},     {XK_Tab, VKEY_TAB, 0},           {XK_ISO_Left_Tab, VKEY_TAB, 0},
    {XK_Clear, VKEY_CLEAR, 0},        {XK_Return, VKEY_RETURN, 0},     {XK_Pause, VKEY_PAUSE, 0},
    {XK_Escape, VKEY_ESCAPE, 0},      {XK_space, VKEY_SPACE, ' '},     {XK_End, VKEY_END, 0},
    {XK_Home, VKEY_HOME, 0},          {XK_Left, VKEY_LEFT, 0},         {XK_Up, VKEY_UP, 0},
    {XK_Right, VKEY_RIGHT, 0},        {XK_Down, VKEY_DOWN, 0},         {XK_Page_Up, VKEY_PAGEUP, 0},
    {XK_Page_Down, VKEY_PAGEDOWN, 0}, {XK_Select, VKEY_SELECT, 0},     {XK_Print, VKEY_PRINT, 0},
    {XK_KP_Enter, VKEY_ENTER, 0},     {XK_Insert, VKEY_INSERT, 0},     {XK_Delete, VKEY_DELETE, 0},
    {XK_Help, VKEY_HELP, 0},          {XK_KP_0, VKEY_NUMPAD0, '0'},    {XK_KP_1, VKEY_NUMPAD1, '1'},
    {XK_KP_2, VKEY_NUMPAD2, '2'},     {XK_KP_3, VKEY_NUMPAD3, '3'},    {XK_KP_4, VKEY_NUMPAD4, '4'},
    {XK_KP_5, VKEY_NUMPAD5, '5'},     {XK_KP_6, VKEY_NUMPAD6, '6'},    {XK_KP_7, VKEY_NUMPAD7, '7'},
    {XK_KP_8, VKEY_NUMPAD8, '8'},     {XK_KP_9, VKEY_NUMPAD9, '9'},    {XK_KP_Multiply, VKEY_MULTIPLY, '*'},
    {XK_KP_Add, VKEY_ADD, '+'},       {XK_KP_Separator, VKEY_SEPARATOR, ','}, {XK_KP_Subtract, VKEY_SUBTRACT, '-'},
    {XK_KP_Decimal, VKEY_DECIMAL, '.'}, {XK_KP_Divide, VKEY_DIVIDE, '/'}, {XK_KP_Home, VKEY_HOME, 0},
    {XK_KP_End, VKEY_END, 0},         {XK_KP_Left, VKEY_LEFT, 0},      {XK_KP_Right, VKEY_RIGHT, 0},
    {XK_KP_Up, VKEY_UP, 0},           {XK_KP_Down, VKEY_DOWN, 0},      {XK_KP_Page_Up, VKEY_PAGEUP, 0},
    {XK_KP_Page_Down, VKEY_PAGEDOWN, 0}, {XK_KP_Insert, VKEY_INSERT, 0}, {XK_KP_Delete, VKEY_DELETE, 0},
    {XK_F1, VKEY_F1, 0},              {XK_F2, VKEY_F2, 0},             {XK_F3, VKEY_F3, 0},
    {XK_F4, VKEY_F4, 0},              {XK_F5, VKEY_F5, 0},             {XK_F6, VKEY_F6, 0},
    {XK_F7, VKEY_F7, 0},              {XK_F8, VKEY_F8, 0},             {XK_F9, VKEY_F9, 0},
    {XK_F10, VKEY_F10, 0},            {XK_F11, VKEY_F11, 0},           {XK_F12, VKEY_F12, 0},
    {XK_Num_Lock, VKEY_NUMLOCK, 0},   {XK_Scroll_Lock, VKEY_SCROLL, 0}, {XK_Shift_L, VKEY_SHIFT, 0},
    {XK_Shift_R, VKEY_SHIFT, 0},      {XK_Control_L, VKEY_CONTROL, 0}, {XK_Control_R, VKEY_CONTROL, 0},
    {XK_Alt_L, VKEY_ALT, 0},          {XK_Alt_R, VKEY_ALT, 0},         {XK_Meta_L, VKEY_ALT, 0},
    {XK_Meta_R, VKEY_ALT, 0},         {XK_equal, VKEY_EQUALS, '='},
};

} // namespace

VstKeyCode keyCodeOf(XKeyEvent& event) {
    char buf[16];
    KeySym sym = NoSymbol;
    XLookupString(&event, buf, sizeof buf, &sym, nullptr);
    VstKeyCode key = makeVstKeyCode(0, 0, modifiersOf(event.state));
    for (const KeyMap& k : kKeys) {
        if (k.sym == sym) {
            key.virt = k.virt;
            key.character = k.character;
            return key;
        }
    }
    if ((sym >= 0x20 && sym <= 0x7e) || (sym >= 0xa0 && sym <= 0xff))
        key.character = static_cast<VstInt32>(sym); // Latin-1 keysyms are their characters
    else if ((sym & 0xff000000) == 0x01000000)
        key.character = static_cast<VstInt32>(sym & 0x00ffffff); // Unicode keysyms
    return key;
}

} // namespace x11

// ---- X11Window -----------------------------------------------------------------------------

namespace {
constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask |
                            StructureNotifyMask | FocusChangeMask;
}

std::unique_ptr<IPlatformWindow> createX11Window(CFrame* frame, unsigned long parent) {
    return X11Window::create(frame, static_cast<Window>(parent));
}

std::unique_ptr<X11Window> X11Window::create(CFrame* frame, Window parent) {
    if (!frame || parent == 0) return nullptr;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return nullptr;
    std::unique_ptr<X11Window> w(new X11Window(frame, d, parent));
    if (!w->build()) return nullptr;
    return w;
}

X11Window::X11Window(CFrame* frame, Display* display, Window parent)
    : frame(frame), display(display), parent(parent), presenter(this) {}

bool X11Window::build() {
    width = std::max(1, static_cast<int>(frame->getWidth()));
    height = std::max(1, static_cast<int>(frame->getHeight()));
    {
        x11::ErrorTrap trap(display);
        XWindowAttributes pa;
        if (!XGetWindowAttributes(display, parent, &pa) || trap.failed()) return false;
        visual = pa.visual;
        depth = pa.depth;
        XSetWindowAttributes swa;
        swa.event_mask = kEventMask;
        swa.background_pixmap = None;
        swa.border_pixel = 0;
        swa.colormap = pa.colormap;
        window = XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                               depth, InputOutput, visual, CWEventMask | CWBackPixmap | CWBorderPixel | CWColormap,
                               &swa);
        if (trap.failed() || !window) {
            window = 0;
            return false;
        }
        XMapWindow(display, window);
        if (trap.failed()) return false;
        // The host's window on the desktop: climb from the parent to the root's child.
        for (Window w = parent; w && !trap.failed();) {
            Window root = 0, up = 0, *kids = nullptr;
            unsigned n = 0;
            if (!XQueryTree(display, w, &root, &up, &kids, &n)) break;
            if (kids) XFree(kids);
            topLevel = w;
            if (up == root || up == 0) break;
            w = up;
        }
        if (trap.failed()) topLevel = 0;
    }
    backing = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    blitter = std::make_unique<x11::ImageBlitter>(display, visual, depth);
    XFlush(display);
    return cairo_surface_status(backing) == CAIRO_STATUS_SUCCESS;
}

X11Window::~X11Window() {
    hideTooltip();
    if (backing) cairo_surface_destroy(backing);
    if (display) {
        if (window && !gone) {
            x11::ErrorTrap trap(display);
            XDestroyWindow(display, window);
        }
        XSync(display, False);
        XCloseDisplay(display);
    }
}

void* X11Window::getSystemWindow() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }

void X11Window::pumpEvents() {
    if (!display) return;
    while (XPending(display) > 0) {
        XEvent e;
        XNextEvent(display, &e);
        dispatch(e);
        if (!frame->isOpen()) return; // closed by an event's handler
    }
    paint();
}

void X11Window::dispatch(XEvent& e) {
    if (e.xany.window == tooltipWindow && tooltipWindow) {
        if (e.type == Expose && e.xexpose.count == 0) drawTooltip();
        return;
    }
    if (e.xany.window != window) return;
    switch (e.type) {
    case Expose:
        exposed.push_back(CRect(e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width,
                                e.xexpose.y + e.xexpose.height));
        break;
    case ButtonPress: {
        const CPoint p(e.xbutton.x, e.xbutton.y);
        const int32_t mods = x11::buttonStateOf(e.xbutton.state).getModifierState();
        switch (e.xbutton.button) {
        case Button1:
            frame->platformOnMouseDown(p, CButtonState(kLButton | mods));
            break;
        case Button2:
            frame->platformOnMouseDown(p, CButtonState(kMButton | mods));
            break;
        case Button3:
            frame->platformOnMouseDown(p, CButtonState(kRButton | mods));
            break;
        case Button4:
            frame->platformOnMouseWheel(p, 1.f, CButtonState(mods));
            break;
        case Button5:
            frame->platformOnMouseWheel(p, -1.f, CButtonState(mods));
            break;
        default: // horizontal wheels and extra buttons
            break;
        }
        break;
    }
    case ButtonRelease: {
        const CPoint p(e.xbutton.x, e.xbutton.y);
        const int32_t mods = x11::buttonStateOf(e.xbutton.state).getModifierState();
        int32_t b = 0;
        if (e.xbutton.button == Button1) b = kLButton;
        if (e.xbutton.button == Button2) b = kMButton;
        if (e.xbutton.button == Button3) b = kRButton;
        if (b) frame->platformOnMouseUp(p, CButtonState(b | mods));
        break;
    }
    case MotionNotify:
        frame->platformOnMouseMoved(CPoint(e.xmotion.x, e.xmotion.y), x11::buttonStateOf(e.xmotion.state));
        break;
    case EnterNotify:
        frame->platformOnMouseMoved(CPoint(e.xcrossing.x, e.xcrossing.y), x11::buttonStateOf(e.xcrossing.state));
        break;
    case LeaveNotify:
        if (e.xcrossing.mode == NotifyNormal) frame->platformOnMouseExited();
        break;
    case KeyPress:
        frame->platformOnKeyDown(x11::keyCodeOf(e.xkey));
        break;
    case KeyRelease:
        frame->platformOnKeyUp(x11::keyCodeOf(e.xkey));
        break;
    case DestroyNotify:
        if (e.xdestroywindow.window == window) gone = true;
        break;
    default:
        break;
    }
}

void X11Window::handleEventDuringPopup(XEvent& e) {
    if (e.xany.window == window && e.type == Expose) {
        exposed.push_back(CRect(e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width,
                                e.xexpose.y + e.xexpose.height));
        if (e.xexpose.count == 0) paint();
    } else if (e.xany.window == window && e.type == DestroyNotify) {
        gone = true;
    }
}

void X11Window::paint() {
    std::vector<CRect> region = frame->takeInvalidRegion();
    if (gone) return;
    if (!region.empty()) {
        CDrawContext context(backing);
        for (const CRect& r : region) frame->platformDrawRect(&context, r);
        cairo_surface_flush(backing);
        copyToWindow(region);
    }
    if (!exposed.empty()) {
        std::vector<CRect> e;
        e.swap(exposed);
        copyToWindow(e);
    }
}

void X11Window::copyToWindow(const std::vector<CRect>& rects) {
    if (gone || !blitter || rects.empty()) return;
    for (const CRect& r : rects)
        blitter->put(window, width, height, backing, static_cast<int>(r.left), static_cast<int>(r.top),
                     static_cast<int>(r.getWidth()), static_cast<int>(r.getHeight()));
}

bool X11Window::queryPointer(CPoint& where, CButtonState& state) {
    if (gone || !window) return false;
    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    x11::ErrorTrap trap(display);
    const Bool same = XQueryPointer(display, window, &root, &child, &rx, &ry, &wx, &wy, &mask);
    if (trap.failed() || !same) return false;
    where = CPoint(wx, wy);
    state = x11::buttonStateOf(mask);
    return true;
}

void X11Window::takeKeyboardFocus() {
    if (gone || !window) return;
    XWindowAttributes a;
    x11::ErrorTrap trap(display);
    if (XGetWindowAttributes(display, window, &a) && a.map_state == IsViewable)
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
}

// ---- Tooltips --------------------------------------------------------------------------------

void X11Window::showTooltip(const CPoint& frameWhere, const std::string& text) {
    hideTooltip();
    if (gone || text.empty()) return;
    int rx = 0, ry = 0;
    Window child = 0;
    {
        x11::ErrorTrap trap(display);
        XTranslateCoordinates(display, window, DefaultRootWindow(display), static_cast<int>(frameWhere.x),
                              static_cast<int>(frameWhere.y), &rx, &ry, &child);
        if (trap.failed()) return;
    }
    // Measure on an image surface with the same font.
    {
        cairo_surface_t* probe = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
        CDrawContext c(probe);
        c.setFont(kNormalFontSmall);
        tooltipWidth = static_cast<int>(std::ceil(c.getStringWidth(text.c_str()))) + 10;
        cairo_surface_destroy(probe);
    }
    tooltipHeight = static_cast<int>(kNormalFontSmall->getSize()) + 8;
    tooltipText = text;
    const int screenW = DisplayWidth(display, DefaultScreen(display));
    const int screenH = DisplayHeight(display, DefaultScreen(display));
    int x = rx + 4;
    int y = ry + 20;
    if (x + tooltipWidth > screenW) x = std::max(0, screenW - tooltipWidth);
    if (y + tooltipHeight > screenH) y = std::max(0, ry - tooltipHeight - 4);
    const int screen = DefaultScreen(display);
    XSetWindowAttributes swa;
    swa.override_redirect = True;
    swa.event_mask = ExposureMask;
    swa.background_pixel = WhitePixel(display, screen);
    swa.border_pixel = BlackPixel(display, screen);
    tooltipWindow = XCreateWindow(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(tooltipWidth),
                                  static_cast<unsigned>(tooltipHeight), 0, CopyFromParent, InputOutput,
                                  CopyFromParent, CWOverrideRedirect | CWEventMask | CWBackPixel | CWBorderPixel,
                                  &swa);
    tooltipSurface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, tooltipWidth, tooltipHeight);
    XMapRaised(display, tooltipWindow);
    drawTooltip();
}

void X11Window::drawTooltip() {
    if (!tooltipSurface) return;
    CDrawContext c(tooltipSurface, CRect(0, 0, tooltipWidth, tooltipHeight));
    c.setFillColor(CColor(255, 255, 225));
    c.drawRect(CRect(0, 0, tooltipWidth, tooltipHeight), kDrawFilled);
    c.setFrameColor(CColor(118, 118, 118));
    c.drawRect(CRect(0, 0, tooltipWidth, tooltipHeight), kDrawStroked);
    c.setFont(kNormalFontSmall);
    c.setFontColor(kBlackCColor);
    c.drawString(tooltipText.c_str(), CRect(5, 0, tooltipWidth - 5, tooltipHeight), kLeftText);
    const int screen = DefaultScreen(display);
    x11::ImageBlitter(display, DefaultVisual(display, screen), DefaultDepth(display, screen))
        .put(tooltipWindow, tooltipWidth, tooltipHeight, tooltipSurface, 0, 0, tooltipWidth, tooltipHeight);
}

void X11Window::hideTooltip() {
    if (tooltipSurface) {
        cairo_surface_destroy(tooltipSurface);
        tooltipSurface = nullptr;
    }
    if (tooltipWindow) {
        x11::ErrorTrap trap(display);
        XDestroyWindow(display, tooltipWindow);
        tooltipWindow = 0;
    }
    tooltipText.clear();
}

} // namespace VSTGUI
