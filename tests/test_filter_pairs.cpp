// The filters' pair and quad entry points and the updates they skip: bit for bit as plain
// calls one voice at a time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "dsp/HeldMultimode.h"
#include "dsp/LaneDispatch.h"
#include "test_engine_util.h"
#include "test_filters_util.h"

using namespace filtertest;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

constexpr float kRate = 48000.0f;

// A reproducible signal per voice: a detuned saw and noise, different on each side.
struct Source {
    uint32_t seed;
    float phase = 0.0f, step;
    explicit Source(int voice) : seed(12345u + 977u * (uint32_t)voice), step(0.003f + 0.0011f * voice) {}
    float noise() {
        seed = seed * 1664525u + 1013904223u;
        return (float)(seed >> 8) / 8388608.0f - 1.0f;
    }
    stereoOverStruct next() {
        stereoOverStruct r;
        for (int s = 0; s < 2; ++s) {
            phase += step;
            if (phase >= 1.0f) phase -= 1.0f;
            r.sub[s].left = 2.0f * phase - 1.0f + 0.2f * noise();
            r.sub[s].right = 0.5f * noise() - (2.0f * phase - 1.0f);
        }
        return r;
    }
};

// Per-voice arguments that change over time: each voice's own envelope sweep (held still
// for a while: the settled case) and a modulation step half way.
struct Args {
    float env, mod, q, sep, cutoff;
};
Args argsAt(int voice, int n) {
    Args a;
    a.env = (n > 1500 && n < 2500) ? 0.1f : 0.3f * std::sin(0.002f * (float)n * (1.0f + 0.3f * (float)voice));
    a.mod = n < 2000 ? 0.0f : 0.05f * (float)(voice % 3);
    a.q = voice % 2 ? 0.3f : 0.8f;
    a.sep = 1.0f + 0.1f * (float)voice;
    a.cutoff = voice < 4 ? 0.45f : 0.4f + 0.05f * (float)voice;  // shared by a quad
    return a;
}

