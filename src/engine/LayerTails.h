// The layers' tails (amp, volume, chord gains and pan into the layer's sum), part of
// uPluginLayerFinish.cpp: included there, inside its unnamed namespace, after the helpers
// it uses (clamp01, the main volume and pan copies), for the filters that precede them.
#pragma once

#if TAV_WIDE_LANES
// The doubles at base[rows[i]], each as its float, in eight lanes: loaded one by one (the
// tails took less time so than with masked gathers of the same, though with more
// instructions).
__attribute__((always_inline, target("avx2"))) inline __m256 levelsLoaded(const double* base,
                                                                         const int32_t* rows) {
    const __m128d a = _mm_loadh_pd(_mm_load_sd(base + rows[0]), base + rows[1]);
    const __m128d b = _mm_loadh_pd(_mm_load_sd(base + rows[2]), base + rows[3]);
    const __m128d c = _mm_loadh_pd(_mm_load_sd(base + rows[4]), base + rows[5]);
    const __m128d d = _mm_loadh_pd(_mm_load_sd(base + rows[6]), base + rows[7]);
    const __m128 l = _mm256_cvtpd_ps(_mm256_insertf128_pd(_mm256_castpd128_pd256(a), b, 1));
    const __m128 h = _mm256_cvtpd_ps(_mm256_insertf128_pd(_mm256_castpd128_pd256(c), d, 1));
    return _mm256_insertf128_ps(_mm256_castps128_ps256(l), h, 1);
}
#endif

// The tail of every layer, after its filters: each started note times its amp, volume and
// velocity gains, its chord gains and the layer pan, summed into the layer's output.
// The sum is kept as four lanes (left 0, right 0, left 1, right 1) by the caller over all
// voices of the layer; each lane adds its products in voice order, as one float would.
// What stands still over the layer's voices (the pan parameter with the main pan, the
// layer volume) comes in once per layer: panBase = 2 pan - 1 + main pan, the first two
// terms of the voice's pan sum in their order.
struct LayerTailParams {
    float panBase;
    float volGain;
    int vol;     // the slot of the layer's volume destination's copy (its pan's is next)
    int volEnv;  // the place of the layer's volume envelope (ENV_RUN_PLACE)
};
inline void layerTail(const APlugin& p, const LayerTailParams& t, int L, int v, int count,
                      Lanes4& sum) {
    const float* dest = p.modDestVoice[v];
    const float gain = t.volGain * p.layerVelGain[L][v] * dest[t.vol] * dest[DEST_VOLUME];
    // gl = amp x chord gain left x pan left, gr the same on the right: per lane the same
    // two products in the same order.
#if defined(__SSE2__)
    // clamp01 as maxps and minps in every lane (x > 0 ? x : 0, then < 1 ? : 1: NaN and -0
    // give +0 as there), and the sides min(1, 2 - 2 pan) and min(1, 2 pan) in one vector:
    // 0 - (-2 pan) is 2 pan exactly.
    const __m128 pan = _mm_min_ps(
        _mm_max_ps(_mm_set1_ps(t.panBase + dest[DEST_PAN] + dest[t.vol + 1]), _mm_setzero_ps()),
        _mm_set1_ps(1.0f));
    const __m128 twice = _mm_add_ps(pan, pan);
    const __m128 sides = _mm_sub_ps(_mm_setr_ps(2.0f, 0.0f, 2.0f, 0.0f),
                                    _mm_xor_ps(twice, _mm_setr_ps(0.0f, -0.0f, 0.0f, -0.0f)));
    const Lanes4 panLanes = (Lanes4)_mm_min_ps(sides, _mm_set1_ps(1.0f));
#else
    const float pan = clamp01(t.panBase + dest[DEST_PAN] + dest[t.vol + 1]);
    const float panL = std::min(1.0f, 2.0f - 2.0f * pan);
    const float panR = std::min(1.0f, 2.0f * pan);
    const Lanes4 panLanes{panL, panR, panL, panR};
#endif
    const auto& run = p.env.work.run[v];
    const int32_t* age = p.voiceElemAge[v];
    const float(*elemGain)[2] = p.voiceElemGain[v];
    const stereoOverStruct* out = p.noteOut[L][v];
    const auto note = [&](int i) __attribute__((always_inline)) {
        if (age[i] < 0) return;
        const float amp = (float)run[i][kAmpRunPlace] * (float)run[i][t.volEnv] * gain;
        // the note's two chord gains, twice: one 64-bit load, repeated
#if defined(__SSE2__)
        double gains;
        std::memcpy(&gains, elemGain[i], sizeof gains);
        const Lanes4 chord = (Lanes4)_mm_castpd_ps(_mm_set1_pd(gains));
#else
        const Lanes4 chord{elemGain[i][0], elemGain[i][1], elemGain[i][0], elemGain[i][1]};
#endif
        const Lanes4 g = filtermath::splat(amp) * chord * panLanes;
        Lanes4 r;
        std::memcpy(&r, &out[i], sizeof r);
        sum += r * g + 1e-15f;
    };
    if (count == 1) {
        note(0);  // the common case, without the loop
        return;
    }
    for (int i = 0; i < count; ++i) note(i);
}

