#include "dsp/TBasicReverb.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float kRefRate = 44100.0f;
// Keeps the comb states out of the denormal range when the input falls silent.
constexpr float kDenormal = 1e-15f;

// A length in samples truncated into 0..limit before the conversion (NaN gives 0).
int32_t saturateLength(float len, int32_t limit) {
    if (!(len > 0.0f)) return 0;
    if (len >= (float)limit) return limit;
    return (int32_t)len;
}

}  // namespace

// Comb lengths at 44100 Hz (left; the right channel is 23 samples longer).
const int TBasicReverb::kCombBase[2][kCombsPerSide] = {
    {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617, 1680, 1046},
    {1139, 1211, 1300, 1379, 1445, 1514, 1580, 1640, 1703, 1069},
};
const int TBasicReverb::kAllpassBase[2][kAllpassStages] = {
    {556, 441, 341, 225},
    {579, 464, 364, 248},
};

// --- TComb ----------------------------------------------------------------------------

void TComb::clear() {
    row = 0;
    for (int j = 0; j < kCombs; ++j) {
        offset[j] = 1;
        state[j] = 0.0f;
    }
    std::memset(lines, 0, sizeof(lines));
}

void TComb::setSize(const int32_t lengths[kCombs]) {
    for (int j = 0; j < kCombs; ++j) {
        int32_t len = lengths[j];
        if (len > kRowMask) len = kRowMask;
        // A length of 0 (or less) reads the previous row, as a length of 1.
        offset[j] = len <= 0 ? kRowMask : kRows - len;
    }
}

int32_t TComb::getLength(int comb) const {
    if (comb < 0 || comb >= kCombs) return 0;
    return kRows - offset[comb];
}

void TComb::update(float inL, float tap1, float tap3, float inR, float tap2, float tap4,
                   float damp, float room, float& a, float& b, float& c, float& d) {
    row = (row + 1) & kRowMask;
    const float oneMinusDamp = 1.0f - damp;
    // Inputs per comb: bank A left even inL / odd tap1; A right even tap2 / odd inR;
    // bank B left even inL / odd tap3; B right even tap4 / odd inR.
    const float evenIn[4] = {inL, tap2, inL, tap4};
    const float oddIn[4] = {tap1, inR, tap3, inR};
    float sums[4];
    for (int side = 0; side < 4; ++side) {
        float sum = 0.0f;
        const int first = side * 10;
        for (int k = 0; k < 10; ++k) {
            const int j = first + k;
            float* line = lines[j];
            const float v = line[(row + offset[j]) & kRowMask];
            state[j] = state[j] * damp + v * oneMinusDamp + kDenormal;
            line[row] = state[j] * room + ((k & 1) ? oddIn[side] : evenIn[side]);
            sum += v;
        }
        sums[side] = sum;
    }
    a = sums[0];
    b = sums[1];
    c = sums[2];
    d = sums[3];
}

// --- TAllpass -------------------------------------------------------------------------

void TAllpass::init(int newLength) {
    if (newLength < 1) newLength = 1;
    if (newLength > kMaxLength) newLength = kMaxLength;
    length = newLength;
    feedback = 0.5f;
    clear();
}

void TAllpass::clear() {
    pos[0] = pos[1] = 0;
    std::memset(line, 0, sizeof(line));
}

float TAllpass::process(int signal, float x) {
    int32_t& p = pos[signal];
    if (++p >= length) p = 0;
    float* l = line[signal];
    const float y = l[p];
    l[p] = feedback * y + x + 1e-8f;
    return y - x;
}

// --- TBasicReverb ---------------------------------------------------------------------

TBasicReverb::TBasicReverb() {
    comb_.clear();
    for (TAllpass& ap : allpass) ap.init(1);
    create();
}

void TBasicReverb::create() {
    rate = kRefRate;
    room = 0.9099097f;
    damp = 0.275f;
    update();
    init();
    ringPos = 0;
    for (int32_t& w : widenOffset) w = 0;
    std::memset(ring, 0, sizeof(ring));
}

void TBasicReverb::init() {
    const float k = rate / kRefRate;
    for (int bank = 0; bank < 2; ++bank)
        for (int j = 0; j < kCombsPerSide; ++j) lengthFactor[bank][j] = 1.0f;
    int32_t lengths[TComb::kCombs];
    for (int bank = 0; bank < 2; ++bank)
        for (int ch = 0; ch < 2; ++ch)
            for (int j = 0; j < kCombsPerSide; ++j)
                lengths[bank * 20 + ch * 10 + j] =
                    saturateLength(kCombBase[ch][j] * k + 0.5f, TComb::kRowMask);
    comb_.setSize(lengths);
    for (int i = 0; i < 4; ++i) lowState[i] = highState[i] = 0.0f;
    for (int ch = 0; ch < 2; ++ch)
        for (int s = 0; s < kAllpassStages; ++s)
            allpass[ch * kAllpassStages + s].init(
                saturateLength(kAllpassBase[ch][s] * k + 0.5f, TAllpass::kMaxLength));
    mute();
}

