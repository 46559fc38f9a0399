// The comb-and-allpass reverb: decay against room size, muting, rebuilding for a new
// rate, its settings' ranges, a long run of loud noise, and its level and decay at high
// rates (alone and in the start-up program through the offline host).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "dsp/TBasicReverb.h"
#include "test_engine_util.h"

namespace {

struct Out {
    std::vector<float> left, right;
};

// The chain's view: the two banks summed per side.
void run(TBasicReverb& rv, int samples, const std::vector<float>* in, Out* out) {
    for (int i = 0; i < samples; ++i) {
        const float x = (in && i < (int)in->size()) ? (*in)[i] : 0.0f;
        float o1, o2, o3, o4;
        rv.process(x, x, o1, o2, o3, o4);
        if (out) {
            out->left.push_back(o1 + o3);
            out->right.push_back(o2 + o4);
        }
    }
}

void setUp(TBasicReverb& rv, float room, float damp, float size) {
    rv.setRoomSize(room);
    rv.setDamp(damp);
    rv.setFilter(1.0f, 0.0f);
    rv.setWiden(189, 766, 2778, 1818);
    rv.setMod(1.0f, 1.0f, 1.0f, 1.0f);
    rv.setSize(size, 1.1f * size);
}

// Samples from the loudest 1024-sample window until the windowed energy is 40 dB down.
int decayTime(const Out& o) {
    const int w = 1024;
    std::vector<double> e;
    for (std::size_t i = 0; i + w <= o.left.size(); i += w) {
        double s = 0.0;
        for (int k = 0; k < w; ++k) s += (double)o.left[i + k] * o.left[i + k];
        e.push_back(s);
    }
    std::size_t peak = 0;
    for (std::size_t i = 0; i < e.size(); ++i)
        if (e[i] > e[peak]) peak = i;
    for (std::size_t i = peak; i < e.size(); ++i)
        if (e[i] < e[peak] * 1e-4) return (int)((i - peak) * w);
    return (int)(e.size() * w);
}

std::vector<float> noise(int n, uint32_t seed) {
    std::vector<float> v(n);
    for (int i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        v[i] = (float)((int32_t)seed) * 4.656613e-10f;
    }
    return v;
}

}  // namespace

TEST(Reverb, ALargerRoomDecaysLonger) {
    auto small = std::make_unique<TBasicReverb>();
    auto large = std::make_unique<TBasicReverb>();
    setUp(*small, 0.1f, 0.3f, 1.0f);
    setUp(*large, 0.9f, 0.3f, 1.0f);
    std::vector<float> impulse{1.0f};
    Out a, b;
    run(*small, 44100 * 4, &impulse, &a);
    run(*large, 44100 * 4, &impulse, &b);
    const int ta = decayTime(a), tb = decayTime(b);
    EXPECT_GT(ta, 2048);
    EXPECT_GT(tb, 2 * ta);
    // A larger size (longer combs) also lengthens the tail at the same room setting.
    auto sized = std::make_unique<TBasicReverb>();
    setUp(*sized, 0.5f, 0.3f, 2.0f);
    auto unsized = std::make_unique<TBasicReverb>();
    setUp(*unsized, 0.5f, 0.3f, 0.5f);
    Out c, d;
    run(*sized, 44100 * 4, &impulse, &c);
    run(*unsized, 44100 * 4, &impulse, &d);
    EXPECT_GT(decayTime(c), decayTime(d));
}

TEST(Reverb, MuteSilencesAtOnce) {
    auto rv = std::make_unique<TBasicReverb>();
    setUp(*rv, 1.0f, 0.0f, 1.0f);
    std::vector<float> n = noise(20000, 7);
    Out loud;
    run(*rv, 20000, &n, &loud);
    EXPECT_GT(std::fabs(loud.left.back()) + std::fabs(loud.right.back()), 1e-3f);
    rv->mute();
    Out after;
    run(*rv, 20000, nullptr, &after);
    for (std::size_t i = 0; i < after.left.size(); ++i) {
        ASSERT_LT(std::fabs(after.left[i]), 1e-6f) << i;
        ASSERT_LT(std::fabs(after.right[i]), 1e-6f) << i;
    }
}

