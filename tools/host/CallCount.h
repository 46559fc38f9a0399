// What the heap and lock counters (AllocCount.cpp, LockCount.cpp) share: while above zero,
// the calling thread's calls are not counted (the host's callback runs inside a plug-in call).
#pragma once

extern thread_local int tavhostCountPause;
