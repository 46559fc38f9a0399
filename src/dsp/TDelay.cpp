#include "dsp/TDelay.h"

#include <cmath>
#include <cstring>

#include <emmintrin.h>

namespace {

constexpr float kDenormal = 1e-15f;
constexpr double kReadDistance = 100.0;  // one delay length in time units
constexpr int kFreshEntries = 51;        // a zeroed history holds 51 entries at time 0
// The write time grows without bound; long before double precision would blur the
// interpolation, every stored time and the write time are moved back by a power of two
// (an exact subtraction), which changes no difference between times.
constexpr double kRebaseAbove = 16777216.0;  // 2^24
constexpr double kRebaseBy = 8388608.0;      // 2^23

}  // namespace

const float TDelay::DELAY_LEN_ARRAY[TDelay::kDelayLenCount] = {
    1.0f / 48.0f, 1.0f / 32.0f, 3.0f / 64.0f, 1.0f / 24.0f, 1.0f / 16.0f,
    3.0f / 32.0f, 1.0f / 12.0f, 1.0f / 8.0f,  3.0f / 16.0f, 1.0f / 6.0f,
    1.0f / 4.0f,  3.0f / 8.0f,  1.0f / 3.0f,  1.0f / 2.0f,  3.0f / 4.0f,
};

// --- history -------------------------------------------------------------------------

// Zeroed: every page of the history is written here, when the plug-in is made, not first
// on the audio thread; on large pages, its 8 MB take five page faults rather than 2,049.
TDelay::History::History() : data(largepages::makeZeroed<Entry>(kHistoryCapacity)) {}

void TDelay::History::reserve(int more) {
    const int need = count + more;
    if (need > ring) {
        if (ring == kHistoryCapacity) return;  // all of it: a push drops the oldest
        // (Powers of two up to half the storage, then all of it: a ring short of all of it
        // is at most half of it, so the entries up to head + count, less than twice the old
        // ring, fit in the new one.)
        int grown = ring;
        while (grown < need && grown < kHistoryCapacity)
            grown = 2 * grown > kHistoryCapacity / 2 ? kHistoryCapacity : 2 * grown;
        const int wrapped = head + count - ring;
        if (wrapped > 0) std::memcpy(&data[ring], &data[0], sizeof(Entry) * (size_t)wrapped);
        ring = grown;
    } else if (ring > kFirstRing && 4 * need <= ring && head + count <= ring / 2) {
        ring /= 2;
    }
}

__attribute__((always_inline)) inline void TDelay::History::pushAt(Entry* d, int ring, int& h, int& n,
                                                                   double time, double value) {
    // Full (only a ring of all the storage is: reserve gives the others room): the oldest
    // entry goes.
    if (n == ring) {
        if (++h == ring) h = 0;
        --n;
    }
    int pos = h + n;
    if (pos >= ring) pos -= ring;
    d[pos].time = time;
    d[pos].value = value;
    ++n;
}

void TDelay::History::pushBack(double time, double value) {
    pushAt(data.get(), ring, head, count, time, value);
}

void TDelay::History::popFront() {
    if (count == 0) return;
    if (++head == ring) head = 0;
    --count;
}

__attribute__((always_inline)) inline void TDelay::History::readAt(const Entry* d, int ring, int& h,
                                                                   int& n, double r, float& v) {
    int next = h + 1 == ring ? 0 : h + 1;
    while (n >= 3 && r >= d[next].time) {
        h = next;
        next = h + 1 == ring ? 0 : h + 1;
        --n;
    }
    if (n < 3) return;
    const Entry& e0 = d[h];
    const Entry& e1 = d[next];
    const double span = e1.time - e0.time;
    double x;
    if (span > 0.0) {
        double frac = (r - e0.time) / span;
        // The read never runs ahead of the oldest entry in normal use; after the oldest
        // entries were dropped it holds the oldest value.
        if (frac < 0.0) frac = 0.0;
        x = e0.value + frac * (e1.value - e0.value);
    } else {
        x = e1.value;  // two entries at one time: no division by zero
    }
    v = (float)x;
}

