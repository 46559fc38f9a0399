// The place of a frame that has no window: tests, screenshots and benchmarks draw it with
// OffscreenRenderer and feed it events through the frame's platform entry points.
#include "gui/CFrame.h"
#include "gui/MenuPresenter.h"
#include "gui/PlatformWindow.h"

namespace VSTGUI {

namespace {

class OffscreenWindow : public IPlatformWindow {
public:
    explicit OffscreenWindow(CFrame* frame) : frame(frame) {}

    void pumpEvents() override {}
    void paint() override {} // the region stays for OffscreenRenderer::renderInvalid
    void showTooltip(const CPoint&, const std::string& text) override { tooltip = text; }
    void hideTooltip() override { tooltip.clear(); }
    IMenuPresenter* menuPresenter() override { return &dismisser; }
    void* getSystemWindow() const override { return nullptr; }
    bool isOffscreen() const override { return true; }

private:
    CFrame* frame;
    std::string tooltip;
    DismissingMenuPresenter dismisser;
};

} // namespace

std::unique_ptr<IPlatformWindow> createOffscreenWindow(CFrame* frame) {
    return std::make_unique<OffscreenWindow>(frame);
}

} // namespace VSTGUI