TEST(Reverb, ARateChangeRebuildsEveryLength) {
    auto rv = std::make_unique<TBasicReverb>();
    EXPECT_EQ(rv->getRate(), 44100.0f);
    EXPECT_EQ(rv->getCombLength(0), 1116);
    EXPECT_EQ(rv->getCombLength(10), 1139);
    EXPECT_EQ(rv->getAllpassLength(0, 0), 556);
    EXPECT_EQ(rv->getAllpassLength(1, 3), 248);
    rv->setSampleRate(48000.0f);
    EXPECT_EQ(rv->getCombLength(0), 1215);
    EXPECT_EQ(rv->getCombLength(20), 1215);  // bank B starts equal to bank A
    EXPECT_EQ(rv->getAllpassLength(0, 0), 605);
    EXPECT_EQ(rv->getAllpassLength(1, 0), 630);
    // The first echo of the comb bank comes later in samples at the higher rate.
    auto first = [](TBasicReverb& r) {
        std::vector<float> impulse{1.0f};
        Out o;
        run(r, 3000, &impulse, &o);
        for (std::size_t i = 0; i < o.left.size(); ++i)
            if (std::fabs(o.left[i]) > 1e-4f) return (int)i;
        return -1;
    };
    auto at44 = std::make_unique<TBasicReverb>();
    setUp(*at44, 0.5f, 0.5f, 1.0f);
    setUp(*rv, 0.5f, 0.5f, 1.0f);
    const int f44 = first(*at44), f48 = first(*rv);
    EXPECT_GT(f44, 0);
    EXPECT_GT(f48, f44);
}

TEST(Reverb, SettingTheSameRateKeepsTheSound) {
    auto rv = std::make_unique<TBasicReverb>();
    setUp(*rv, 0.9f, 0.2f, 1.0f);
    std::vector<float> impulse{1.0f};
    run(*rv, 3000, &impulse, nullptr);
    rv->setSampleRate(44100.00005f);
    rv->setSampleRate(0.5f);  // ignored
    EXPECT_EQ(rv->getRate(), 44100.0f);
    Out o;
    run(*rv, 100, nullptr, &o);
    float sum = 0.0f;
    for (float v : o.left) sum += std::fabs(v);
    EXPECT_GT(sum, 1e-3f);  // still ringing: not rebuilt, not muted
}

TEST(Reverb, AMinuteOfNoiseAtFullRoomStaysBounded) {
    auto rv = std::make_unique<TBasicReverb>();
    setUp(*rv, 1.0f, 0.0f, 4.0f);  // longest combs, most feedback, no damping
    const int second = 44100;
    std::vector<float> n = noise(second, 99);
    double firstEnergy = 0.0, lastEnergy = 0.0;
    float peak = 0.0f;
    for (int s = 0; s < 60; ++s) {
        double energy = 0.0;
        for (int i = 0; i < second; ++i) {
            float o1, o2, o3, o4;
            rv->process(n[i], -n[(i + 777) % second], o1, o2, o3, o4);
            const float l = o1 + o3, r = o2 + o4;
            ASSERT_TRUE(std::isfinite(l) && std::isfinite(r));
            peak = std::max(peak, std::max(std::fabs(l), std::fabs(r)));
            energy += (double)l * l;
        }
        if (s == 20) firstEnergy = energy;
        lastEnergy = energy;
    }
    EXPECT_LT(peak, 50.0f);
    EXPECT_GT(firstEnergy, 0.0);
    // Stationary: once the longest combs have filled (a few seconds), the level stays.
    EXPECT_LT(lastEnergy, 1.5 * firstEnergy);
    EXPECT_GT(lastEnergy, firstEnergy / 1.5);
}

TEST(Reverb, SettingsMapToTheirRanges) {
    auto rv = std::make_unique<TBasicReverb>();
    rv->setRoomSize(0.0f);
    EXPECT_NEAR(rv->getRoom(), 0.65f, 1e-5f);
    rv->setRoomSize(1.0f);
    EXPECT_NEAR(rv->getRoom(), 0.98f, 1e-4f);
    rv->setRoomSize(7.0f);
    EXPECT_NEAR(rv->getRoom(), 0.98f, 1e-4f);
    rv->setDamp(1.0f);
    EXPECT_NEAR(rv->getDamp(), 0.55f, 1e-6f);
    rv->setFilter(1.0f, 0.0f);
    EXPECT_EQ(rv->getFilterLow(), 1.0f);  // open
    EXPECT_EQ(rv->getFilterHigh(), 0.0f); // off
    rv->setSampleRate(96000.0f);
    rv->setFilter(1.0f, 0.0f);
    EXPECT_NEAR(rv->getFilterLow(), 2.0f * 20.0f * 1024.0f / 96000.0f, 1e-5f);
}

