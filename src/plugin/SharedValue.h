// Values the engine reads while other threads write them, as whole relaxed atomic accesses.
#pragma once

#include <cstdint>
#include <cstring>

// A value shared between threads, loaded and stored whole (no reader sees half a write): one
// relaxed 32-bit access straight between memory and a register (the generic atomic load of
// a float goes through a copy on the stack).
typedef uint32_t __attribute__((may_alias)) SharedWord;
inline float loadValue(const float& f) {
    const uint32_t u = __atomic_load_n(reinterpret_cast<const SharedWord*>(&f), __ATOMIC_RELAXED);
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}
inline void storeValue(float& f, float v) {
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    __atomic_store_n(reinterpret_cast<SharedWord*>(&f), u, __ATOMIC_RELAXED);
}

// A value that other threads write while the engine reads it (a parameter's live value): every
// read and every write is one relaxed atomic access, which is a plain move on x86, so the
// engine reads it as it would read a float and computes exactly what it did.
class SharedFloat {
public:
    SharedFloat() = default;
    SharedFloat(const SharedFloat& other) : v_(other) {}
    operator float() const { return loadValue(v_); }
    SharedFloat& operator=(float v) {
        storeValue(v_, v);
        return *this;
    }
    SharedFloat& operator=(const SharedFloat& other) { return *this = static_cast<float>(other); }

private:
    float v_ = 0.0f;
};
static_assert(sizeof(SharedFloat) == sizeof(float), "a shared value is stored as a float");
inline float loadValue(const SharedFloat& f) { return f; }
inline void storeValue(SharedFloat& f, float v) { f = v; }