// Voices 0-3 as a quad, 4-5 as a pair and 6 alone against process() one voice at a time,
// whose zero modulation alternates its sign so that it never skips an update. The one-note
// updates keep values between calls (the band-pass side gains, the table entries read), so
// separations of +0, -0 and NaN, resonance, tracking and velocity steps, resets and calls of
// two notes through process() in between must all leave them where process() alone is.
TEST(FilterPairs, LayerFiltersInPairsAndQuadsMatchProcessBitForBit) {
    initFilterTables();
    constexpr int kVoices = 7;
    const float seps[] = {1.0f, 0.0f, -0.0f, 0.0f, kNaN, 1.5f, -0.0f, 0.7f};
    TBPFilter bp[2][kVoices];  // [0] the reference, [1] the batched voices
    TLPFilter lp[2][kVoices];
    THPFilter hp[2][kVoices];
    std::vector<Source> src[2];
    for (int k = 0; k < 2; ++k)
        for (int v = 0; v < kVoices; ++v) {
            bp[k][v].init(kRate);
            bp[k][v].setTrack(0.5f, 0.1f * (float)v);
            bp[k][v].setVel(0.4f, 0.6f);
            lp[k][v].init(kRate);
            lp[k][v].setTrack(-0.3f, 0.1f * (float)v);
            hp[k][v].init(kRate);
            src[k].emplace_back(v);
        }
    double energy = 0.0;
    for (int n = 0; n < 4000; ++n) {
        // both lane widths, taking over each other's state
        lanes::setWidth((n / 450) % 2 ? lanes::Width::Baseline : lanes::widest());
        const bool twoNotes = (n / 170) % 5 == 4;
        const float zero = (n & 1) ? -0.0f : 0.0f;
        Args args[kVoices];
        stereoOverStruct io[2][kVoices];
        for (int v = 0; v < kVoices; ++v) {
            args[v] = argsAt(v, n);
            if (n < 1500 || n >= 2500) args[v].sep *= seps[(n / 50) % 8];  // envelopes moving
            args[v].q = (n / 300 + v) % 2 ? 0.2f : 0.9f;
        }
        for (int k = 0; k < 2; ++k) {
            if (n == 1333) {
                bp[k][2].reset();
                lp[k][5].reset();
                lp[k][1].reset();
                hp[k][6].reset();
            }
            if (n % 700 == 350) {
                bp[k][1].setTrack(0.9f, 0.05f * (float)(n / 700));
                lp[k][4].setVel(0.5f, 0.05f * (float)(n / 700));
                lp[k][2].setTrack(0.2f, 0.05f * (float)(n / 700));
            }
            for (int v = 0; v < kVoices; ++v) {
                bp[k][v].setEnv(0, args[v].env);
                bp[k][v].setEnv(1, -args[v].env);
                lp[k][v].setEnv(0, -args[v].env);
                lp[k][v].setEnv(1, args[v].env);
                io[k][v] = src[k][v].next();
            }
        }
        auto plain = [&](int k, int v, int notes) {
            const Args& a = args[v];
            const float mod = (k == 0 && a.mod == 0.0f) ? zero : a.mod;
            stereoOverStruct in[2] = {io[k][v], io[k][v]}, band[2], low[2], high[2];
            bp[k][v].process(true, {0.15f, 0.15f}, mod, a.sep, a.q, notes, in, band);
            lp[k][v].process(a.cutoff, mod, a.q, notes, band, low);
            hp[k][v].process(0.2f, mod, a.q, notes, low, high);
            io[k][v] = high[0];  // with two notes the second one's result is dropped
        };
        for (int v = 0; v < kVoices; ++v) plain(0, v, twoNotes ? 2 : 1);
        if (twoNotes) {
            for (int v = 0; v < kVoices; ++v) plain(1, v, 2);
        } else {
            stereoOverStruct* out = io[1];
            Lanes4 lanes[3][2];
            for (int p = 0; p < 3; ++p) filtermath::loadNotePair(out[2 * p], out[2 * p + 1], lanes[p]);
            const float mods[4] = {args[0].mod, args[1].mod, args[2].mod, args[3].mod};
            const float sepsNow[4] = {args[0].sep, args[1].sep, args[2].sep, args[3].sep};
            const float qs[4] = {args[0].q, args[1].q, args[2].q, args[3].q};
            TBPFilter::prepareNoteQuad(bp[1][0], bp[1][1], bp[1][2], bp[1][3], {0.15f, 0.15f}, mods,
                                       sepsNow, qs);
            for (int v = 4; v < 6; ++v) bp[1][v].prepareNote({0.15f, 0.15f}, args[v].mod, args[v].sep, args[v].q);
            TBPFilter::runNoteQuad(bp[1][0], bp[1][1], bp[1][2], bp[1][3], lanes[0], lanes[1]);
            TBPFilter::runNotePair(bp[1][4], bp[1][5], lanes[2]);
            TLPFilter::prepareNoteQuad(lp[1][0], lp[1][1], lp[1][2], lp[1][3], args[0].cutoff, mods, qs);
            for (int v = 4; v < 6; ++v) lp[1][v].prepareNote(args[v].cutoff, args[v].mod, args[v].q);
            TLPFilter::runNoteQuad(lp[1][0], lp[1][1], lp[1][2], lp[1][3], lanes[0], lanes[1]);
            TLPFilter::runNotePair(lp[1][4], lp[1][5], lanes[2]);
            for (int v = 0; v < 6; ++v) hp[1][v].prepareNote(0.2f, args[v].mod, args[v].q);
            THPFilter::runNoteQuad(hp[1][0], hp[1][1], hp[1][2], hp[1][3], lanes[0], lanes[1]);
            THPFilter::runNotePair(hp[1][4], hp[1][5], lanes[2]);
            for (int p = 0; p < 3; ++p) filtermath::storeNotePair(lanes[p], out[2 * p], out[2 * p + 1]);
            plain(1, 6, 1);
        }
        for (int v = 0; v < kVoices; ++v) {
            ASSERT_TRUE(sameBits(io[0][v], io[1][v])) << "voice " << v << " sample " << n;
            for (int l = 0; l < kFilterLanes; ++l)
                ASSERT_EQ(bp[0][v].getLaneCutoff(l), bp[1][v].getLaneCutoff(l)) << "lane " << l;
            for (int c = 0; c < 2; ++c)
                ASSERT_EQ(lp[0][v].getCopyCutoff(c), lp[1][v].getCopyCutoff(c)) << "copy " << c;
            if (std::isfinite(io[0][v].sub[1].right)) energy += std::pow(io[0][v].sub[1].right, 2.0);
        }
        // The side gains follow the separation, also where only its sign changed: the left
        // side's cutoff / separation is +inf (held at the ceiling) for +0, -inf (held at 0) for -0.
        const float sep = args[0].sep, left = bp[1][0].getLaneCutoff(0), right = bp[1][0].getLaneCutoff(1);
        if (!twoNotes && n % 50 == 49 && sep == 0.0f) {
            EXPECT_TRUE(left == (std::signbit(sep) ? 0.0f : 0.4f * kRate) && right == 0.0f)
                << "sample " << n << ": " << left << ", " << right;
        } else if (!twoNotes && n % 50 == 49 && std::isfinite(sep)) {
            EXPECT_NEAR(right / left, sep * sep, 1e-4f * sep * sep) << "sample " << n;
        }
    }
    lanes::setWidth(lanes::widest());
    EXPECT_GT(energy / (kVoices * 4000), 1e-4);
}