TEST(Reverb, LengthsStayInsideTheLinesAtHighRates) {
    auto rv = std::make_unique<TBasicReverb>();
    rv->setSampleRate(192000.0f);
    EXPECT_EQ(rv->getAllpassLength(1, 0), 2521);
    rv->setSize(4.0f, 4.4f);
    for (int j = 0; j < TComb::kCombs; ++j) {
        EXPECT_LE(rv->getCombLength(j), TComb::kRowMask);
        EXPECT_GE(rv->getCombLength(j), 1);
    }
    rv->setSize(1e30f, NAN);
    for (int j = 0; j < TComb::kCombs; ++j) EXPECT_GE(rv->getCombLength(j), 1);
    // Above 192 kHz the all-pass stages keep their longest lengths.
    rv->setSampleRate(400000.0f);
    EXPECT_EQ(rv->getAllpassLength(1, 0), TAllpass::kMaxLength);
    std::vector<float> n = noise(10000, 3);
    rv->setRoomSize(1.0f);
    Out o;
    run(*rv, 10000, &n, &o);
    for (float v : o.left) ASSERT_TRUE(std::isfinite(v));
}

// Where a high rate and a large size ask for combs longer than their lines, the combs are
// shortened in proportion rather than cut at the line's end, where they would share one
// length and add up in phase: the tail keeps its level and its decay time.
TEST(Reverb, HighRatesKeepTheTailsLevelAndDecay) {
    struct Tail {
        double energy, seconds;
    };
    auto tail = [](float rate, float size) {
        auto rv = std::make_unique<TBasicReverb>();
        rv->setSampleRate(rate);
        setUp(*rv, 0.3f, 0.3f, size);
        // A low tone burst: the output low-pass, whose corner follows the rate, leaves it be.
        std::vector<float> burst((std::size_t)(rate * 0.02f));
        for (std::size_t i = 0; i < burst.size(); ++i)
            burst[i] = (float)std::sin(2.0 * 3.141592653589793 * 250.0 * (double)i / rate);
        Out o;
        run(*rv, (int)(rate * 3.0f), &burst, &o);
        // Total energy, and the time by which all but the last 1/1000 of it has come out.
        double e = 0.0;
        for (float v : o.left) e += (double)v * v;
        double rest = e;
        std::size_t i = 0;
        for (; i < o.left.size() && rest > 1e-3 * e; ++i) rest -= (double)o.left[i] * o.left[i];
        return Tail{e / rate, (double)i / rate};
    };
    for (float size : {1.4f, 4.0f}) {
        const Tail ref = tail(48000.0f, size);
        for (float rate : {192000.0f, 384000.0f, 500000.0f}) {
            const Tail t = tail(rate, size);
            EXPECT_NEAR(10.0 * std::log10(t.energy / ref.energy), 0.0, 3.0) << rate << " Hz, size " << size;
            EXPECT_NEAR(t.seconds / ref.seconds, 1.0, 0.15) << rate << " Hz, size " << size;
        }
    }
}

// The start-up program (Mod FX and reverb on) through the offline host: a note held for
// 0.5 s and released stays below the clip at every rate, and its release tail has the
// level it has at 48 kHz and dies away.
TEST(Reverb, AReleasedNoteOfTheStartUpProgramDecaysAtHighRates) {
    tavtest::isolatePluginHome(tavtest::hostScratchDir("reverb-high-rates"));
    double reference = 0.0;
    for (double rate : {48000.0, 192000.0, 384000.0}) {
        SCOPED_TRACE(rate);
        enginetest::HostRun run;
        run.rate = rate;
        run.block = 512;
        const auto r = enginetest::render(
            {}, {enginetest::midi(0, 0x90, 60, 127), enginetest::midi((int64_t)(0.5 * rate), 0x80, 60, 0)},
            (int64_t)(2.0 * rate), run);
        ASSERT_TRUE(r.clean) << r.faults;
        const auto at = [rate](double s) { return (size_t)(s * rate); };
        EXPECT_LT(enginetest::peak(r.left, 0, r.left.size()), 0.9);
        EXPECT_LT(enginetest::peak(r.right, 0, r.right.size()), 0.9);
        const double tail = enginetest::rms(r.left, at(0.55), at(0.4));
        const double late = enginetest::rms(r.left, at(1.6), at(0.4));
        if (rate == 48000.0) reference = tail;
        EXPECT_NEAR(20.0 * std::log10(tail / reference), 0.0, 2.5) << "tail level against 48 kHz";
        EXPECT_LT(late, tail * 0.3) << "the tail dies away";
    }
}