// The layer's tail inputs (see LayerTailParams); where the layer's own inputs of its kept
// levels moved (see TTailLevels), no voice's stands any longer.
__attribute__((noinline, cold)) void dropLayerTailLevels(TTailLevels& kept, uint32_t panBase,
                                                         uint32_t volGain) {
    for (TTailLevels::Voice& v : kept.voice) v.fresh = 0;
    kept.panBase = panBase;
    kept.volGain = volGain;
    kept.dropped = ~0u;
}
inline LayerTailParams tailParams(APlugin& p, int layer) {
    const LayerTailParams t{2.0f * p.paramValue[PAN_TAGS[layer]] - 1.0f + p.mainPanSmooth,
                            p.layerVolGain[layer], hotLayerSlot(layer, kHotVol),
                            ENV_RUN_PLACE[ENV_VOL[layer]]};
    uint32_t panBase, volGain;
    std::memcpy(&panBase, &t.panBase, sizeof panBase);
    std::memcpy(&volGain, &t.volGain, sizeof volGain);
    TTailLevels& kept = p.tailLevels[layer];
    if (__builtin_expect(((panBase ^ kept.panBase) | (volGain ^ kept.volGain)) != 0, 0))
        dropLayerTailLevels(kept, panBase, volGain);
    return t;
}
static_assert(kTailVoices == kNumVoices, "a kept level for every voice");

#if defined(__SSE2__)
// pairGains()'s standing part of voices a and b computed anew and kept: {left, right, gain,
// fresh} of each (la, lb), each lane as pairGains() formed it before it kept any. A voice's
// are fresh only once its note has started: a start clears them (dropTailLevels) and ages
// only grow, so a pair whose two are fresh has both notes sounding, without a look at
// their ages.
__attribute__((noinline, cold)) void keepPairLevels(APlugin& p, const LayerTailParams& t, int L,
                                                    int a, int b, const float* da,
                                                    const float* db, __m128& la, __m128& lb) {
    // {a, b} of one value from each voice, in lanes 0 and 1
    const auto two = [](const float* x, const float* y) __attribute__((always_inline)) {
        return _mm_unpacklo_ps(_mm_load_ss(x), _mm_load_ss(y));
    };
    // the layer's volume and pan of each voice, and its main volume and pan (each two
    // neighbouring copies), one eight-byte load each: {a volume, b volume, a pan, b pan}
    const auto neighbours = [](const float* x) __attribute__((always_inline)) {
        return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(x)));
    };
    const __m128 d50 = _mm_unpacklo_ps(neighbours(&da[t.vol]), neighbours(&db[t.vol]));
    const __m128 d1 = _mm_unpacklo_ps(neighbours(&da[DEST_VOLUME]), neighbours(&db[DEST_VOLUME]));
    // (the lanes past the first two of the gain products are not used, nor the first two
    // of the pan sums)
    const __m128 gain = _mm_mul_ps(
        _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(t.volGain),
                              two(&p.layerVelGain[L][a], &p.layerVelGain[L][b])),
                   d50),
        d1);
    // the pans clamped as in layerTail(), then each voice's two sides
    const __m128 pan = _mm_min_ps(
        _mm_max_ps(_mm_add_ps(_mm_add_ps(_mm_set1_ps(t.panBase), d1), d50), _mm_setzero_ps()),
        _mm_set1_ps(1.0f));
    const __m128 twice = _mm_add_ps(pan, pan);
    const __m128 sides = _mm_sub_ps(_mm_setr_ps(2.0f, 0.0f, 2.0f, 0.0f),
                                    _mm_xor_ps(_mm_unpackhi_ps(twice, twice),
                                               _mm_setr_ps(0.0f, -0.0f, 0.0f, -0.0f)));
    const __m128 levels = _mm_min_ps(sides, _mm_set1_ps(1.0f));
    // {a gain, fresh, b gain, fresh}
    const __m128i fresh = _mm_setr_epi32(p.voiceElemAge[a][0] >= 0 ? -1 : 0,
                                         p.voiceElemAge[b][0] >= 0 ? -1 : 0, 0, 0);
    const __m128 gains = _mm_unpacklo_ps(gain, _mm_castsi128_ps(fresh));
    la = _mm_shuffle_ps(levels, gains, _MM_SHUFFLE(1, 0, 1, 0));
    lb = _mm_shuffle_ps(levels, gains, _MM_SHUFFLE(3, 2, 3, 2));
    TTailLevels::Voice* const kept = p.tailLevels[L].voice;
    _mm_store_ps(&kept[a].panL, la);
    _mm_store_ps(&kept[b].panL, lb);
}
#endif