__attribute__((always_inline)) inline void TDelay::History::readAt(double r, float& v) {
    // With the head and count in registers: the read runs every sample on both channels.
    int h = head;
    int n = count;
    readAt(data.get(), ring, h, n, r, v);
    head = h;
    count = n;
}

void TDelay::History::shiftTimes(double offset) {
    for (int i = 0; i < count; ++i) {
        int pos = head + i;
        if (pos >= ring) pos -= ring;
        data[pos].time -= offset;
    }
}

// --- set-up ---------------------------------------------------------------------------

TDelay::TDelay() { init(44100.0f); }

void TDelay::init(float newRate) {
    rate = (newRate >= 1.0f) ? newRate : 44100.0f;
    samplesPerMs = rate / 1000.0f;
    secondsPerSample = 1.0f / rate;
    clear();
}

void TDelay::clear() {
    equalFeed = 0;
    timeSync = 0;
    feedFilterOn = 0;
    busy.store(0, std::memory_order_relaxed);
    zero();
    nominalLen[0] = nominalLen[1] = 100.0f;
    actualLen[0] = actualLen[1] = 1.0f;
    feedback[0] = feedback[1] = 0.0f;
    crossFeedback[0] = crossFeedback[1] = 0.0f;
    lowState[0] = lowState[1] = 0.0f;
    low2State[0] = low2State[1] = 0.0f;
    samplesPerWhole = rate * 240.0f / 120.0f;
    filterA = 0.0f;
    filterB = 0.0f;
    filterOneMinusA = 1.0f;
    filterOneMinusB = 1.0f;
}

void TDelay::zero() {
    if (busy.load(std::memory_order_acquire)) return;
    busy.store(1, std::memory_order_release);
    for (int c = 0; c < 2; ++c) {
        increment[c] = 0.0;
        writeTime[c] = 0.0;
        // A fresh history: 51 zero entries at time 0, so the first read interpolates
        // silence.
        history[c].clear();
        for (int i = 0; i < kFreshEntries; ++i) history[c].pushBack(0.0, 0.0);
    }
    busy.store(0, std::memory_order_release);
}

void TDelay::setTempo(float tempo) {
    if (!(tempo >= 1.0f)) tempo = 1.0f;  // no division by zero, no negative lengths
    samplesPerWhole = rate * 240.0f / tempo;
}

bool TDelay::getStateAndChanged(float v, bool old, bool& changed) {
    const bool state = v > 0.5f;
    changed = old != state;
    return state;
}

bool TDelay::setTimeSync(float v) {
    bool changed = false;
    timeSync = getStateAndChanged(v, timeSync != 0, changed) ? 1 : 0;
    return changed;
}

bool TDelay::setEqual(float v) {
    bool changed = false;
    equalFeed = getStateAndChanged(v, equalFeed != 0, changed) ? 1 : 0;
    return changed;
}

// --- lengths --------------------------------------------------------------------------

float TDelay::lengthFromValue(float v) const {
    if (!(v >= 0.0f)) v = 0.0f;
    if (v > 1.0f) v = 1.0f;
    if (timeSync) {
        int index = (int)(v * 14.99f);
        if (index > kDelayLenCount - 1) index = kDelayLenCount - 1;
        return DELAY_LEN_ARRAY[index] * samplesPerWhole;
    }
    return std::exp2(12.0f * v) * samplesPerMs;  // 1 ms .. 4096 ms
}

void TDelay::computeIncrement(int c) { increment[c] = kReadDistance / (double)actualLen[c]; }

void TDelay::setDelayLen(stereoStruct len, stereoStruct extra, float factor) {
    setDelayLen(len.left, len.right, extra.left, extra.right, factor);
}

