#pragma once
// Libraries such as fontconfig keep caches of their own until the process exits; the calls
// that fill them are bracketed with these so LeakSanitizer does not report them as ours.
#if defined(__SANITIZE_ADDRESS__) && __has_include(<sanitizer/lsan_interface.h>)
#include <sanitizer/lsan_interface.h>
#define TAV_LSAN_DISABLE() __lsan_disable()
#define TAV_LSAN_ENABLE() __lsan_enable()
#else
#define TAV_LSAN_DISABLE() ((void)0)
#define TAV_LSAN_ENABLE() ((void)0)
#endif
