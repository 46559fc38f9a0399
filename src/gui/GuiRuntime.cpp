#include "gui/GuiRuntime.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/ticks.h"

namespace VSTGUI {

namespace {

std::atomic<uint32_t> gFaultCounts[static_cast<int>(GuiFault::kCount)];

std::mutex& handlerMutex() {
    static std::mutex m;
    return m;
}

std::function<void(GuiFault, const char*)>& handlerSlot() {
    static std::function<void(GuiFault, const char*)> h;
    return h;
}

void defaultHandler(GuiFault fault, const char* what) {
    std::fprintf(stderr, "Tavrolune GUI: %s\n", what ? what : "fault");
#ifndef NDEBUG
    if (fault == GuiFault::kOffUIThread) std::abort();
#else
    (void)fault;
#endif
}

// The UI thread, as the last open recorded it. The audio and automation threads ask whether
// they are it on every parameter change: one atomic load each, no lock, so that no thread
// ever waits on another here.
std::atomic<bool> gHaveUIThread{false};
std::atomic<std::thread::id> gUIThread{std::thread::id()};
static_assert(std::atomic<std::thread::id>::is_always_lock_free, "the UI thread is read without a lock");

std::atomic<bool> gManualClock{false};
std::atomic<uint32_t> gManualTicks{0};

} // namespace

void reportGuiFault(GuiFault fault, const char* what) {
    const int i = static_cast<int>(fault);
    if (i >= 0 && i < static_cast<int>(GuiFault::kCount)) gFaultCounts[i]++;
    std::function<void(GuiFault, const char*)> h;
    {
        std::lock_guard<std::mutex> lock(handlerMutex());
        h = handlerSlot();
    }
    if (h)
        h(fault, what);
    else
        defaultHandler(fault, what);
}

uint32_t guiFaultCount(GuiFault fault) {
    const int i = static_cast<int>(fault);
    return i >= 0 && i < static_cast<int>(GuiFault::kCount) ? gFaultCounts[i].load() : 0;
}

void resetGuiFaultCounts() {
    for (auto& c : gFaultCounts) c = 0;
}

void setGuiFaultHandler(std::function<void(GuiFault, const char*)> handler) {
    std::lock_guard<std::mutex> lock(handlerMutex());
    handlerSlot() = std::move(handler);
}

void recordUIThread() {
    gUIThread.store(std::this_thread::get_id(), std::memory_order_release);
    gHaveUIThread.store(true, std::memory_order_release);
}

void clearUIThread() { gHaveUIThread.store(false, std::memory_order_release); }

bool isUIThread() {
    if (!gHaveUIThread.load(std::memory_order_acquire)) return true;
    return gUIThread.load(std::memory_order_acquire) == std::this_thread::get_id();
}

bool checkUIThread(const char* what) {
    if (isUIThread()) return true;
    char text[256];
    std::snprintf(text, sizeof text, "%s called off the UI thread", what ? what : "GUI call");
    reportGuiFault(GuiFault::kOffUIThread, text);
    return false;
}

uint32_t guiTicks() {
    if (gManualClock) return gManualTicks.load();
    return GetTickCount();
}

void setManualGuiClock(uint32_t ms) {
    gManualTicks = ms;
    gManualClock = true;
}

void advanceManualGuiClock(uint32_t ms) {
    if (!gManualClock) setManualGuiClock(GetTickCount());
    gManualTicks += ms;
}

void useSystemGuiClock() { gManualClock = false; }

} // namespace VSTGUI