void TDelay::setDelayLen(float left, float right, float extraLeft, float extraRight,
                         float factor) {
    const float lens[2] = {left, right};
    const float extras[2] = {extraLeft, extraRight};
    for (int c = 0; c < 2; ++c) {
        nominalLen[c] = clamp(lengthFromValue(lens[c]) + 1.0f, kMinLength, kMaxLength);
        float actual = (extras[c] + nominalLen[c]) * factor;
        if (!(actual >= kMinLength)) actual = kMinLength;  // NaN takes the shortest
        actualLen[c] = actual > kMaxLength ? kMaxLength : actual;
        computeIncrement(c);
    }
}

void TDelay::setDelayLenDirect(stereoStruct len) { setDelayLenDirect(len.left, len.right); }

void TDelay::setDelayLenDirect(float len) { setDelayLenDirect(len, len); }

void TDelay::setDelayLenDirect(float left, float right) {
    const float lens[2] = {left, right};
    for (int c = 0; c < 2; ++c) {
        float v = lens[c];
        if (!(v >= kMinLength)) v = kMinLength;
        if (v > kMaxLength) v = kMaxLength;
        nominalLen[c] = actualLen[c] = v;
        computeIncrement(c);
    }
}

// --- feedback -------------------------------------------------------------------------

void TDelay::setFeed(float feed) {
    const float f = clamp(std::isnan(feed) ? 0.0f : feed, -0.999f, 0.999f);
    feedback[0] = feedback[1] = f;
    crossFeedback[0] = crossFeedback[1] = 0.0f;
}

void TDelay::setFeed(float feed, float cross) {
    if (std::isnan(feed)) feed = 0.0f;
    if (std::isnan(cross)) cross = 0.0f;
    const bool feedOut = feed < -0.999f || feed > 0.999f;
    const bool crossOut = cross < -0.999f || cross > 0.999f;
    const float f = clamp(feed, -0.999f, 0.999f);
    const float c = clamp(cross, -0.999f, 0.999f);
    feedback[0] = feedback[1] = f;
    crossFeedback[0] = crossFeedback[1] = c;

    if (crossOut || !equalFeed || std::fabs(c) > 0.001f) {
        // Scale so that the feedback magnitudes together stay below 1.
        float s = std::fabs(f) + std::fabs(c) + 0.0001f;
        if (s < 1.0f) s = 1.0f;
        feedback[0] = feedback[0] / s + kDenormal;
        feedback[1] = feedback[1] / s + kDenormal;
        crossFeedback[0] = crossFeedback[0] / s + kDenormal;
        crossFeedback[1] = crossFeedback[1] / s + kDenormal;
        return;
    }

    // Equal decay per second: the longer side keeps the feed, the shorter one repeats
    // more often and so takes feed^(short / long).
    crossFeedback[0] = crossFeedback[1] = 0.0f;
    const float g = feedOut ? std::log(0.9991f) : std::log(std::fabs(f) + 0.0001f);
    const float sg = sign(f);
    const int longer = nominalLen[0] > nominalLen[1] ? 0 : 1;  // equal: the left is recomputed
    const int shorter = 1 - longer;
    feedback[longer] = f;
    feedback[shorter] = sg * std::exp(nominalLen[shorter] / (nominalLen[longer] + 1.0f) * g);
}

float TDelay::getFeedFilterFreq(float x) const {
    const float f = 20.0f * std::exp2(10.0f * x) / rate;
    return clamp(std::isnan(f) ? 0.2f : f, 20.0f / rate, 0.2f);
}

void TDelay::setFeedFilter(float low, float high) {
    if (low > 0.999f && high < 0.0001f) {
        feedFilterOn = 0;
        return;
    }
    feedFilterOn = 1;
    filterA = 2.0f * getFeedFilterFreq(low);
    filterB = 2.0f * getFeedFilterFreq(high);
    filterOneMinusA = 1.0f - filterA;
    filterOneMinusB = 1.0f - filterB;
}

