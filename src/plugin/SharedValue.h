// Values the engine reads while other threads write them, as whole relaxed atomic accesses.
#pragma once

// A value shared between threads, loaded and stored whole (no reader sees half a write).
inline float loadValue(const float& f) {
    float v;
    __atomic_load(&f, &v, __ATOMIC_RELAXED);
    return v;
}
inline void storeValue(float& f, float v) { __atomic_store(&f, &v, __ATOMIC_RELAXED); }

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