// A band-pass resonance nudged within the tolerance of its coefficients while the cutoff
// stands still leaves the damping of the update before; once the envelope moves, the quad
// path must damp with the new resonance, as process() does.
TEST(FilterPairs, BandPassQuadAfterAResonanceNudgeMatchesProcess) {
    initFilterTables();
    for (const lanes::Width width : {lanes::Width::Baseline, lanes::widest()}) {
        lanes::setWidth(width);
        TBPFilter ref[4], quad[4];
        std::vector<Source> src;
        for (int k = 0; k < 4; ++k) {
            ref[k].init(kRate);
            quad[k].init(kRate);
            src.emplace_back(k);
        }
        const float mods[4] = {0.1f, 0.2f, 0.3f, 0.4f}, seps[4] = {1.0f, 1.2f, 0.8f, 1.0f};
        for (int n = 0; n < 60; ++n) {
            const float q = n < 20 ? 0.5f : 0.5f + 1e-5f;  // damping terms 9.5e-6 apart
            const float qs[4] = {q, q, q, q};
            const float env = n < 30 ? 0.2f : 0.2f + 0.002f * (float)n;  // still, then moving
            stereoOverStruct want[4], got[4];
            for (int k = 0; k < 4; ++k) {
                ref[k].setEnv(0, env);
                quad[k].setEnv(0, env);
                got[k] = src[k].next();
                ref[k].process(true, {0.15f, 0.15f}, mods[k], seps[k], q, 1, &got[k], &want[k]);
            }
            Lanes4 lanes[2][2];
            for (int p = 0; p < 2; ++p) filtermath::loadNotePair(got[2 * p], got[2 * p + 1], lanes[p]);
            TBPFilter::prepareNoteQuad(quad[0], quad[1], quad[2], quad[3], {0.15f, 0.15f}, mods,
                                       seps, qs);
            TBPFilter::runNoteQuad(quad[0], quad[1], quad[2], quad[3], lanes[0], lanes[1]);
            for (int p = 0; p < 2; ++p) filtermath::storeNotePair(lanes[p], got[2 * p], got[2 * p + 1]);
            for (int k = 0; k < 4; ++k)
                ASSERT_TRUE(sameBits(want[k], got[k])) << "voice " << k << " sample " << n;
        }
    }
    lanes::setWidth(lanes::widest());
}

// The eight-lane paths for one test; the width in use before comes back after it.
struct WideLanes {
    lanes::Width saved = lanes::width();
    WideLanes() { lanes::setWidth(lanes::Width::Wide); }
    ~WideLanes() { lanes::setWidth(saved); }
};