TEST(Reverb, WidenTapsFeedDelayedInputIntoTheOddCombs) {
    // With only the widen taps differing, the two reverbs sound different; with the same
    // taps they match exactly.
    auto a = std::make_unique<TBasicReverb>();
    auto b = std::make_unique<TBasicReverb>();
    auto c = std::make_unique<TBasicReverb>();
    for (TBasicReverb* r : {a.get(), b.get(), c.get()}) setUp(*r, 0.7f, 0.3f, 1.0f);
    a->setWiden(0, 0, 0, 0);
    b->setWiden(0, 0, 0, 0);
    c->setWiden(2000, 0, 0, 0);
    std::vector<float> n = noise(5000, 11);
    Out oa, ob, oc;
    run(*a, 5000, &n, &oa);
    run(*b, 5000, &n, &ob);
    run(*c, 5000, &n, &oc);
    double diffSame = 0.0, diffWiden = 0.0;
    for (int i = 0; i < 5000; ++i) {
        diffSame += std::fabs(oa.left[i] - ob.left[i]);
        diffWiden += std::fabs(oa.left[i] - oc.left[i]);
    }
    EXPECT_EQ(diffSame, 0.0);
    EXPECT_GT(diffWiden, 1.0);
}

namespace {

// The reverb computed comb by comb and stage by stage, one plain delay line each, from
// the lengths and coefficients the reverb under test reports. The reverb runs its combs
// and all-passes four at a time; both must give the same samples.
class ReferenceReverb {
public:
    explicit ReferenceReverb(const TBasicReverb& rv, const int widen[4]) {
        for (int j = 0; j < TComb::kCombs; ++j) {
            combLen[j] = rv.getCombLength(j);
            comb[j].assign(16384, 0.0f);
        }
        for (int ch = 0; ch < 2; ++ch)
            for (int s = 0; s < 4; ++s) {
                apLen[ch][s] = rv.getAllpassLength(ch, s);
                for (int sig = 0; sig < 2; ++sig) ap[ch][s][sig].assign(apLen[ch][s], 0.0f);
            }
        for (int i = 0; i < 4; ++i) taps[i] = widen[i];
        follow(rv);
        ring[0].assign(16384, 0.0f);
        ring[1].assign(16384, 0.0f);
    }

    // Takes over changed comb lengths, damping, feedback and output filter; the lines and
    // states carry on.
    void follow(const TBasicReverb& rv) {
        for (int j = 0; j < TComb::kCombs; ++j) combLen[j] = rv.getCombLength(j);
        damp = rv.getDamp();
        room = rv.getRoom();
        a = rv.getFilterLow();
        b = rv.getFilterHigh();
    }

    void process(float inL, float inR, float out[4]) {
        ringPos = (ringPos + 1) & 16383;
        ring[0][ringPos] = inL;
        ring[1][ringPos] = inR;
        auto tap = [&](int ch, int t) { return ring[ch][(ringPos - 1 - t) & 16383]; };
        const float tap1 = tap(0, taps[0]), tap2 = tap(1, taps[1]);
        const float tap3 = tap(0, taps[2]), tap4 = tap(1, taps[3]);
        // Even and odd comb inputs of A left, A right, B left, B right.
        const float even[4] = {inL, tap2, inL, tap4};
        const float odd[4] = {tap1, inR, tap3, inR};
        row = (row + 1) & 16383;
        float sums[4];
        for (int side = 0; side < 4; ++side) {
            float sum = 0.0f;
            for (int k = 0; k < 10; ++k) {
                const int j = side * 10 + k;
                const float v = comb[j][(row - combLen[j]) & 16383];
                state[j] = state[j] * damp + v * (1.0f - damp) + 1e-15f;
                comb[j][row] = state[j] * room + ((k & 1) ? odd[side] : even[side]);
                sum += v;
            }
            low[side] = low[side] * (1.0f - a) + sum * a;
            high[side] = high[side] * (1.0f - b) + low[side] * b;
            sums[side] = low[side] - high[side];
        }
        // sums: A left, A right, B left, B right; channel = side & 1, signal = side >> 1.
        for (int side = 0; side < 4; ++side) {
            const int ch = side & 1, sig = side >> 1;
            float x = sums[side];
            for (int s = 0; s < 4; ++s) {
                int& p = apPos[ch][s][sig];
                if (++p >= apLen[ch][s]) p = 0;
                std::vector<float>& line = ap[ch][s][sig];
                const float y = line[p];
                line[p] = 0.5f * y + x + 1e-8f;
                x = y - x;
            }
            out[side] = x * 0.025f;
        }
    }

private:
    std::vector<float> comb[TComb::kCombs];
    int combLen[TComb::kCombs] = {};
    float state[TComb::kCombs] = {};
    int row = 0;
    std::vector<float> ap[2][4][2];
    int apLen[2][4] = {};
    int apPos[2][4][2] = {};
    std::vector<float> ring[2];
    int ringPos = 0;
    int taps[4] = {};
    float damp = 0.0f, room = 0.0f, a = 1.0f, b = 0.0f;
    float low[4] = {}, high[4] = {};
};

}  // namespace

