// The ribbon controller: parameter 126, moved by the editor's slider or a learned MIDI
// controller, becomes modulation source 111, optionally bipolar, quantised and smoothed. After
// the player lets go it can spring back to its rest position over a tempo-synced time; the
// spring moves the parameter itself, so the slider follows it.
#include <cmath>
#include <cstring>

#include "plugin/uPlugin.h"

namespace {

constexpr int kTagBipolar = 665;
constexpr int kTagSpringTime = 666;
constexpr int kTagQuant = 667;
constexpr int kSrcRibbon = 111;
constexpr int kDestGlobalSpeed = 23;
constexpr int kDestSpringSpeed = 398;
constexpr int kDestSmoothing = 399;
constexpr int kDestRibbonValue = 400;

// Spring-back times in whole notes, per choice of the spring time ("Off", "Instant", ...).
constexpr float RIBBON_SPRING_TIME_ARRAY[18] = {
    0.0f,        0.0f,       1.0f / 48.0f, 1.0f / 32.0f, 3.0f / 64.0f, 1.0f / 24.0f,
    1.0f / 16.0f, 3.0f / 32.0f, 1.0f / 12.0f, 1.0f / 8.0f, 3.0f / 16.0f, 1.0f / 6.0f,
    1.0f / 4.0f,  3.0f / 8.0f,  1.0f / 3.0f,  1.0f / 2.0f, 3.0f / 4.0f,  1.0f,
};

// One less than the number of positions each quantisation choice names.
constexpr float RIBBON_QUANT_DIVIDE[13] = {0, 31, 23, 19, 15, 11, 9, 7, 5, 4, 3, 2, 1};

inline float clampf(float x, float lo, float hi) {
    if (!(x > lo)) return lo;  // NaN too
    return x < hi ? x : hi;
}

// The bits of what the ribbon's step reads: the value parameter, its destination and the
// smoothed value.
struct RibbonBits {
    uint32_t raw, dest;
    uint64_t smoothed;
};

RibbonBits ribbonBits(float raw, float dest, double smoothed) {
    RibbonBits b;
    std::memcpy(&b.raw, &raw, sizeof(b.raw));
    std::memcpy(&b.dest, &dest, sizeof(b.dest));
    std::memcpy(&b.smoothed, &smoothed, sizeof(b.smoothed));
    return b;
}

}  // namespace

int APlugin::getRibbonSpringTime() { return getSteppedValue(kTagSpringTime); }

int APlugin::getRibbonQuant() { return getSteppedValue(kTagQuant); }

// The spring belongs to the audio thread: from the editor while the host processes, the
// change is a request the next block performs.
void APlugin::setRibbbonSpringOff() {
    if (runsNow())
        ribbonSpringOn = 0;
    else
        ribbonSpringRequest.store(kRibbonSpringOffRequest, std::memory_order_release);
}

void APlugin::setRibbonSpringOn() {
    if (runsNow())
        performRibbonSpringOn();
    else
        ribbonSpringRequest.store(kRibbonSpringOnRequest, std::memory_order_release);
}

void APlugin::performRibbonSpringOn() {
    int i = getRibbonSpringTime();
    i = i < 0 ? 0 : (i > 17 ? 17 : i);
    if (i == 0) {
        ribbonSpringSpeed = 0.0;
        ribbonSpringOn = 0;
        return;
    }
    const double rest = getOnOff(kTagBipolar) ? 0.5 : 0.0;
    const double c = getParameter(kRibbonValueTag);
    if (std::fabs(c - rest) < 0.0001) {
        ribbonSpringSpeed = 0.0;
        ribbonSpringOn = 0;
        return;
    }
    ribbonSpringPos = c;
    if (i == 1) {
        ribbonSpringSpeed = c > rest + 1e-10 ? -1.0 : (c < rest - 1e-10 ? 1.0 : 0.0);
    } else {
        const double samplesPerWholeNote = 240.0 * (double)curSampleRate / (tempoD >= 1.0 ? tempoD : 1.0);
        ribbonSpringSpeed = (rest - c) / ((double)RIBBON_SPRING_TIME_ARRAY[i] * samplesPerWholeNote);
    }
    ribbonSpringOn = 1;
}

void APlugin::updateRibbonSettings() {
    ribbonBipolar = getOnOff(kTagBipolar) ? 1 : 0;
    int q = getRibbonQuant();
    q = q < 0 ? 0 : (q > 12 ? 12 : q);
    ribbonQuantIndex = q;
    ribbonQuantDivisor = RIBBON_QUANT_DIVIDE[q];
    // Held to 0..1: below 0 the coefficient would leave 0..1 and the smoother would run away.
    const float k = clampf(modDestGlobal[kDestSmoothing], 0.0f, 1.0f);
    ribbonSmoothCoef = (1.0f - std::exp2(-10.0f * k)) * 0.1f + 0.9f;
    ribbonSettled = 0;
}

void APlugin::runRibbonSample() {
    const auto inputs = [this] {
        return ribbonBits(paramValue[kRibbonValueTag], modDestGlobal[kDestRibbonValue], ribbonSmoothed);
    };
    // With the spring at rest and the settings unchanged (their update clears the flag), the
    // step of a settled ribbon whose inputs stand would be the last one again.
    const auto stands = [this](const RibbonBits& b) {
        return ribbonSettled && !ribbonSpringOn && b.raw == ribbonSettledValue &&
               b.dest == ribbonSettledDest && b.smoothed == ribbonSettledSmoothed;
    };
    // Only the check is inline, the step is out of line.
    if (stands(inputs())) return;
    [this, &inputs, &stands]() __attribute__((noinline)) {
        const double speed = ribbonSpringSpeed;
        if (std::fabs(speed) < 1e-10) {
            ribbonSpringOn = 0;
        } else if (ribbonSpringOn) {
            const double rest = ribbonBipolar ? 0.5 : 0.0;
            double next = ribbonSpringPos +
                          speed * (double)modDestGlobal[kDestSpringSpeed] * (double)modDestGlobal[kDestGlobalSpeed];
            const bool arrived = speed < 0.0 ? !(next > rest) : !(next < rest);
            if (arrived) {
                next = rest;
                ribbonSpringOn = 0;
            }
            ribbonSpringPos = next;
            setParameter(kRibbonValueTag, (float)next);
        }

        const RibbonBits in = inputs();
        if (stands(in)) return;
        const float raw = paramValue[kRibbonValueTag];
        const float dest = modDestGlobal[kDestRibbonValue];
        float v = raw;
        if (ribbonBipolar) v = clampf(2.0f * v - 1.0f, -1.0f, 1.0f);
        if (ribbonQuantIndex != 0) v = std::floor(v * ribbonQuantDivisor + 0.5f) / ribbonQuantDivisor;
        const double k = ribbonSmoothCoef;
        ribbonSmoothed = k * ribbonSmoothed + (1.0 - k) * (double)v;
        const float value = clampf((float)ribbonSmoothed + dest, -1.0f, 1.0f);
        uint64_t nextBits;
        std::memcpy(&nextBits, &ribbonSmoothed, sizeof(nextBits));
        ribbonSettled = !ribbonSpringOn && nextBits == in.smoothed;
        ribbonSettledValue = in.raw;
        ribbonSettledDest = in.dest;
        ribbonSettledSmoothed = nextBits;
        // Nothing else writes the source: while its bits stand, every row already holds them.
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof(bits));
        if (bits == ribbonSourceBits) return;
        ribbonSourceBits = bits;
        setModSrc(kSrcRibbon, value);
    }();
}