// Eleven voices of mono notes through the high-pass eight lanes at a time (eight, then
// three with the last repeated; an octet a call, or on odd samples both in one) against
// process() one voice at a time; a stretch of
// stereo input into voice 9 leaves its state with two sides, and its group must then be
// declined untouched (and run through process() instead, its states given back) until
// the sides agree again. The octets hold their states between calls; a reset in a held
// octet gives them back first.
TEST(FilterPairs, MonoHighPassMatchesProcessAndDeclinesStereoStates) {
    const WideLanes wideLanes;
    if (!TAV_WIDE_LANES || !lanes::wide()) GTEST_SKIP() << "four lanes only here";
    initFilterTables();
    constexpr int kVoices = 11;
    THPFilter hp[2][kVoices];
    std::vector<Source> src;
    for (int v = 0; v < kVoices; ++v) {
        hp[0][v].init(kRate);
        hp[1][v].init(kRate);
        src.emplace_back(v);
    }
    HighPassOctets bank;
    stereoOverStruct io[2][kVoices];
    int ran = 0, declined = 0;
    for (int n = 0; n < 3000; ++n) {
        if (n == 2000) {
            hp[0][3].reset();
            hp[1][3].reset();
        }
        float mod[16] = {}, q[16] = {};
        for (int v = 0; v < kVoices; ++v) {
            stereoOverStruct x = src[v].next();
            if (v != 9 || n < 1000 || n >= 1100)
                for (int s = 0; s < 2; ++s) x.sub[s].right = x.sub[s].left;
            io[0][v] = io[1][v] = x;
            mod[v] = 0.1f * (float)((n / 400 + v) % 4);
            q[v] = (n / 250 + v) % 2 ? 0.3f : 0.9f;
        }
        for (int v = 0; v < kVoices; ++v) hp[0][v].process(0.2f, mod[v], q[v], 1, &io[0][v], &io[0][v]);
        // odd samples: both octets in one call
        stereoOverStruct before[2];
        for (int g = 0; g < kVoices; g += 8) {
            const int count = std::min(8, kVoices - g);
            HighPassOctet& o = bank.octet[g / 8];
            if (o.count == 0)
                for (int i = 0; i < 8; ++i) {
                    o.f[i] = &hp[1][g + std::min(i, count - 1)];
                    o.rec[i] = &io[1][g + std::min(i, count - 1)];
                    o.at[i] = g + std::min(i, count - 1);
                }
            before[g / 8] = *o.rec[1];
        }
        const unsigned both =
            n % 2 ? THPFilter::runNoteOctetsHeld(bank, kVoices, 0.2f, mod, q) : 0u;
        for (int g = 0; g < kVoices; g += 8) {
            const int count = std::min(8, kVoices - g);
            THPFilter* const(&f)[8] = bank.octet[g / 8].f;
            stereoOverStruct* const(&rec)[8] = bank.octet[g / 8].rec;
            if (n % 2 ? (both >> (g / 8) & 1) != 0
                      : THPFilter::runNoteOctetHeld(bank, g / 8, count, 0.2f, mod, q)) {
                ASSERT_TRUE(bank.live());
                ++ran;
                continue;
            }
            ++declined;
            ASSERT_TRUE(g == 8 && n >= 1000) << "sample " << n << " group " << g;
            ASSERT_TRUE(sameBits(before[g / 8], *rec[1]));
            bank.release(g / 8);
            for (int i = 0; i < count; ++i)
                f[i]->process(0.2f, mod[g + i], q[g + i], 1, rec[i], rec[i]);
        }
        for (int v = 0; v < kVoices; ++v)
            ASSERT_TRUE(sameBits(io[0][v], io[1][v])) << "voice " << v << " sample " << n;
    }
    bank.release();  // the held states back where process() keeps its own
    EXPECT_FALSE(bank.live());
    for (int v = 0; v < kVoices; ++v)
        EXPECT_EQ(0, std::memcmp(hp[0][v].stateBegin(), hp[1][v].stateBegin(),
                                 sizeof(float) * (hp[0][v].stateEnd() - hp[0][v].stateBegin())));
    EXPECT_GE(declined, 100);
    EXPECT_GT(ran, 3000);
}