TEST(Reverb, TheFourLaneCombsAndAllpassesMatchAPlainReference) {
    for (float rate : {44100.0f, 96000.0f}) {
        auto rv = std::make_unique<TBasicReverb>();
        rv->setSampleRate(rate);
        rv->setRoomSize(0.8f);
        rv->setDamp(0.4f);
        rv->setFilter(0.7f, 0.2f);
        const int widen[4] = {189, 766, 2778, 1818};
        rv->setWiden(widen[0], widen[1], widen[2], widen[3]);
        // Every bank side and every comb a different length, so a lane or comb mix-up shows.
        rv->setMod(1.003f, 0.996f, 1.002f, 0.997f);
        rv->setSize(1.3f, 1.43f);
        for (int j = 1; j < TComb::kCombs; ++j) ASSERT_NE(rv->getCombLength(j), rv->getCombLength(j - 1));
        ReferenceReverb ref(*rv, widen);
        const std::vector<float> left = noise(12000, 11), right = noise(12000, 12);
        double level = 0.0;
        for (int i = 0; i < 24000; ++i) {
            // Different signals per side; silence after the burst lets the tails ring.
            const float inL = i < 12000 ? left[i] : 0.0f;
            const float inR = i < 12000 ? 0.5f * right[i] : 0.0f;
            float o[4], r[4];
            rv->process(inL, inR, o[0], o[1], o[2], o[3]);
            ref.process(inL, inR, r);
            for (int k = 0; k < 4; ++k) {
                ASSERT_NEAR(o[k], r[k], 1e-6f) << "output " << k << " sample " << i << " at " << rate;
                level += (double)r[k] * r[k];
            }
        }
        EXPECT_GT(level, 1.0) << "the comparison ran on a real signal";
    }
}

// Settings that change at any sample, and combs shorter than the reverb's internal batches
// (the smallest sizes): still the same samples as the plain reference.
TEST(Reverb, ChangesAtAnySampleAndVeryShortCombsMatchThePlainReference) {
    auto rv = std::make_unique<TBasicReverb>();
    rv->setSampleRate(22050.0f);
    rv->setRoomSize(0.9f);
    rv->setDamp(0.2f);
    rv->setFilter(1.0f, 0.0f);
    const int widen[4] = {3, 17, 40, 9};
    rv->setWiden(widen[0], widen[1], widen[2], widen[3]);
    rv->setSize(1.0f / 64.0f, 1.1f / 64.0f);
    int shortest = 16384;
    for (int j = 0; j < TComb::kCombs; ++j) shortest = std::min(shortest, rv->getCombLength(j));
    EXPECT_LT(shortest, TComb::kBlock) << "some combs are shorter than a batch";
    ReferenceReverb ref(*rv, widen);
    const std::vector<float> left = noise(8000, 21), right = noise(8000, 22);
    double level = 0.0;
    for (int i = 0; i < 12000; ++i) {
        // First the shortest combs alone, then each kind of change on its own odd period,
        // so changes fall inside batches.
        const bool changes = i >= 4000;
        bool changed = false;
        if (changes && i % 7 == 3) {
            rv->setRoomSize(0.5f + 0.4f * (float)((i / 7) % 3) / 2.0f);
            changed = true;
        }
        if (changes && i % 11 == 5) {
            rv->setDamp(0.1f * (float)((i / 11) % 5));
            changed = true;
        }
        if (changes && i % 13 == 8) {
            const float z = (i / 13) % 2 ? 1.0f / 64.0f : 0.5f;
            rv->setSize(z, 1.1f * z);
            changed = true;
        }
        if (changes && i % 17 == 1) {
            rv->setMod(1.0f + 0.002f * (float)((i / 17) % 3), 0.998f, 1.001f, 1.0f);
            changed = true;
        }
        if (changes && i % 19 == 7) {
            // The output band-pass: low-pass 0.5 .. 1, high-pass off .. 0.5.
            rv->setFilter(0.5f + 0.25f * (float)((i / 19) % 3), 0.25f * (float)((i / 19) % 3));
            changed = true;
        }
        if (changed) ref.follow(*rv);
        const float inL = i < 8000 ? left[i] : 0.0f;
        const float inR = i < 8000 ? -right[i] : 0.0f;
        float o[4], r[4];
        rv->process(inL, inR, o[0], o[1], o[2], o[3]);
        ref.process(inL, inR, r);
        for (int k = 0; k < 4; ++k) {
            ASSERT_NEAR(o[k], r[k], 1e-6f) << "output " << k << " sample " << i;
            level += (double)r[k] * r[k];
        }
    }
    EXPECT_GT(level, 1.0) << "the comparison ran on a real signal";
}

