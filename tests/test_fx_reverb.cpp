// The comb-and-allpass reverb: decay against room size, rebuilding for a new rate, a long
// run of loud noise, its level and decay at high rates (alone and in the start-up program
// through the offline host), and its four-lane kernel against a plain reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "dsp/TBasicReverb.h"
#include "test_engine_util.h"

namespace {

struct Out {
    std::vector<float> left, right;
};

// The chain's view: the two banks summed per side, for `in` then silence.
Out run(TBasicReverb& rv, int samples, const std::vector<float>& in = {}) {
    Out out;
    for (int i = 0; i < samples; ++i) {
        const float x = i < (int)in.size() ? in[i] : 0.0f;
        float o1, o2, o3, o4;
        rv.process(x, x, o1, o2, o3, o4);
        out.left.push_back(o1 + o3);
        out.right.push_back(o2 + o4);
    }
    return out;
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
    const std::size_t peak = std::max_element(e.begin(), e.end()) - e.begin();
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

std::vector<int> combLengths(const TBasicReverb& rv) {
    std::vector<int> v;
    for (int j = 0; j < TComb::kCombs; ++j) v.push_back(rv.getCombLength(j));
    return v;
}

}  // namespace

TEST(Reverb, ALargerRoomDecaysLonger) {
    auto decay = [](float room, float size) {
        auto rv = std::make_unique<TBasicReverb>();
        setUp(*rv, room, 0.3f, size);
        return decayTime(run(*rv, 44100 * 4, {1.0f}));
    };
    const int small = decay(0.1f, 1.0f);
    EXPECT_GT(small, 2048);
    EXPECT_GT(decay(0.9f, 1.0f), 2 * small);
    // A larger size (longer combs) also lengthens the tail at the same room setting.
    EXPECT_GT(decay(0.5f, 2.0f), decay(0.5f, 0.5f));
}

TEST(Reverb, ARateChangeRebuildsEveryLength) {
    auto rv = std::make_unique<TBasicReverb>();
    EXPECT_EQ(rv->getRate(), 44100.0f);
    EXPECT_EQ(rv->getCombLength(0), 1116);
    rv->setSampleRate(48000.0f);
    EXPECT_EQ(rv->getCombLength(0), 1215);
    EXPECT_EQ(rv->getCombLength(20), 1215);  // bank B starts equal to bank A
    EXPECT_EQ(rv->getAllpassLength(1, 0), 630);
    // The first echo of the comb bank comes later in samples at the higher rate.
    auto first = [](TBasicReverb& r) {
        const Out o = run(r, 3000, {1.0f});
        return std::find_if(o.left.begin(), o.left.end(), [](float v) { return std::fabs(v) > 1e-4f; }) - o.left.begin();
    };
    auto at44 = std::make_unique<TBasicReverb>();
    setUp(*at44, 0.5f, 0.5f, 1.0f);
    setUp(*rv, 0.5f, 0.5f, 1.0f);
    const auto f44 = first(*at44), f48 = first(*rv);
    EXPECT_TRUE(f44 > 0 && f48 > f44) << f44 << ", " << f48;
    // The same rate again (or a nonsense one) keeps the reverb ringing: not rebuilt, not muted.
    run(*at44, 3000, {1.0f});
    at44->setSampleRate(44100.00005f);
    at44->setSampleRate(0.5f);
    EXPECT_EQ(at44->getRate(), 44100.0f);
    const Out o = run(*at44, 100);
    EXPECT_GT(std::fabs(o.left[0]) + std::fabs(o.left[50]) + std::fabs(o.left[99]), 1e-4f);
}

TEST(Reverb, AMinuteOfNoiseAtFullRoomStaysBounded) {
    auto rv = std::make_unique<TBasicReverb>();
    setUp(*rv, 1.0f, 0.0f, 4.0f);  // longest combs, most feedback, no damping
    const std::vector<float> n = noise(44100, 99);
    double energy[60] = {};  // per second
    float peak = 0.0f;
    for (int i = 0; i < 60 * 44100; ++i) {
        float o1, o2, o3, o4;
        rv->process(n[i % 44100], -n[(i + 777) % 44100], o1, o2, o3, o4);
        const float l = o1 + o3, r = o2 + o4;
        ASSERT_TRUE(std::isfinite(l) && std::isfinite(r));
        peak = std::max({peak, std::fabs(l), std::fabs(r)});
        energy[i / 44100] += (double)l * l;
    }
    EXPECT_LT(peak, 50.0f);
    // Stationary: once the longest combs have filled (a few seconds), the level stays.
    EXPECT_GT(energy[20], 0.0);
    EXPECT_NEAR(std::log(energy[59] / energy[20]), 0.0, std::log(1.5));
}

TEST(Reverb, LengthsStayInsideTheLinesAtHighRates) {
    auto rv = std::make_unique<TBasicReverb>();
    rv->setSampleRate(192000.0f);
    EXPECT_EQ(rv->getAllpassLength(1, 0), 2521);
    rv->setSize(4.0f, 4.4f);
    for (int len : combLengths(*rv)) EXPECT_TRUE(len >= 1 && len <= TComb::kRowMask) << len;
    rv->setSize(1e30f, NAN);
    for (int len : combLengths(*rv)) EXPECT_GE(len, 1);
    // Above 192 kHz the all-pass stages keep their longest lengths.
    rv->setSampleRate(400000.0f);
    EXPECT_EQ(rv->getAllpassLength(1, 0), TAllpass::kMaxLength);
    rv->setRoomSize(1.0f);
    for (float v : run(*rv, 10000, noise(10000, 3)).left) ASSERT_TRUE(std::isfinite(v));
}

// The comb lines keep as many rows as the longest comb the plug-in's largest size and
// modulation give at the rate, a power of two: fewer than the full 16384 at the common
// rates, and never fewer than that comb's length.
TEST(Reverb, TheLinesKeepTheRowsTheLargestSizeNeeds) {
    const struct {
        float rate;
        int rows;
    } cases[] = {{22050.0f, 4096}, {44100.0f, 8192}, {48000.0f, 8192}, {96000.0f, 16384}, {192000.0f, 16384}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        auto rv = std::make_unique<TBasicReverb>();
        rv->setSampleRate(c.rate);
        const float f = TBasicReverb::kLargestLengthFactor;
        rv->setMod(f, f, f, f);
        rv->setSize(TBasicReverb::kLargestSize / 1.1f, TBasicReverb::kLargestSize);
        EXPECT_EQ(rv->getCombRows(), c.rows);
        const std::vector<int> len = combLengths(*rv);
        EXPECT_LE(*std::max_element(len.begin(), len.end()), c.rows);
        EXPECT_GT(*std::max_element(len.begin(), len.end()), c.rows / 4);
    }
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
        const Out o = run(*rv, (int)(rate * 3.0f), burst);
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
        EXPECT_LT(std::max(enginetest::peak(r.left, 0, r.left.size()), enginetest::peak(r.right, 0, r.right.size())), 0.9);
        const double tail = enginetest::rms(r.left, at(0.55), at(0.4));
        const double late = enginetest::rms(r.left, at(1.6), at(0.4));
        if (rate == 48000.0) reference = tail;
        EXPECT_NEAR(20.0 * std::log10(tail / reference), 0.0, 2.5) << "tail level against 48 kHz";
        EXPECT_LT(late, tail * 0.3) << "the tail dies away";
    }
}