// Voices 0-3 as a quad when they can, 4-5 as a pair, against process() one voice at a time,
// whose zero modulation alternates its sign so that it never skips an update. Tracking,
// velocity and mode steps, direct takes, resets, effect calls (the wah and the talk box are
// one object) and calls of two notes in between reach both alike. Holding, the quad runs
// held (HeldMultimode) where it can.
TEST(FilterPairs, MultimodeFilterInPairsAndQuadsMatchesProcessInEveryMode) {
    initFilterTables();
    constexpr int kN = 6;
    const stereoOverStruct effectIn = Source(9).next();
    for (const bool holding : {false, true})
    for (int mode = 0; mode < kFilterModeCount; ++mode) {
        HeldMultimode held;
        int heldSteps = 0;
        std::vector<std::unique_ptr<TFilter>> ref, batch;
        std::vector<Source> srcRef, src;
        for (int v = 0; v < kN; ++v) {
            // Voice 5 runs another mode for a while, so that its pair cannot run side by side.
            for (auto* list : {&ref, &batch}) {
                list->push_back(makeFilter(v == 5 ? (mode + 7) % kFilterModeCount : mode, kRate));
                list->back()->setTrack(0.4f, 0.1f * (float)v);
                list->back()->setVel(0.3f, 0.8f);
            }
            srcRef.emplace_back(v);
            src.emplace_back(v);
        }
        double energy = 0.0;
        int quads = 0;
        for (int n = 0; n < 1500; ++n) {
            for (auto* list : {&ref, &batch}) {
                auto& f = *list;
                if (n == 300) f[0]->setTrack(0.5f, 0.7f);
                if (n == 700) f[2]->reset();
                if (n == 800) f[4]->setDirect();
                if (n == 999) {
                    stereoOverStruct o;
                    f[5]->process(stereoStruct{0.4f, 0.4f}, stereoStruct{0, 0}, 0.2f, 0.6f, effectIn, o);
                }
                if (n == 1000) f[5]->setType(mode, false);
                if (n == 1200) f[1]->setVel(0.7f, 0.9f);
            }
            const float zero = (n & 1) ? -0.0f : 0.0f;
            const bool twoNotes = (n / 170) % 5 == 4;
            // Voice 1 morphs away (other output taps than voice 0 in some zero-delay modes).
            const float morph[kN] = {0.2f, n < 700 ? 0.2f : 0.7f, 0.2f, 0.2f, 0.5f, 0.5f};
            stereoOverStruct r[kN], o[kN];
            bool run[kN];
            TFilter::NoteState state[kN] = {};
            Lanes4 lanesHeld[2][2];
            float rows[4][4] = {}, mods[4] = {}, cut = 0.0f;
            for (int v = 0; v < kN; ++v) {
                const Args a = argsAt(v, n + 1000);  // the envelopes held still for n in 500-1500
                const float m = a.mod == 0.0f ? zero : a.mod;
                ref[v]->setEnv(0, a.env);
                batch[v]->setEnv(0, a.env);
                stereoOverStruct in[2] = {srcRef[v].next(), srcRef[v].next()}, two[2];
                ref[v]->process({a.cutoff, a.cutoff}, {m, m}, a.sep, a.q, morph[v], twoNotes ? 2 : 1, in, two);
                r[v] = two[0];  // with two notes the second one's result is dropped
                o[v] = src[v].next();
                in[1] = src[v].next();
                if (twoNotes) {
                    in[0] = o[v];
                    batch[v]->process({a.cutoff, a.cutoff}, {a.mod, a.mod}, a.sep, a.q, morph[v], 2, in, two);
                    o[v] = two[0];
                }
                if (holding && v < 4 && !twoNotes) {  // prepared below
                    rows[v][0] = a.sep, rows[v][1] = a.q, rows[v][2] = morph[v], mods[v] = a.mod, cut = a.cutoff;
                    continue;
                }
                run[v] = !twoNotes && batch[v]->prepareNote({a.cutoff, a.cutoff}, {a.mod, a.mod}, a.sep, a.q,
                                                            morph[v], &o[v], &o[v]);
            }
            bool quadHeld = false;
            const int32_t ids = HeldMultimode::key(0, 1, 2, 3);
            unsigned steps = 0;
            if (holding && !twoNotes && held.holds(0, ids) &&
                held.stands(0, cut, &mods[0], &mods[1], &mods[2], &mods[3], rows[0], rows[1], rows[2], rows[3], steps)) {
                filtermath::loadNotePair(o[0], o[1], lanesHeld[0]);
                filtermath::loadNotePair(o[2], o[3], lanesHeld[1]);
                held.step(0, steps, lanesHeld[0], lanesHeld[1]);
                quadHeld = true;
                ++heldSteps;
                run[0] = run[1] = run[2] = run[3] = false;
            } else if (holding && !twoNotes) {
                for (int v = 0; v < 4; ++v) {
                    state[v] = batch[v]->prepareNoteLater({cut, cut}, {mods[v], mods[v]}, rows[v], &o[v], &o[v]);
                    run[v] = state[v] != TFilter::kNoteBypass;
                }
            }
            if (!quadHeld && holding && run[0] && run[1] && run[2] && run[3]) {
                TFilter* const f[4] = {batch[0].get(), batch[1].get(), batch[2].get(), batch[3].get()};
                quadHeld = held.holds(0, ids) ||
                           (TFilter::canRunPair(*f[0], *f[1]) && TFilter::canRunPair(*f[2], *f[3]) &&
                            TFilter::canRunPair(*f[0], *f[2]) && held.take(0, f, ids));
                if (quadHeld) {
                    filtermath::loadNotePair(o[0], o[1], lanesHeld[0]);
                    filtermath::loadNotePair(o[2], o[3], lanesHeld[1]);
                    for (int v = 0; v < 4; ++v) steps |= (state[v] == TFilter::kNoteFollow ? 1u : 0u) << v;
                    held.step(0, steps, lanesHeld[0], lanesHeld[1]);
                    ++heldSteps;
                }
            }
            if (holding && !quadHeld)
                for (int p = 0; p < 2; ++p)
                    TFilter::followNotePair(*batch[2 * p], state[2 * p], *batch[2 * p + 1], state[2 * p + 1]);
            Lanes4 lanes[3][2];
            bool together[3];
            if (quadHeld) run[0] = run[1] = run[2] = run[3] = false;
            for (int p = 0; p < 3; ++p) {
                TFilter &fa = *batch[2 * p], &fb = *batch[2 * p + 1];
                together[p] = run[2 * p] && run[2 * p + 1] && TFilter::canRunPair(fa, fb);
                if (!together[p]) {
                    if (run[2 * p]) fa.runNote(&o[2 * p], &o[2 * p]);
                    if (run[2 * p + 1]) fb.runNote(&o[2 * p + 1], &o[2 * p + 1]);
                }
                filtermath::loadNotePair(o[2 * p], o[2 * p + 1], lanes[p]);
            }
            if (together[0] && together[1] && TFilter::canRunPair(*batch[0], *batch[2])) {
                TFilter::runNoteQuad(*batch[0], *batch[1], *batch[2], *batch[3], lanes[0], lanes[1]);
                ++quads;
            } else {
                for (int p = 0; p < 2; ++p)
                    if (together[p]) TFilter::runNotePair(*batch[2 * p], *batch[2 * p + 1], lanes[p]);
            }
            if (together[2]) TFilter::runNotePair(*batch[4], *batch[5], lanes[2]);
            for (int p = 0; p < 3; ++p) filtermath::storeNotePair(lanes[p], o[2 * p], o[2 * p + 1]);
            if (quadHeld) {
                for (int p = 0; p < 2; ++p)
                    filtermath::storeNotePair(lanesHeld[p], o[2 * p], o[2 * p + 1]);
            }
            for (int v = 0; v < kN; ++v) {
                ASSERT_TRUE(sameBits(r[v], o[v])) << "mode " << mode << " voice " << v << " sample " << n;
                if (!held.live()) {
                    ASSERT_EQ(ref[v]->getLaneCutoff(1), batch[v]->getLaneCutoff(1)) << mode << " " << v;
                }
                energy += (double)r[v].sub[0].left * r[v].sub[0].left;
            }
        }
        EXPECT_GT(energy, 1e-6) << "mode " << mode;
        held.release();  // the held lanes back where the filters keep their own
        for (int v = 0; v < 4; ++v) EXPECT_EQ(ref[v]->getLaneCutoff(1), batch[v]->getLaneCutoff(1)) << mode;
        // The state-variable modes of one section ran held much of the time (with AVX2).
        EXPECT_TRUE(!holding || !lanes::wide() || mode < kFilterLow12 || mode > kFilterNotch12 || heldSteps > 600)
            << mode << ": " << heldSteps;
        // Every filtering mode but the combs and ring and amplitude modulation (whose depth
        // differs between neighbours here) ran as a quad much of the time.
        EXPECT_TRUE(mode == kFilterBypass || mode >= kFilterCombPositive || quads + heldSteps > 600) << mode << ": " << quads;
    }
}