float TDelay::doFeedFilter(int c, float x) {
    if (!feedFilterOn) return x;
    // A one-pole low-pass minus a one-pole low-pass of it: a band-pass between them.
    lowState[c] = filterA * x + filterOneMinusA * lowState[c] + kDenormal;
    low2State[c] = filterB * lowState[c] + filterOneMinusB * low2State[c] + kDenormal;
    return lowState[c] - low2State[c];
}

// --- processing -----------------------------------------------------------------------

__attribute__((always_inline)) inline void TDelay::step(stereoStruct in, stereoStruct& out) {
    float y[2] = {0.0f, 0.0f};
    bool filling[2] = {false, false};
    for (int c = 0; c < 2; ++c) {
        History& h = history[c];
        writeTime[c] += increment[c];
        if (writeTime[c] > kRebaseAbove) {
            writeTime[c] -= kRebaseBy;
            h.shiftTimes(kRebaseBy);
        }
        if (writeTime[c] >= kReadDistance) {
            h.readAt(writeTime[c] - kReadDistance, y[c]);
        } else {
            // The first delay length after a reset: nothing to read yet.
            filling[c] = true;
        }
    }

    float w[2];
    for (int c = 0; c < 2; ++c) {
        float v = (c == 0 ? in.left : in.right) + feedback[c] * y[c] +
                  crossFeedback[c] * y[1 - c] + kDenormal;
        if (!(v > -100.0f)) v = (v != v) ? 0.0f : -100.0f;
        if (v > 100.0f) v = 100.0f;
        w[c] = doFeedFilter(c, v);
    }
    for (int c = 0; c < 2; ++c) {
        history[c].reserve(2);
        // While filling, the entry is stored twice at the same time; the read loop drops
        // one of each pair and both hold the same value, so either may be interpolated.
        if (filling[c]) history[c].pushBack(writeTime[c], w[c]);
        history[c].pushBack(writeTime[c], w[c]);
    }
    out.left = y[0];
    out.right = y[1];
}

void TDelay::process(stereoStruct in, stereoStruct& out) {
    out.left = 0.0f;
    out.right = 0.0f;
    if (busy.load(std::memory_order_acquire)) return;
    if (history[0].empty() || history[1].empty()) return;
    step(in, out);
}

// The write time moves on by at most kReadDistance / kMinLength per sample.
constexpr double kMaxIncrement = 100.0 / 5.0;
static_assert(TDelay::kMinLength == 5.0f, "kMaxIncrement follows kMinLength");

void TDelay::runSteady(int n, const stereoStruct* in, const float* lenL, const float* lenR,
                       stereoStruct* out) {
    // A push a sample at most on each channel. Where neither history's end can reach the end
    // of its ring within the run, no index wraps and no push finds it full: the plain loop
    // below.
    for (History& h : history) h.reserve(n);
    const int ring0 = history[0].ring, ring1 = history[1].ring;
    if (history[0].head + history[0].count < ring0 - n && history[1].head + history[1].count < ring1 - n) {
        runSteadyFlat(n, in, lenL, lenR, out);
        return;
    }
    Entry* const d0 = history[0].data.get();
    Entry* const d1 = history[1].data.get();
    int h0 = history[0].head, n0 = history[0].count;
    int h1 = history[1].head, n1 = history[1].count;
    double wt0 = writeTime[0], wt1 = writeTime[1];
    const float fb0 = feedback[0], fb1 = feedback[1];
    const float cf0 = crossFeedback[0], cf1 = crossFeedback[1];
    float len0 = 0.0f, len1 = 0.0f;
    double inc0 = 0.0, inc1 = 0.0;
    auto limit = [](float v) {
        if (!(v > -100.0f)) v = (v != v) ? 0.0f : -100.0f;
        if (v > 100.0f) v = 100.0f;
        return v;
    };
    for (int j = 0; j < n; ++j) {
        // setDelayLenDirect(lenL[j], lenR[j]).
        len0 = lenL[j];
        if (!(len0 >= kMinLength)) len0 = kMinLength;
        if (len0 > kMaxLength) len0 = kMaxLength;
        inc0 = kReadDistance / (double)len0;
        len1 = lenR[j];
        if (!(len1 >= kMinLength)) len1 = kMinLength;
        if (len1 > kMaxLength) len1 = kMaxLength;
        inc1 = kReadDistance / (double)len1;

        float y0 = 0.0f, y1 = 0.0f;
        wt0 += inc0;
        History::readAt(d0, ring0, h0, n0, wt0 - kReadDistance, y0);
        wt1 += inc1;
        History::readAt(d1, ring1, h1, n1, wt1 - kReadDistance, y1);

        const float w0 = limit(in[j].left + fb0 * y0 + cf0 * y1 + kDenormal);
        const float w1 = limit(in[j].right + fb1 * y1 + cf1 * y0 + kDenormal);
        History::pushAt(d0, ring0, h0, n0, wt0, w0);
        History::pushAt(d1, ring1, h1, n1, wt1, w1);
        out[j] = stereoStruct{y0, y1};
    }
    history[0].head = h0;
    history[0].count = n0;
    history[1].head = h1;
    history[1].count = n1;
    writeTime[0] = wt0;
    writeTime[1] = wt1;
    nominalLen[0] = actualLen[0] = len0;
    nominalLen[1] = actualLen[1] = len1;
    increment[0] = inc0;
    increment[1] = inc1;
}

