// The filters' pair and quad entry points (two or four single-note voices side by side in
// one vector) and the skipping of repeated coefficient updates: both must give, sample for
// sample and bit for bit, what a plain process() call per voice gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "test_filters_util.h"

namespace {

constexpr float kRate = 48000.0f;

// A reproducible test signal: a detuned saw and noise per voice, different on each side.
struct Source {
    uint32_t seed;
    float phase = 0.0f;
    float step;
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

bool sameBits(const stereoOverStruct& a, const stereoOverStruct& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Per-voice arguments that change over time: each voice's own envelope sweep, a parameter
// step half way, and a voice reset at a third.
struct Args {
    float env, mod, q, sep, cutoff;
};
Args argsAt(int voice, int n) {
    Args a;
    a.env = 0.3f * std::sin(0.002f * (float)n * (1.0f + 0.3f * (float)voice));
    if (n > 1500 && n < 2500) a.env = 0.1f;  // held still: the settled case
    a.mod = n < 2000 ? 0.0f : 0.05f * (float)(voice % 3);
    a.q = voice % 2 ? 0.3f : 0.8f;
    a.sep = 1.0f + 0.1f * (float)voice;
    a.cutoff = 0.4f + 0.05f * (float)voice;
    return a;
}

constexpr int kVoices = 7;  // odd: a quad, a pair and one voice alone
constexpr int kSamples = 4000;

}  // namespace

TEST(FilterPairs, LayerFiltersInPairsAndQuadsMatchProcessBitForBit) {
    initFilterTables();
    std::vector<TBPFilter> bpRef(kVoices), bp(kVoices);
    std::vector<TLPFilter> lpRef(kVoices), lp(kVoices);
    std::vector<THPFilter> hpRef(kVoices), hp(kVoices);
    for (int v = 0; v < kVoices; ++v) {
        for (TBPFilter* f : {&bpRef[v], &bp[v]}) {
            f->init(kRate);
            f->setTrack(0.5f, 0.1f * (float)v);
            f->setVel(0.4f, 0.6f);
        }
        for (TLPFilter* f : {&lpRef[v], &lp[v]}) {
            f->init(kRate);
            f->setTrack(-0.3f, 0.1f * (float)v);
        }
        hpRef[v].init(kRate);
        hp[v].init(kRate);
    }
    std::vector<Source> srcRef, src;
    for (int v = 0; v < kVoices; ++v) {
        srcRef.emplace_back(v);
        src.emplace_back(v);
    }
    double energy = 0.0;
    for (int n = 0; n < kSamples; ++n) {
        if (n == kSamples / 3) {
            bpRef[2].reset();
            bp[2].reset();
            lpRef[5].reset();
            lp[5].reset();
            hpRef[6].reset();
            hp[6].reset();
        }
        if (n == 3000) {
            bpRef[1].setTrack(0.9f, 0.2f);
            bp[1].setTrack(0.9f, 0.2f);
            lpRef[4].setVel(0.5f, 0.1f);
            lp[4].setVel(0.5f, 0.1f);
        }
        // Reference: process() per voice, band-pass, low-pass, high-pass in turn.
        stereoOverStruct ref[kVoices];
        for (int v = 0; v < kVoices; ++v) {
            const Args a = argsAt(v, n);
            const stereoOverStruct in = srcRef[v].next();
            stereoOverStruct band, low;
            bpRef[v].setEnv(0, a.env);
            lpRef[v].setEnv(0, -a.env);
            bpRef[v].process(true, {0.15f, 0.15f}, a.mod, a.sep, a.q, 1, &in, &band);
            lpRef[v].process(a.cutoff, a.mod, a.q, 1, &band, &low);
            hpRef[v].process(0.2f, a.mod, a.q, 1, &low, &ref[v]);
        }
        // The same through the batch entry points: voices 0-3 as a quad, 4-5 as a pair,
        // voice 6 alone.
        stereoOverStruct out[kVoices];
        for (int v = 0; v < kVoices; ++v) {
            out[v] = src[v].next();
            const Args a = argsAt(v, n);
            bp[v].setEnv(0, a.env);
            lp[v].setEnv(0, -a.env);
        }
        Lanes4 lanes[3][2];
        for (int p = 0; p < 3; ++p) filtermath::loadNotePair(out[2 * p], out[2 * p + 1], lanes[p]);
        for (int v = 0; v < 6; ++v) {
            const Args a = argsAt(v, n);
            bp[v].prepareNote({0.15f, 0.15f}, a.mod, a.sep, a.q);
        }
        TBPFilter::runNoteQuad(bp[0], bp[1], bp[2], bp[3], lanes[0], lanes[1]);
        TBPFilter::runNotePair(bp[4], bp[5], lanes[2]);
        for (int v = 0; v < 6; ++v) {
            const Args a = argsAt(v, n);
            lp[v].prepareNote(a.cutoff, a.mod, a.q);
        }
        TLPFilter::runNoteQuad(lp[0], lp[1], lp[2], lp[3], lanes[0], lanes[1]);
        TLPFilter::runNotePair(lp[4], lp[5], lanes[2]);
        for (int v = 0; v < 6; ++v) {
            const Args a = argsAt(v, n);
            hp[v].prepareNote(0.2f, a.mod, a.q);
        }
        THPFilter::runNoteQuad(hp[0], hp[1], hp[2], hp[3], lanes[0], lanes[1]);
        THPFilter::runNotePair(hp[4], hp[5], lanes[2]);
        for (int p = 0; p < 3; ++p) filtermath::storeNotePair(lanes[p], out[2 * p], out[2 * p + 1]);
        {
            const Args a = argsAt(6, n);
            stereoOverStruct band, low;
            bp[6].process(true, {0.15f, 0.15f}, a.mod, a.sep, a.q, 1, &out[6], &band);
            lp[6].process(a.cutoff, a.mod, a.q, 1, &band, &low);
            hp[6].process(0.2f, a.mod, a.q, 1, &low, &out[6]);
        }
        for (int v = 0; v < kVoices; ++v) {
            ASSERT_TRUE(sameBits(ref[v], out[v])) << "voice " << v << " sample " << n;
            energy += (double)ref[v].sub[1].right * ref[v].sub[1].right;
        }
    }
    // The comparison saw sound, not silence.
    EXPECT_GT(energy / (kVoices * kSamples), 1e-4);
}

TEST(FilterPairs, MultimodeFilterInPairsAndQuadsMatchesProcessInEveryMode) {
    initFilterTables();
    constexpr int kN = 6;  // voices 0-3 as a quad when they can, 4-5 as a pair
    for (int mode = 0; mode < kFilterModeCount; ++mode) {
        std::vector<std::unique_ptr<TFilter>> ref, batch;
        for (int v = 0; v < kN; ++v) {
            ref.push_back(std::make_unique<TFilter>());
            batch.push_back(std::make_unique<TFilter>());
            for (TFilter* f : {ref.back().get(), batch.back().get()}) {
                f->init(kRate);
                // Voice 5 runs another mode, so that its pair cannot run side by side.
                f->setType(v == 5 ? (mode + 7) % kFilterModeCount : mode, true);
                f->setTrack(0.4f, 0.1f * (float)v);
                f->setVel(0.3f, 0.8f);
            }
        }
        std::vector<Source> srcRef, src;
        for (int v = 0; v < kN; ++v) {
            srcRef.emplace_back(v);
            src.emplace_back(v);
        }
        double energy = 0.0;
        int quads = 0;
        for (int n = 0; n < 1500; ++n) {
            // Voice 1 morphs away (other output taps than voice 0 in some zero-delay modes).
            const float morph[kN] = {0.2f, n < 700 ? 0.2f : 0.7f, 0.2f, 0.2f, 0.5f, 0.5f};
            stereoOverStruct r[kN], o[kN];
            for (int v = 0; v < kN; ++v) {
                const Args a = argsAt(v, n);
                ref[v]->setEnv(0, a.env);
                batch[v]->setEnv(0, a.env);
                const stereoOverStruct in = srcRef[v].next();
                ref[v]->process({a.cutoff, a.cutoff}, {a.mod, a.mod}, a.sep, a.q, morph[v], 1, &in,
                                &r[v]);
                o[v] = src[v].next();
            }
            bool run[kN];
            for (int v = 0; v < kN; ++v) {
                const Args a = argsAt(v, n);
                run[v] = batch[v]->prepareNote({a.cutoff, a.cutoff}, {a.mod, a.mod}, a.sep, a.q,
                                               morph[v], &o[v], &o[v]);
            }
            Lanes4 lanes[3][2];
            bool together[3];
            for (int p = 0; p < 3; ++p) {
                TFilter& fa = *batch[2 * p];
                TFilter& fb = *batch[2 * p + 1];
                together[p] = run[2 * p] && run[2 * p + 1] && TFilter::canRunPair(fa, fb);
                if (!together[p]) {
                    if (run[2 * p]) fa.runNote(&o[2 * p], &o[2 * p]);
                    if (run[2 * p + 1]) fb.runNote(&o[2 * p + 1], &o[2 * p + 1]);
                }
                filtermath::loadNotePair(o[2 * p], o[2 * p + 1], lanes[p]);
            }
            if (together[0] && together[1] && TFilter::canRunPair(*batch[0], *batch[2])) {
                TFilter::runNoteQuad(*batch[0], *batch[1], *batch[2], *batch[3], lanes[0],
                                     lanes[1]);
                ++quads;
            } else {
                for (int p = 0; p < 2; ++p)
                    if (together[p]) TFilter::runNotePair(*batch[2 * p], *batch[2 * p + 1], lanes[p]);
            }
            if (together[2]) TFilter::runNotePair(*batch[4], *batch[5], lanes[2]);
            for (int p = 0; p < 3; ++p) filtermath::storeNotePair(lanes[p], o[2 * p], o[2 * p + 1]);
            for (int v = 0; v < kN; ++v) {
                ASSERT_TRUE(sameBits(r[v], o[v])) << "mode " << mode << " voice " << v << " sample " << n;
                energy += (double)r[v].sub[0].left * r[v].sub[0].left;
            }
        }
        EXPECT_GT(energy, 1e-6) << "mode " << mode;
        // Every filtering mode ran as a quad for a good part of the time, but the combs
        // (never side by side) and ring and amplitude modulation (whose depth is each
        // voice's resonance, different here between neighbours).
        const bool pairs = mode != kFilterBypass && mode < kFilterCombPositive;
        if (pairs) {
            EXPECT_GT(quads, 600) << "mode " << mode;
        }
    }
}

// A filter is given the same arguments again and again, so it skips its coefficient
// updates; a twin is given arguments that differ bit for bit but not in value (a zero
// modulation of either sign), so it never skips. Whatever changes the filter in between
// (an envelope value, tracking, a mode change, a reset) must reach both alike.
TEST(FilterPairs, SkippedUpdatesNeverMissAChange) {
    initFilterTables();
    for (int mode : {3, 15, 19, 25, 27, 29, 30, 33}) {
        TFilter* settled = new TFilter;
        TFilter* busy = new TFilter;
        std::unique_ptr<TFilter> guardA(settled), guardB(busy);
        TBPFilter bpSettled, bpBusy;
        TLPFilter lpSettled, lpBusy;
        THPFilter hpSettled, hpBusy;
        for (TFilter* f : {settled, busy}) {
            f->init(kRate);
            f->setType(mode, true);
        }
        for (TBPFilter* f : {&bpSettled, &bpBusy}) f->init(kRate);
        for (TLPFilter* f : {&lpSettled, &lpBusy}) f->init(kRate);
        for (THPFilter* f : {&hpSettled, &hpBusy}) f->init(kRate);
        Source srcA(1), srcB(1);
        for (int n = 0; n < 3000; ++n) {
            // The changes, each applied to both twins.
            const auto both = [&](auto&& change) {
                change(*settled, bpSettled, lpSettled, hpSettled);
                change(*busy, bpBusy, lpBusy, hpBusy);
            };
            if (n % 500 == 100)
                both([&](TFilter& f, TBPFilter& b, TLPFilter& l, THPFilter&) {
                    const float e = 0.1f * (float)(n / 500);
                    f.setEnv(0, e);
                    b.setEnv(0, -e);
                    l.setEnv(0, e);
                });
            if (n == 700)
                both([&](TFilter& f, TBPFilter& b, TLPFilter& l, THPFilter&) {
                    f.setTrack(0.5f, 0.3f);
                    b.setVel(0.8f, 0.2f);
                    l.setTrack(-0.5f, 0.4f);
                });
            if (n == 1300) both([&](TFilter& f, TBPFilter&, TLPFilter&, THPFilter&) { f.setType(16, false); });
            if (n == 1700) both([&](TFilter& f, TBPFilter&, TLPFilter&, THPFilter&) { f.setDirect(); });
            if (n == 2100)
                both([&](TFilter& f, TBPFilter& b, TLPFilter& l, THPFilter& h) {
                    f.reset();
                    b.reset();
                    l.reset();
                    h.reset();
                });
            if (n == 2500) both([&](TFilter& f, TBPFilter&, TLPFilter&, THPFilter&) { f.setVel(0.7f, 0.9f); });
            const float zero = (n & 1) ? -0.0f : 0.0f;
            const stereoOverStruct inA = srcA.next(), inB = srcB.next();
            stereoOverStruct a1, a2, a3, a4, b1, b2, b3, b4;
            settled->process({0.5f, 0.5f}, {0.0f, 0.0f}, 1.1f, 0.6f, 0.3f, 1, &inA, &a1);
            busy->process({0.5f, 0.5f}, {zero, zero}, 1.1f, 0.6f, 0.3f, 1, &inB, &b1);
            bpSettled.process(true, {0.3f, 0.3f}, 0.0f, 1.2f, 0.5f, 1, &a1, &a2);
            bpBusy.process(true, {0.3f, 0.3f}, zero, 1.2f, 0.5f, 1, &b1, &b2);
            lpSettled.process(0.6f, 0.0f, 0.4f, 1, &a2, &a3);
            lpBusy.process(0.6f, zero, 0.4f, 1, &b2, &b3);
            hpSettled.process(0.1f, 0.0f, 0.2f, 1, &a3, &a4);
            hpBusy.process(0.1f, zero, 0.2f, 1, &b3, &b4);
            ASSERT_TRUE(sameBits(a1, b1)) << "multimode, mode " << mode << " sample " << n;
            ASSERT_TRUE(sameBits(a4, b4)) << "layer filters, mode " << mode << " sample " << n;
        }
    }
}

// The one-note updates keep values between calls (the band-pass side gains, the table
// entries the coefficients were read from). Separations of +0, -0 and NaN (whose side gains
// differ in sign or compare unequal), resonance and tracking steps, and calls of two notes
// through process() in between must all leave the pair path where process() alone is.
TEST(FilterPairs, OneNoteUpdatesFollowSeparationResonanceAndNoteCountChanges) {
    initFilterTables();
    constexpr int kN = 2;
    TBPFilter bpRef[kN], bp[kN];
    TLPFilter lpRef[kN], lp[kN];
    for (int v = 0; v < kN; ++v) {
        for (TBPFilter* f : {&bpRef[v], &bp[v]}) f->init(kRate);
        for (TLPFilter* f : {&lpRef[v], &lp[v]}) f->init(kRate);
    }
    const float seps[] = {1.0f, 0.0f, -0.0f, 0.0f, std::nanf(""), 1.5f, -0.0f, 0.7f};
    Source srcRef[kN] = {Source(0), Source(1)}, src[kN] = {Source(0), Source(1)};
    double energy = 0.0;
    for (int n = 0; n < 3200; ++n) {
        const float sep = seps[(n / 50) % 8];
        const float q = (n / 300) % 2 ? 0.2f : 0.9f;
        // Slow sweeps: many consecutive samples stay within one table entry.
        const float env = 0.2f * std::sin(0.0005f * (float)n);
        const bool twoNotes = (n / 170) % 5 == 4;
        if (n % 700 == 350)
            for (int v = 0; v < kN; ++v) {
                bpRef[v].setTrack(0.6f, 0.05f * (float)(n / 700 + v));
                bp[v].setTrack(0.6f, 0.05f * (float)(n / 700 + v));
                lpRef[v].setTrack(-0.4f, 0.05f * (float)(n / 700 + v));
                lp[v].setTrack(-0.4f, 0.05f * (float)(n / 700 + v));
            }
        stereoOverStruct ref[kN], out[kN];
        for (int v = 0; v < kN; ++v) {
            const float e = env + 0.03f * (float)v;
            for (TBPFilter* f : {&bpRef[v], &bp[v]}) {
                f->setEnv(0, e);
                f->setEnv(1, -e);
            }
            for (TLPFilter* f : {&lpRef[v], &lp[v]}) {
                f->setEnv(0, -e);
                f->setEnv(1, e);
            }
        }
        if (twoNotes) {
            // Both through process() with two notes; the second note's result is dropped.
            for (int v = 0; v < kN; ++v) {
                TBPFilter* bps[2] = {&bpRef[v], &bp[v]};
                TLPFilter* lps[2] = {&lpRef[v], &lp[v]};
                Source* srcs[2] = {&srcRef[v], &src[v]};
                stereoOverStruct* dst[2] = {&ref[v], &out[v]};
                for (int k = 0; k < 2; ++k) {
                    stereoOverStruct in[2] = {srcs[k]->next(), {}};
                    in[1] = in[0];
                    stereoOverStruct band[2], low[2];
                    bps[k]->process(true, {0.3f, 0.3f}, 0.0f, sep, q, 2, in, band);
                    lps[k]->process(0.45f, 0.0f, q, 2, band, low);
                    *dst[k] = low[0];
                }
            }
        } else {
            for (int v = 0; v < kN; ++v) {
                const stereoOverStruct in = srcRef[v].next();
                stereoOverStruct band;
                bpRef[v].process(true, {0.3f, 0.3f}, 0.0f, sep, q, 1, &in, &band);
                lpRef[v].process(0.45f, 0.0f, q, 1, &band, &ref[v]);
                out[v] = src[v].next();
            }
            Lanes4 lanes[2];
            filtermath::loadNotePair(out[0], out[1], lanes);
            for (int v = 0; v < kN; ++v) bp[v].prepareNote({0.3f, 0.3f}, 0.0f, sep, q);
            TBPFilter::runNotePair(bp[0], bp[1], lanes);
            for (int v = 0; v < kN; ++v) lp[v].prepareNote(0.45f, 0.0f, q);
            TLPFilter::runNotePair(lp[0], lp[1], lanes);
            filtermath::storeNotePair(lanes, out[0], out[1]);
        }
        for (int v = 0; v < kN; ++v) {
            ASSERT_TRUE(sameBits(ref[v], out[v])) << "voice " << v << " sample " << n;
            for (int k = 0; k < kFilterLanes; ++k)
                ASSERT_EQ(bpRef[v].getLaneCutoff(k), bp[v].getLaneCutoff(k)) << "lane " << k;
            energy += std::isfinite(ref[v].sub[0].left) ? (double)ref[v].sub[0].left * ref[v].sub[0].left : 0.0;
        }
        // The side gains follow the separation, also where only its sign changed: 20 k / sep
        // on the left is +inf (held at the ceiling) for +0 and -inf (held at 0) for -0.
        if (!twoNotes && n % 50 == 49) {
            const float left = bp[0].getLaneCutoff(0), right = bp[0].getLaneCutoff(1);
            if (sep == 0.0f) {
                EXPECT_EQ(left, std::signbit(sep) ? 0.0f : 0.4f * kRate) << "sample " << n;
                EXPECT_EQ(right, 0.0f) << "sample " << n;
            } else if (std::isfinite(sep)) {
                EXPECT_NEAR(right / left, sep * sep, 1e-4f * sep * sep) << "sample " << n;
            }
        }
    }
    EXPECT_GT(energy, 1e-3);
}