// Four high-passes held by a multimode quad against the same four run through the quad
// entry point, their modulation stepping and one of them reset (which gives the states back,
// to be taken again): the same output bits, and the same states once released.
TEST(FilterPairs, HighPassesHeldByAQuadMatchTheQuadEntryPoint) {
    const WideLanes wideLanes;
    if (!TAV_WIDE_LANES || !lanes::wide()) GTEST_SKIP() << "four lanes only here";
    initFilterTables();
    THPFilter ref[4], hp[4];
    std::vector<Source> src;
    for (int v = 0; v < 4; ++v) {
        ref[v].init(kRate);
        hp[v].init(kRate);
        src.emplace_back(v);
    }
    HeldMultimode held;
    THPFilter* const f[4] = {&hp[0], &hp[1], &hp[2], &hp[3]};
    int takes = 0;
    for (int n = 0; n < 900; ++n) {
        if (n == 500) ref[2].reset(), hp[2].reset();
        if ((held.highPassHeld & 1) == 0) {
            held.takeHighPass(0, f, HeldMultimode::key(0, 1, 2, 3));
            ++takes;
        }
        stereoOverStruct in[4];
        for (int v = 0; v < 4; ++v) {
            in[v] = src[v].next();
            const float mod = 0.1f * (float)((n / 150 + v) % 3), q = v == 1 ? 0.8f : 0.2f;
            ref[v].prepareNote(0.3f, mod, q);
            hp[v].prepareNote(0.3f, mod, q);
        }
        HeldMultimode::highPassUpdated(held.quad[0]);
        Lanes4 a[2][2], b[2][2];
        for (auto* l : {&a, &b}) {
            filtermath::loadNotePair(in[0], in[1], (*l)[0]);
            filtermath::loadNotePair(in[2], in[3], (*l)[1]);
        }
        THPFilter::runNoteQuad(ref[0], ref[1], ref[2], ref[3], a[0], a[1]);
        HeldMultimode::highPass(held.quad[0], b[0], b[1]);
        ASSERT_EQ(0, std::memcmp(a, b, sizeof a)) << "sample " << n;
    }
    held.release();
    EXPECT_EQ(0u, held.highPassHeld);
    EXPECT_EQ(2, takes);
    for (int v = 0; v < 4; ++v)
        EXPECT_EQ(0, std::memcmp(ref[v].stateBegin(), hp[v].stateBegin(),
                                 sizeof(float) * (ref[v].stateEnd() - ref[v].stateBegin())));
}

}  // namespace