// runSteady's loop with the two channels side by side in the lanes of one register wherever
// they do the same operations (the lengths and increments, the write times, the interpolation,
// the feedback and its limits), each lane doing its channel's operations in their order; only
// the walks over passed entries stay per channel.
void TDelay::runSteadyFlat(int n, const stereoStruct* in, const float* lenL, const float* lenR,
                           stereoStruct* out) {
    Entry* const d0 = history[0].data.get();
    Entry* const d1 = history[1].data.get();
    const Entry* p0 = d0 + history[0].head;
    const Entry* p1 = d1 + history[1].head;
    Entry* end0 = d0 + history[0].head + history[0].count;
    Entry* end1 = d1 + history[1].head + history[1].count;
    ptrdiff_t left0 = end0 - p0, left1 = end1 - p1;
    __m128d wt = _mm_loadu_pd(writeTime);
    // (Pairs of floats, four-byte aligned: 64-bit loads that ask no alignment.)
    const __m128 fb = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(feedback)));
    const __m128 cf = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(crossFeedback)));
    const __m128 minLen = _mm_set1_ps(kMinLength), maxLen = _mm_set1_ps(kMaxLength);
    const __m128d distance = _mm_set1_pd(kReadDistance), zero = _mm_setzero_pd();
    const __m128 denormal = _mm_set1_ps(kDenormal);
    const __m128 low = _mm_set1_ps(-100.0f), high = _mm_set1_ps(100.0f);
    __m128 len = _mm_setzero_ps();
    __m128d inc = _mm_setzero_pd();
    for (int j = 0; j < n; ++j) {
        // setDelayLenDirect(lenL[j], lenR[j]): maxps gives the minimum for NaN too.
        len = _mm_min_ps(_mm_max_ps(_mm_unpacklo_ps(_mm_load_ss(lenL + j), _mm_load_ss(lenR + j)), minLen),
                         maxLen);
        inc = _mm_div_pd(distance, _mm_cvtps_pd(len));
        wt = _mm_add_pd(wt, inc);
        const __m128d r = _mm_sub_pd(wt, distance);
        const double r0 = _mm_cvtsd_f64(r);
        const double r1 = _mm_cvtsd_f64(_mm_unpackhi_pd(r, r));
        // Drop the passed entries while three remain (History::readAt).
        // (left0, left1: the entries from p0, p1 on, kept beside the pointers.)
        for (; left0 >= 3 && r0 >= p0[1].time; --left0) ++p0;
        for (; left1 >= 3 && r1 >= p1[1].time; --left1) ++p1;
        const __m128d a0 = _mm_loadu_pd(&p0[0].time), b0 = _mm_loadu_pd(&p0[1].time);
        const __m128d a1 = _mm_loadu_pd(&p1[0].time), b1 = _mm_loadu_pd(&p1[1].time);
        const __m128d t0 = _mm_unpacklo_pd(a0, a1), v0 = _mm_unpackhi_pd(a0, a1);
        const __m128d t1 = _mm_unpacklo_pd(b0, b1), v1 = _mm_unpackhi_pd(b0, b1);
        const __m128d span = _mm_sub_pd(t1, t0);
        __m128d frac = _mm_div_pd(_mm_sub_pd(r, t0), span);
        frac = _mm_andnot_pd(_mm_cmplt_pd(frac, zero), frac);
        const __m128d x = _mm_add_pd(v0, _mm_mul_pd(frac, _mm_sub_pd(v1, v0)));
        const __m128d spread = _mm_cmpgt_pd(span, zero);
        __m128 y = _mm_cvtpd_ps(_mm_or_pd(_mm_and_pd(spread, x), _mm_andnot_pd(spread, v1)));
        if (__builtin_expect(left0 < 3 || left1 < 3, 0)) {
            // Fewer than three entries: that channel reads nothing.
            const __m128 keep = _mm_castsi128_ps(_mm_setr_epi32(left0 < 3 ? 0 : -1, left1 < 3 ? 0 : -1, 0, 0));
            y = _mm_and_ps(y, keep);
        }

        const __m128 crossed = _mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 2, 0, 1));
        const __m128 feed = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + j)));
        __m128 w = _mm_add_ps(_mm_add_ps(_mm_add_ps(feed, _mm_mul_ps(fb, y)), _mm_mul_ps(cf, crossed)), denormal);
        // Above -100 it stays, else -100 (0 for NaN); then at most 100.
        const __m128 above = _mm_cmpgt_ps(w, low);
        const __m128 floor = _mm_andnot_ps(_mm_cmpunord_ps(w, w), low);
        w = _mm_min_ps(_mm_or_ps(_mm_and_ps(above, w), _mm_andnot_ps(above, floor)), high);
        const __m128d wd = _mm_cvtps_pd(w);
        _mm_storeu_pd(&end0->time, _mm_unpacklo_pd(wt, wd));
        _mm_storeu_pd(&end1->time, _mm_unpackhi_pd(wt, wd));
        ++end0;
        ++end1;
        ++left0;
        ++left1;
        _mm_storel_pi(reinterpret_cast<__m64*>(out + j), y);
    }
    history[0].head = (int)(p0 - d0);
    history[0].count = (int)(end0 - p0);
    history[1].head = (int)(p1 - d1);
    history[1].count = (int)(end1 - p1);
    _mm_storeu_pd(writeTime, wt);
    _mm_storel_pi(reinterpret_cast<__m64*>(nominalLen), len);
    _mm_storel_pi(reinterpret_cast<__m64*>(actualLen), len);
    _mm_storeu_pd(increment, inc);
}

void TDelay::processRun(int n, const stereoStruct* in, const float* lenL, const float* lenR,
                        stereoStruct* out) {
    const bool silent = busy.load(std::memory_order_acquire) || history[0].empty() || history[1].empty();
    // Past the first delay length the write times only grow; below the rebase point by more
    // than the run can add, no rebase falls within it.
    const double steadyBelow = kRebaseAbove - 2.0 * kMaxIncrement * (double)n;
    if (!silent && n > 0 && !feedFilterOn && writeTime[0] >= kReadDistance &&
        writeTime[1] >= kReadDistance && writeTime[0] < steadyBelow && writeTime[1] < steadyBelow) {
        runSteady(n, in, lenL, lenR, out);
        return;
    }
    for (int j = 0; j < n; ++j) {
        setDelayLenDirect(lenL[j], lenR[j]);
        out[j] = stereoStruct{0.0f, 0.0f};
        if (!silent) step(in[j], out[j]);
    }
}
