// Process-wide services of the GUI layer: the UI-thread rule, the detected faults, and the
// millisecond clock that timing (double clicks, tooltips, the editor's idle steps) reads.
#pragma once

#include <cstdint>
#include <functional>

namespace VSTGUI {

// ---- Faults the GUI detects instead of crashing --------------------------------------------

enum class GuiFault {
    kForgetWhileAttached, // the last reference of a view that still has a parent was given back
    kDeleteWhileAttached, // a view that still has a parent was deleted
    kAddAttachedView,     // addView of a view that already has a parent (refused)
    kOffUIThread,         // a GUI call on another thread than the one that opened the window
    kCount
};

// Reports a fault: counts it and hands it to the handler. The default handler prints the
// text on standard error; for kOffUIThread in a debug build it then aborts.
void reportGuiFault(GuiFault fault, const char* what);
uint32_t guiFaultCount(GuiFault fault);
void resetGuiFaultCounts();
// Replaces the handler (nullptr restores the default one).
void setGuiFaultHandler(std::function<void(GuiFault, const char*)> handler);

// ---- The UI thread -----------------------------------------------------------------------

// Records the calling thread as the UI thread (done when a frame or an editor opens).
void recordUIThread();
// Forgets it (the next open records again).
void clearUIThread();
// True on the recorded thread, and when none is recorded.
bool isUIThread();
// Reports kOffUIThread when called on another thread than the recorded one and answers
// false then; GUI entry points do nothing on a wrong thread.
bool checkUIThread(const char* what);

// ---- The clock -----------------------------------------------------------------------------

// Milliseconds of a monotonic clock; tests can drive it.
uint32_t guiTicks();
// From now on guiTicks() returns `ms` until set or advanced again.
void setManualGuiClock(uint32_t ms);
void advanceManualGuiClock(uint32_t ms);
// Back to the system's monotonic clock.
void useSystemGuiClock();

} // namespace VSTGUI