// Muting inside one of the reverb's internal batches leaves nothing of what it had
// computed ahead: from then on it sounds exactly like a fresh reverb with the same
// settings.
TEST(Reverb, MutingInsideABatchLeavesNothingBehind) {
    for (int at : {4997, 5003, 5008}) {
        auto used = std::make_unique<TBasicReverb>();
        auto fresh = std::make_unique<TBasicReverb>();
        for (TBasicReverb* r : {used.get(), fresh.get()}) {
            setUp(*r, 0.8f, 0.3f, 1.0f);
            r->setFilter(0.8f, 0.4f);
        }
        const std::vector<float> n = noise(9000, 31);
        float o[4], f[4];
        for (int i = 0; i < at; ++i) used->process(n[i], -n[i], o[0], o[1], o[2], o[3]);
        used->mute();
        double level = 0.0;
        for (int i = at; i < 9000; ++i) {
            used->process(n[i], 0.5f * n[i], o[0], o[1], o[2], o[3]);
            fresh->process(n[i], 0.5f * n[i], f[0], f[1], f[2], f[3]);
            for (int k = 0; k < 4; ++k) {
                ASSERT_EQ(o[k], f[k]) << "output " << k << " sample " << i << " muted at " << at;
                level += (double)f[k] * f[k];
            }
        }
        EXPECT_GT(level, 0.1) << "the comparison ran on a real signal";
    }
}

// Asking for the same sizes again after the modulation factors or the rate changed must
// still give the lengths a reverb set up directly with those values has.
TEST(Reverb, TheSameSizesAfterNewFactorsOrRateGiveTheirLengths) {
    auto expectSameLengths = [](const TBasicReverb& a, const TBasicReverb& b, const char* what) {
        for (int j = 0; j < TComb::kCombs; ++j)
            ASSERT_EQ(a.getCombLength(j), b.getCombLength(j)) << what << ", comb " << j;
    };
    auto used = std::make_unique<TBasicReverb>();
    used->setSize(1.5f, 1.65f);
    used->setMod(1.002f, 0.998f, 1.002f, 0.998f);
    used->setSize(1.5f, 1.65f);
    auto direct = std::make_unique<TBasicReverb>();
    direct->setMod(1.002f, 0.998f, 1.002f, 0.998f);
    direct->setSize(1.5f, 1.65f);
    expectSameLengths(*used, *direct, "new factors");
    // The factors really moved some length, so the first check could fail.
    auto plain = std::make_unique<TBasicReverb>();
    plain->setSize(1.5f, 1.65f);
    bool moved = false;
    for (int j = 0; j < TComb::kCombs; ++j) moved = moved || plain->getCombLength(j) != direct->getCombLength(j);
    EXPECT_TRUE(moved);

    used->setSampleRate(96000.0f);  // factors back to 1
    used->setSize(1.5f, 1.65f);
    auto direct96 = std::make_unique<TBasicReverb>();
    direct96->setSampleRate(96000.0f);
    direct96->setSize(1.5f, 1.65f);
    expectSameLengths(*used, *direct96, "new rate");
}