namespace {

// The reverb computed comb by comb and stage by stage, one plain delay line each, from the
// lengths and coefficients the reverb under test reports at every sample.
struct ReferenceReverb {
    static constexpr int kMask = 16383;  // the comb lines and the input ring
    const TBasicReverb& rv;
    int taps[4], row = 0, ringPos = 0, apLen[2][4] = {}, apPos[2][4][2] = {};
    std::vector<float> comb[TComb::kCombs], ring[2], ap[2][4][2];
    float state[TComb::kCombs] = {}, low[4] = {}, high[4] = {};

    ReferenceReverb(const TBasicReverb& r, const int widen[4]) : rv(r), taps{widen[0], widen[1], widen[2], widen[3]} {
        for (auto& line : comb) line.assign(kMask + 1, 0.0f);
        for (auto& line : ring) line.assign(kMask + 1, 0.0f);
        for (int ch = 0; ch < 2; ++ch)
            for (int s = 0; s < 4; ++s) {
                apLen[ch][s] = rv.getAllpassLength(ch, s);
                for (auto& line : ap[ch][s]) line.assign(apLen[ch][s], 0.0f);
            }
    }

    void process(float inL, float inR, float out[4]) {
        const float damp = rv.getDamp(), room = rv.getRoom(), a = rv.getFilterLow(), b = rv.getFilterHigh();
        ringPos = (ringPos + 1) & kMask;
        ring[0][ringPos] = inL;
        ring[1][ringPos] = inR;
        auto tap = [&](int t) { return ring[t & 1][(ringPos - 1 - taps[t]) & kMask]; };
        // Even and odd comb inputs of A left, A right, B left, B right.
        const float even[4] = {inL, tap(1), inL, tap(3)}, odd[4] = {tap(0), inR, tap(2), inR};
        row = (row + 1) & kMask;
        for (int side = 0; side < 4; ++side) {
            float x = 0.0f;
            for (int k = 0; k < 10; ++k) {
                const int j = side * 10 + k;
                const float v = comb[j][(row - rv.getCombLength(j)) & kMask];
                state[j] = state[j] * damp + v * (1.0f - damp) + 1e-15f;
                comb[j][row] = state[j] * room + ((k & 1) ? odd[side] : even[side]);
                x += v;
            }
            low[side] = low[side] * (1.0f - a) + x * a;
            high[side] = high[side] * (1.0f - b) + low[side] * b;
            x = low[side] - high[side];
            // The all-pass chain of channel side & 1, signal side >> 1.
            for (int s = 0; s < 4; ++s) {
                int& p = apPos[side & 1][s][side >> 1];
                if (++p >= apLen[side & 1][s]) p = 0;
                float& cell = ap[side & 1][s][side >> 1][p];
                const float y = cell;
                cell = 0.5f * y + x + 1e-8f;
                x = y - x;
            }
            out[side] = x * 0.025f;
        }
    }
};

}  // namespace