void TBasicReverb::setSampleRate(float newRate) {
    if (!(newRate >= 1.0f)) return;
    if (std::fabs(newRate - rate) < 0.0001f) return;
    rate = newRate;
    init();
}

void TBasicReverb::mute() {
    // clear() also resets the write row and the comb states; the lengths stay.
    int32_t lengths[TComb::kCombs];
    for (int j = 0; j < TComb::kCombs; ++j) lengths[j] = comb_.getLength(j);
    comb_.clear();
    comb_.setSize(lengths);
    for (int i = 0; i < 4; ++i) lowState[i] = highState[i] = 0.0f;
    for (TAllpass& ap : allpass) ap.clear();
    std::memset(ring, 0, sizeof(ring));
    ringPos = 0;
}

void TBasicReverb::update() {
    dampLane = damp;
    oneMinusDampLane = 1.0f - damp;
    roomLane = room;
}

void TBasicReverb::setRoomSize(float x) {
    if (!(x >= 0.0f)) x = 0.0f;
    if (x > 1.0f) x = 1.0f;
    room = std::log10(20.0f * x + 1.0f) * 0.249579f + 0.65f;
    update();
}

void TBasicReverb::setDamp(float x) {
    if (!(x >= 0.0f)) x = 0.0f;
    if (x > 1.0f) x = 1.0f;
    damp = 0.55f * x;
    update();
}

void TBasicReverb::setWiden(int t0, int t1, int t2, int t3) {
    const int taps[4] = {t0, t1, t2, t3};
    for (int i = 0; i < 4; ++i) {
        int t = taps[i];
        if (t < 0) t = 0;
        if (t > kRingMask) t = kRingMask;
        widenOffset[i] = kRingMask - t;
    }
}

void TBasicReverb::setMod(float a, float b, float c, float d) {
    for (int j = 0; j < kCombsPerSide; ++j) {
        lengthFactor[0][j] = (j & 1) ? b : a;
        lengthFactor[1][j] = (j & 1) ? d : c;
    }
}

void TBasicReverb::setSize(float sizeA, float sizeB) {
    const float sizes[2] = {sizeA, sizeB};
    int32_t lengths[TComb::kCombs];
    for (int bank = 0; bank < 2; ++bank) {
        const float scale = sizes[bank] * rate / kRefRate;
        for (int ch = 0; ch < 2; ++ch)
            for (int j = 0; j < kCombsPerSide; ++j) {
                const float len = scale * (float)kCombBase[ch][j] * lengthFactor[bank][j] + 0.5f;
                lengths[bank * 20 + ch * 10 + j] = saturateLength(len, TComb::kRowMask);
            }
    }
    comb_.setSize(lengths);
}

void TBasicReverb::setFilter(float low, float high) {
    const float fl = 20.0f * std::exp2(10.0f * low) / rate;
    const float fh = 20.0f * std::exp2(10.0f * high) / rate;
    float a = fl > 0.3f ? 0.6f : 2.0f * fl;
    if (a > 0.59f) a = 1.0f;  // low-pass fully open
    float b = fh > 0.3f ? 0.6f : 2.0f * fh;
    if (b < 0.01f) b = 0.0f;  // high-pass off
    if (!(a >= 0.0f)) a = 1.0f;
    if (!(b >= 0.0f)) b = 0.0f;
    filterA = a;
    filterB = b;
    filterOneMinusA = 1.0f - a;
    filterOneMinusB = 1.0f - b;
}

void TBasicReverb::process(float inL, float inR, float& o1, float& o2, float& o3, float& o4) {
    ringPos = (ringPos + 1) & kRingMask;
    ring[0][ringPos] = inL;
    ring[1][ringPos] = inR;
    const float tap1 = ring[0][(ringPos + widenOffset[0]) & kRingMask];
    const float tap2 = ring[1][(ringPos + widenOffset[1]) & kRingMask];
    const float tap3 = ring[0][(ringPos + widenOffset[2]) & kRingMask];
    const float tap4 = ring[1][(ringPos + widenOffset[3]) & kRingMask];

    float sums[4];
    comb_.update(inL, tap1, tap3, inR, tap2, tap4, dampLane, roomLane, sums[0], sums[1],
                 sums[2], sums[3]);
    for (int i = 0; i < 4; ++i) {
        lowState[i] = lowState[i] * filterOneMinusA + sums[i] * filterA;
        highState[i] = highState[i] * filterOneMinusB + lowState[i] * filterB;
        sums[i] = lowState[i] - highState[i];
    }
    // Sums: A left, A right, B left, B right. Left chain: stages 0..3, right: 4..7; each
    // stage's signal 0 is bank A, signal 1 bank B.
    float aL = sums[0], aR = sums[1], bL = sums[2], bR = sums[3];
    for (int s = 0; s < kAllpassStages; ++s) {
        aL = allpass[s].process(0, aL);
        bL = allpass[s].process(1, bL);
        aR = allpass[kAllpassStages + s].process(0, aR);
        bR = allpass[kAllpassStages + s].process(1, bR);
    }
    o1 = aL * 0.025f;
    o2 = aR * 0.025f;
    o3 = bL * 0.025f;
    o4 = bR * 0.025f;
}