// Four voices' Wire chains held in a quad's lanes from one sample to the next against
// process() one voice at a time, with envelopes (standing now and then), modulation,
// resonance and the band-pass's switch moving; a reset and a process() call on held filters give the states back first,
// and the quad takes them again.
TEST(FilterPairs, WireQuadMatchesProcessAcrossReleases) {
    const WideLanes wideLanes;
    if (!TAV_WIDE_LANES || !lanes::wide()) GTEST_SKIP() << "four lanes only here";
    initFilterTables();
    TBPFilter bp[2][4];
    TLPFilter lp[2][4];
    THPFilter hp[2][4];
    std::vector<Source> src;
    for (int v = 0; v < 4; ++v) {
        for (int k = 0; k < 2; ++k) {
            bp[k][v].init(kRate);
            lp[k][v].init(kRate);
            hp[k][v].init(kRate);
        }
        src.emplace_back(v);
    }
    WireQuads held;
    const int32_t voices[4] = {0, 2, 1, 3};
    TBPFilter* const bpq[4] = {&bp[1][0], &bp[1][1], &bp[1][2], &bp[1][3]};
    TLPFilter* const lpq[4] = {&lp[1][0], &lp[1][1], &lp[1][2], &lp[1][3]};
    THPFilter* const hpq[4] = {&hp[1][0], &hp[1][1], &hp[1][2], &hp[1][3]};
    const float seps[4] = {1.0f, 1.2f, 0.8f, 1.0f};
    int takes = 0;
    for (int n = 0; n < 1600; ++n) {
        float mods[4], qs[4];
        stereoOverStruct io[2][4];
        const bool wireOn = n % 400 < 330;  // the band-pass off now and then
        // and its envelope standing before that, its modulation moving once meanwhile
        const int at = n % 400 >= 250 && n % 400 < 330 ? n - n % 400 + 250 : n;
        for (int v = 0; v < 4; ++v) {
            mods[v] = 0.05f * (float)v + 0.1f * (float)(n / 400) +
                      (n % 400 >= 290 ? 0.01f : 0.0f);
            qs[v] = (n / 300 + v) % 2 ? 0.2f : 0.9f;
            io[0][v] = io[1][v] = src[v].next();
            for (int k = 0; k < 2; ++k) {
                if (n == 700 && v == 2) bp[k][v].reset();
                bp[k][v].setEnv(0, 0.3f * std::sin(0.01f * (float)(at + 50 * v)));
                lp[k][v].setEnv(0, n < 1000 ? 0.1f : 0.2f * std::sin(0.02f * (float)n));
            }
        }
        const auto chain = [&](int k, int v) {
            stereoOverStruct band, low;
            bp[k][v].process(wireOn, {0.15f, 0.15f}, mods[v], seps[v], qs[v], 1, &io[k][v],
                             &band);
            lp[k][v].process(0.4f, mods[v], qs[v], 1, &band, &low);
            hp[k][v].process(0.2f, mods[v], qs[v], 1, &low, &io[k][v]);
        };
        for (int v = 0; v < 4; ++v) chain(0, v);
        if (n == 1200 || n >= 1500) {
            for (int v = 0; v < 4; ++v) chain(1, v);  // alone, as voices of many notes
            ASSERT_FALSE(held.live());
        } else {
            if (!held.live()) {
                held.take(0, voices, bpq, lpq, hpq);
                ++takes;
            }
            Lanes4 lanes[2][2];
            for (int p = 0; p < 2; ++p)
                filtermath::loadNotePair(io[1][2 * p], io[1][2 * p + 1], lanes[p]);
            // on even samples (as when a resonance moves) the band-pass maps of all quads in
            // one call (the quad's voices' records and destination rows hold their
            // separation and resonance, and mod), the quads it leaves prepared one by one
            struct { float sep, q; } rec[4];
            for (int v = 0; v < 4; ++v) {
                rec[v] = {seps[v], qs[v]};
                held.quad[0].owner[v] = &rec[v];
                held.quad[0].dest[v] = &mods[v];
            }
            int bpMoved = wireOn ? 0 : WireQuads::kNoBandPass;
            if (wireOn && (n % 2 == 1 || held.mapBandPasses(1, {0.15f, 0.15f}, 0, 0)))
                bpMoved = TBPFilter::prepareNoteQuad(bp[1][0], bp[1][1], bp[1][2], bp[1][3],
                                                     {0.15f, 0.15f}, mods, seps, qs, &held, 0);
            const bool lpMoved =
                TLPFilter::prepareNoteQuad(lp[1][0], lp[1][1], lp[1][2], lp[1][3], 0.4f, mods, qs,
                                           &held, 0);
            for (int v = 0; v < 4; ++v) hp[1][v].prepareNote(0.2f, mods[v], qs[v]);
            held.takeDue(0, bpMoved, lpMoved, true);
            held.runChains(1, wireOn, lanes);
            for (int p = 0; p < 2; ++p)
                filtermath::storeNotePair(lanes[p], io[1][2 * p], io[1][2 * p + 1]);
        }
        for (int v = 0; v < 4; ++v)
            ASSERT_TRUE(sameBits(io[0][v], io[1][v])) << "voice " << v << " sample " << n;
        if (held.live() && n % 100 == 50) {
            // the cutoff map's values the quad keeps, back in its filters, as process() left
            // them in the filters run alone
            held.syncBandPass(0);
            held.syncLowPass(0);
            for (int v = 0; v < 4; ++v) {
                for (int lane = 0; lane < 4; ++lane)
                    ASSERT_EQ(bp[0][v].getLaneCutoff(lane), bp[1][v].getLaneCutoff(lane))
                        << "voice " << v << " lane " << lane << " sample " << n;
                ASSERT_EQ(lp[0][v].getCopyCutoff(0), lp[1][v].getCopyCutoff(0)) << v << " " << n;
            }
        }
    }
    EXPECT_EQ(3, takes);  // at the start, after the reset and after the lone run
}