// The reverb runs its combs and all-passes four lanes and several samples at a time; the
// plain reference must give the same samples: at two rates with every comb a different
// length (so a lane or comb mix-up shows), and with combs shorter than a batch and settings
// that change at any sample (each kind on its own odd period, so changes fall inside batches).
// Muting inside a batch leaves nothing of what it had computed ahead: from then on it sounds
// like a fresh reference.
TEST(Reverb, TheFourLaneCombsAndAllpassesMatchAPlainReference) {
    // growAt: from then on the size is half again the largest the plug-in asks for, so
    // the lines grow to their full rows (early, while all they held fits: the reference's
    // older rows are still silent too).
    struct Case {
        float rate, size;
        int widen[4], muteAt;
        bool changes;
        int growAt;
    };
    const Case cases[] = {{44100.0f, 1.3f, {189, 766, 2778, 1818}, 4997, false, -1},
                          {96000.0f, 1.3f, {189, 766, 2778, 1818}, 5003, false, -1},
                          {22050.0f, 1.0f / 64.0f, {3, 17, 40, 9}, 5008, true, -1},
                          {48000.0f, 3.99f, {189, 766, 2778, 1818}, 30000, false, -1},
                          {48000.0f, 0.9f, {189, 766, 2778, 1818}, 30000, false, 2500}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        auto rv = std::make_unique<TBasicReverb>();
        rv->setSampleRate(c.rate);
        setUp(*rv, 0.8f, 0.4f, c.size);
        rv->setFilter(0.7f, 0.2f);
        rv->setWiden(c.widen[0], c.widen[1], c.widen[2], c.widen[3]);
        rv->setMod(1.003f, 0.996f, 1.002f, 0.997f);
        rv->setSize(c.size, 1.1f * c.size);
        const std::vector<int> len = combLengths(*rv);
        EXPECT_TRUE(!c.changes || *std::min_element(len.begin(), len.end()) < TComb::kBlock) << "a short comb";
        for (int j = 1; j < TComb::kCombs && !c.changes; ++j) ASSERT_NE(len[j], len[j - 1]);
        std::optional<ReferenceReverb> ref;
        ref.emplace(*rv, c.widen);
        const std::vector<float> left = noise(12000, 11), right = noise(12000, 12);
        double level = 0.0;
        for (int i = 0; i < 24000; ++i) {
            if (c.changes && i >= 4000) {  // first the shortest combs alone
                if (i % 7 == 3) rv->setRoomSize(0.5f + 0.2f * (float)((i / 7) % 3));
                if (i % 11 == 5) rv->setDamp(0.1f * (float)((i / 11) % 5));
                const float z = (i / 13) % 2 ? 1.0f / 64.0f : 0.5f;
                if (i % 13 == 8) rv->setSize(z, 1.1f * z);
                if (i % 17 == 1) rv->setMod(1.0f + 0.002f * (float)((i / 17) % 3), 0.998f, 1.001f, 1.0f);
                // The output band-pass: low-pass 0.5 .. 1, high-pass off .. 0.5.
                if (i % 19 == 7) rv->setFilter(0.5f + 0.25f * (float)((i / 19) % 3), 0.25f * (float)((i / 19) % 3));
            }
            if (i == c.growAt) {
                rv->setSize(1.5f * TBasicReverb::kLargestSize, 1.65f * TBasicReverb::kLargestSize);
                EXPECT_EQ(rv->getCombRows(), TComb::kRows);
            }
            if (i == c.muteAt) {
                rv->mute();
                ref.emplace(*rv, c.widen);
            }
            // Different signals per side; silence after the burst lets the tails ring.
            const float inL = i < 12000 ? left[i] : 0.0f, inR = i < 12000 ? -0.5f * right[i] : 0.0f;
            float o[4], r[4];
            rv->process(inL, inR, o[0], o[1], o[2], o[3]);
            ref->process(inL, inR, r);
            for (int k = 0; k < 4; ++k) {
                ASSERT_NEAR(o[k], r[k], 1e-6f) << "output " << k << " sample " << i;
                level += (double)r[k] * r[k];
            }
        }
        EXPECT_GT(level, 1.0) << "the comparison ran on a real signal";
    }
}