// layerTail()'s gains of two voices of one note (a and b), side by side: {a left, a right,
// b left, b right}, each lane the product layerTail() forms, in its order. The two voices'
// gains share one vector (a's in the low lanes, b's in the high ones). da and db: the
// voices' destinations. What stands of it (each voice's gain before its envelope levels,
// and its pan's sides) is kept in the layer's TTailLevels while it does; started: both were
// kept and fresh (both notes sound).
inline Lanes4 pairGains(APlugin& p, const LayerTailParams& t, int L, int a, int b,
                        const float* da, const float* db, bool& started) {
    const double* runA = p.env.work.run[a][0];
    const double* runB = p.env.work.run[b][0];
#if defined(__SSE2__)
    const auto twoDoubles = [](const double* x, const double* y)
                                __attribute__((always_inline)) {
        return _mm_cvtpd_ps(_mm_loadh_pd(_mm_load_sd(x), y));
    };
    // {a left, a right, a gain, a fresh} and b's the same
    TTailLevels::Voice* const kept = p.tailLevels[L].voice;
    __m128 la = _mm_load_ps(&kept[a].panL);
    __m128 lb = _mm_load_ps(&kept[b].panL);
    started = _mm_movemask_ps(_mm_and_ps(la, lb)) & 8;
    if (__builtin_expect(!started, 0)) keepPairLevels(p, t, L, a, b, da, db, la, lb);
    const __m128 amps = _mm_mul_ps(
        _mm_mul_ps(twoDoubles(&runA[kAmpRunPlace], &runB[kAmpRunPlace]),
                   twoDoubles(&runA[t.volEnv], &runB[t.volEnv])),
        _mm_unpackhi_ps(la, lb));  // (the lanes past the first two are not used)
    const Lanes4 amp = (Lanes4)_mm_unpacklo_ps(amps, amps);
    const Lanes4 panLanes = (Lanes4)_mm_movelh_ps(la, lb);
    const Lanes4 chord = (Lanes4)_mm_loadh_pi(
        _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p.voiceElemGain[a][0]))),
        reinterpret_cast<const __m64*>(p.voiceElemGain[b][0]));
#else
    started = false;
    const float gainA = t.volGain * p.layerVelGain[L][a] * da[t.vol] * da[DEST_VOLUME];
    const float gainB = t.volGain * p.layerVelGain[L][b] * db[t.vol] * db[DEST_VOLUME];
    const float ampA = (float)runA[kAmpRunPlace] * (float)runA[t.volEnv] * gainA;
    const float ampB = (float)runB[kAmpRunPlace] * (float)runB[t.volEnv] * gainB;
    const float panA = clamp01(t.panBase + da[DEST_PAN] + da[t.vol + 1]);
    const float panB = clamp01(t.panBase + db[DEST_PAN] + db[t.vol + 1]);
    const Lanes4 panLanes{std::min(1.0f, 2.0f - 2.0f * panA), std::min(1.0f, 2.0f * panA),
                          std::min(1.0f, 2.0f - 2.0f * panB), std::min(1.0f, 2.0f * panB)};
    const Lanes4 amp{ampA, ampA, ampB, ampB};
    const Lanes4 chord{p.voiceElemGain[a][0][0], p.voiceElemGain[a][0][1],
                       p.voiceElemGain[b][0][0], p.voiceElemGain[b][0][1]};
#endif
    return amp * chord * panLanes;
}

// layerTail()'s terms of two voices of one note from their filtered records ra and rb
// (left, right of each sub-sample) and their gains g (pairGains): r x g + 1e-15 lane by
// lane (ca, cb), ready to add to the sum in its place.
inline void pairTerms(Lanes4 g, Lanes4 ra, Lanes4 rb, Lanes4& ca, Lanes4& cb) {
    ca = ra * filtermath::dupLow(g) + 1e-15f;
    cb = rb * filtermath::dupHigh(g) + 1e-15f;
}

// A pair's terms (pairTerms) added to the layer's sum in order, each where its voice's note
// has started (a strummed note waits with a negative age): both have, the rule, known from
// pairGains() (started) without a look at the ages.
inline void addPairTerms(const APlugin& p, int a, int b, bool started, Lanes4 ca, Lanes4 cb,
                         Lanes4& sum) {
    if (__builtin_expect(started, 1)) {
        sum += ca;
        sum += cb;
        return;
    }
    if (p.voiceElemAge[a][0] >= 0) sum += ca;
    if (p.voiceElemAge[b][0] >= 0) sum += cb;
}
