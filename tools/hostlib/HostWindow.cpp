#include "hostlib/HostWindow.h"

namespace tavhost {

namespace {
HostWindowMaker& maker() {
    static HostWindowMaker m;
    return m;
}
}  // namespace

void setHostWindowMaker(HostWindowMaker m) { maker() = std::move(m); }

bool hostWindowsAvailable() { return static_cast<bool>(maker()); }

std::unique_ptr<HostWindow> makeHostWindow(int width, int height, std::string& error) {
    if (!maker()) {
        error = "this host has no window system";
        return nullptr;
    }
    return maker()(width, height, error);
}

}  // namespace tavhost