// Runs of samples give process()'s outputs bit for bit, also with widen taps on the row
// being written and on the rows just ahead of it, and across the ring's wrap.
TEST(Reverb, RunsGiveTheSamplesOfProcessBitForBit) {
    const int taps[2][4] = {{16383, 16382, 16380, 5}, {3, 16381, 40, 16383}};
    for (const auto& t : taps) {
        SCOPED_TRACE(t[1]);
        auto one = std::make_unique<TBasicReverb>(), runs = std::make_unique<TBasicReverb>();
        for (TBasicReverb* rv : {one.get(), runs.get()}) {
            rv->setSampleRate(44100.0f);
            setUp(*rv, 0.8f, 0.4f, 0.7f);
            rv->setWiden(t[0], t[1], t[2], t[3]);
        }
        const std::vector<float> left = noise(20000, 21), right = noise(20000, 22);
        long mismatches = 0;
        uint32_t seed = 5u;
        for (int i = 0; i < 20000;) {
            seed = seed * 1664525u + 1013904223u;
            const int n = std::min(1 + (int)(seed >> 28), 20000 - i);
            RevLanes out[TBasicReverb::kMaxRun];
            runs->processRun(n, left.data() + i, right.data() + i, out);
            for (int j = 0; j < n; ++j) {
                float o[4];
                one->process(left[i + j], right[i + j], o[0], o[1], o[2], o[3]);
                const float want[4] = {o[0], o[2], o[1], o[3]};
                mismatches += std::memcmp(want, &out[j], sizeof(want)) != 0;
            }
            i += n;
        }
        EXPECT_EQ(mismatches, 0);
    }
}

// Asking for the same sizes again after the modulation factors or the rate changed must
// still give the lengths a reverb set up directly with those values has.
TEST(Reverb, TheSameSizesAfterNewFactorsOrRateGiveTheirLengths) {
    auto used = std::make_unique<TBasicReverb>(), direct = std::make_unique<TBasicReverb>(),
         plain = std::make_unique<TBasicReverb>(), direct96 = std::make_unique<TBasicReverb>();
    used->setSize(1.5f, 1.65f);
    for (TBasicReverb* r : {used.get(), direct.get()}) r->setMod(1.002f, 0.998f, 1.002f, 0.998f);
    direct96->setSampleRate(96000.0f);
    for (TBasicReverb* r : {used.get(), direct.get(), plain.get(), direct96.get()}) r->setSize(1.5f, 1.65f);
    EXPECT_EQ(combLengths(*used), combLengths(*direct)) << "new factors";
    EXPECT_NE(combLengths(*plain), combLengths(*direct)) << "the factors moved some length";
    used->setSampleRate(96000.0f);  // factors back to 1
    used->setSize(1.5f, 1.65f);
    EXPECT_EQ(combLengths(*used), combLengths(*direct96)) << "new rate";
}
