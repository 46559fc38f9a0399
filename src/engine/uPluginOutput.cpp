// The last steps of every sample: the scope rings of the three layers, and the output
// stage (brick-wall master filter, master gain, clip, stereo width).
#include <cmath>

#include "plugin/uPlugin.h"

namespace {

constexpr float kClip = 0.99f;
constexpr float kPi = 3.14159265358979f;
constexpr uint32_t kScopeMask = (uint32_t)APlugin::kScopeRingSize - 1u;
// The filter runs at four times the host rate; its cutoff is kept below that rate's
// Nyquist frequency, where the tangent-like coefficient would turn negative and the
// filter unstable (high Brick Filter Frequency settings at low host rates).
constexpr float kMaxBrickAngle = 0.49f * kPi;

}  // namespace

void APlugin::updateMasterFilter() {
    const float v = paramValue[1019];
    float w = 20.0f * kPi * std::exp2(12.0f * v) / (4.0f * curSampleRate);
    if (!(w < kMaxBrickAngle)) w = kMaxBrickAngle;
    if (w < 0.0f) w = 0.0f;
    brickG = std::sin(w) / (std::cos(w) + 0.0015f);
    brickK = 1.0f / (brickG * brickG + brickG + 1.0f);
}

void APlugin::runOutputStage(float& left, float& right) {
    float io[2] = {left, right};
    for (float& x : io)
        if (!std::isfinite(x)) x = 0.0f;

    if (brickFilterOn) {
        const float g = brickG;
        const float k = brickK;
        for (int ch = 0; ch < 2; ++ch) {
            float(&st)[2][2] = brickState[ch];
            const float x = io[ch];
            float sum = 0.0f;
            for (int step = 0; step < 4; ++step) {
                float in = x;
                for (int section = 0; section < 2; ++section) {
                    float& s1 = st[section][0];
                    float& s2 = st[section][1];
                    const float hp = (in - ((1.0f + g) * s1 + s2)) * k;
                    const float t = g * hp;
                    const float bp = s1 + t;
                    const float lp = s2 + g * bp;
                    s1 = bp + t;
                    s2 = lp + g * bp;
                    in = lp;
                }
                sum += in;
            }
            io[ch] = sum * 0.25f + 1e-15f;
        }
    }

    for (float& x : io) {
        x *= mainVolGain;
        if (!std::isfinite(x)) x = 0.0f;
        x = x > kClip ? kClip : (x < -kClip ? -kClip : x);
    }

    float w = 1.0f - modDestGlobal[11];
    w = w < 0.0f ? 0.0f : (w > 1.0f ? 1.0f : w);
    if (w < 1.0f) {
        const float m = (1.0f - w) * (io[0] + io[1]) * 0.5f;
        io[0] = w * io[0] + m;
        io[1] = w * io[1] + m;
    }
    left = io[0];
    right = io[1];
}

void APlugin::captureScopes() {
    const uint32_t pos = sampleCounter & kScopeMask;
    float* ring0 = scopeBuffer;
    float* ring1 = scopeBuffer + kScopeRingSize;
    float* ring2 = scopeBuffer + 2 * kScopeRingSize;
    if (lastVoice < 0 || lastVoice >= kNumVoices || !getIsAnyVoicePlaying()) {
        ring0[pos] = ring1[pos] = ring2[pos] = 0.0f;
        for (int s = 118; s <= 124; ++s) modSrcGlobal[s] = 0.0f;
        return;
    }
    const float* src = modSrcVoice[lastVoice];
    for (int s = 118; s <= 124; ++s) modSrcGlobal[s] = src[s];
    ring0[pos] = src[118];
    ring1[pos] = src[119];
    ring2[pos] = src[121];
}

void APlugin::getWaveDisplay(int ring, int n, float zoom, float* out) {
    if (n <= 0 || !out) return;
    if (ring < 0 || ring >= kNumLayers) {
        for (int i = 0; i < n; ++i) out[i] = 0.5f;
        return;
    }
    const float* data = scopeBuffer + ring * kScopeRingSize;
    const uint32_t counter = sampleCounter;
    const double span = 8.0 * 2048.0 * (double)zoom;
    for (int i = 0; i < n; ++i) {
        // With a single point the newest sample is shown.
        const double fraction = n > 1 ? 1.0 - (double)i / (double)(n - 1) : 0.0;
        double backD = fraction * span;
        if (!(backD < 2147483647.0)) backD = 2147483647.0;
        if (backD < 0.0) backD = 0.0;
        // Counted without sign, so the display keeps working once the sample counter has
        // passed 2^31; only points older than the first rendered sample show the mid line.
        const uint32_t back = (uint32_t)backD;
        if (back >= counter) {
            out[i] = 0.5f;
            continue;
        }
        const float v = data[(counter - 1u - back) & kScopeMask] * 0.5f + 0.5f;
        out[i] = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    }
}
