// The FM sound model's per-sample rendering, part of uPluginLayers.cpp: included there,
// inside its unnamed namespace, after the helpers it uses (VoiceCtx, the wavetable readers,
// the phase offsets, the rows' arithmetic), which it shares with the other models.
#pragma once

// FM: two sine operators modulating a wavetable carrier, either both into the carrier
// ("1+2>3") or in a chain ("1>2>3"); phases are 24-bit, the operators read the short sine.
// The settings of an FM layer that stand still over its voices.
struct FMLayer {
    uint32_t chainMask;  // all ones for "1>2>3", else 0
    float vol1, vol2;    // the operators' level gains
    int e1p, e2p, e1v, e2v;  // the operators' pitch and volume envelopes
    int levels;  // the copies of the operators' level destinations, from the layer's first
    FMLayer(const APlugin& p, int L)
        : chainMask(p.layerFMChain[L] != 0 ? ~0u : 0u),
          vol1(p.fm1VolGain[L]),
          vol2(p.fm2VolGain[L]),
          e1p(ENV_RUN_PLACE[ENV_FM_1_PITCH[L]]),
          e2p(ENV_RUN_PLACE[ENV_FM_2_PITCH[L]]),
          e1v(ENV_RUN_PLACE[ENV_FM_1_VOL[L]]),
          e2v(ENV_RUN_PLACE[ENV_FM_2_VOL[L]]),
          levels(hotFMLevelSlot(L, 0) - kLayerDestStride * L) {}
};

// A note's host sample: its operators and carrier over the two sub-samples, its state
// stepped and its record written (a1, a2: the operators' levels; chainMask as FMLayer's).
template <class Reader>
__attribute__((always_inline)) inline void fmNoteSample(TLayerNote& n, const float* sine,
                                                       const Reader& carrier,
                                                       uint32_t chainMask, float a1, float a2,
                                                       uint32_t feedOffset,
                                                       stereoOverStruct& out) {
    // The note's state in locals, stored once below.
    const uint32_t phase = n.phase, inc = n.inc;
    const uint32_t op1 = n.opPhase[0], op2 = n.opPhase[1];
    const uint32_t inc1 = n.opInc[0], inc2 = n.opInc[1];
    float val[2];
    for (int s = 0; s < 2; ++s) {
        const uint32_t ph1 = (op1 + (s ? inc1 : 0u)) & kPhaseMask;
        const uint32_t ph2 = (op2 + (s ? inc2 : 0u)) & kPhaseMask;
        // The operators' offsets keep all 32 bits: every sum they enter is cut to the
        // phase bits before it is read, and the bits above never reach those.
        const uint32_t o1 = wrapTruncF(sine[ph1 >> 12] * a1, ~0u);
        // Chained, operator 1 moves operator 2's phase; else it adds to the carrier's
        // (phase sums wrap, so the order of the terms does not matter).
        const uint32_t ph2m = (ph2 + (o1 & chainMask)) & kPhaseMask;
        const uint32_t o2 = wrapTruncF(a2 * sine[ph2m >> 12], ~0u);
        const uint32_t ph = phase + (s ? inc : 0u) + feedOffset + o2 + (o1 & ~chainMask);
        val[s] = carrier.read(ph);
    }
    n.opPhase[0] = (op1 + 2u * inc1) & kPhaseMask;
    n.opPhase[1] = (op2 + 2u * inc2) & kPhaseMask;
    n.phase = (phase + 2u * inc) & kPhaseMask;
    const float v0 = val[0] * 0.5f, v1 = val[1] * 0.5f;
    n.feedPrev = v0 * v1 * 0.5f;
    storeRecord(out, v0, v1);
}

__attribute__((always_inline)) inline void renderFM(VoiceCtx& x, const FMLayer& fl) {
    APlugin& p = x.p;
    const int L = x.layer;
    const ShapeBlend sb = fmShapeBlend(x.c, x.hot(kHotMix));
    const float phaseDest = x.hot(kHotPhase);
    const uint32_t fixedOffset = fixedPhaseOffset(x.c, phaseDest);
    const FeedOffset feedOffsetOf(x.c.feed, phaseDest, fixedOffset);
    const int32_t* warp =
        x.c.symIndex == kIdentityWarpRow ? nullptr : p.phaseWarpTable[x.c.symIndex];
    const float* sine = p.sinTable4096;
    const float a1Base = p.fmVelGain[L][x.v][0] * fl.vol1 * x.dest[fl.levels];
    const float a2Base = p.fmVelGain[L][x.v][1] * fl.vol2 * x.dest[fl.levels + 1];
    const int e1p = fl.e1p, e2p = fl.e2p;
    const int e1v = fl.e1v, e2v = fl.e2v;
    TLayerNote* const notesOf = x.notes;
    // chained: "1>2>3" (chainMask all ones), a constant in the single note's loops, so that
    // the operators of "1+2>3" read their sines side by side: with the mask a value, operator
    // 2's read waits for operator 1's offset even where the mask then drops it.
    auto notes = [&](auto kind, auto count, auto chained) __attribute__((always_inline)) {
        using Reader = decltype(kind);
        const uint32_t chainMask = chained ? ~0u : 0u;
        for (int i = 0; i < count; ++i) {
            TLayerNote& n = notesOf[i];
            if (x.quarter) {
                const double pef = x.pitchEnvFactor(i);
                const double f1 =
                    x.c.op1PitchEnvAmount == 0.0f
                        ? 1.0
                        : exp2NoteMemo(n, 1, (double)x.envLevel(e1p, i) * x.c.op1PitchEnvAmount);
                const double f2 =
                    x.c.op2PitchEnvAmount == 0.0f
                        ? 1.0
                        : exp2NoteMemo(n, 2, (double)x.envLevel(e2p, i) * x.c.op2PitchEnvAmount);
                n.opInc[0] = toStep(n.opBase[0] * f1 * pef * kPhaseScale);
                n.opInc[1] = toStep(n.opBase[1] * f2 * pef * kPhaseScale);
                n.inc = toStep(x.c.layerIncMod * pef * (double)p.voiceElemRatio[x.v][i]);
            }
            if (!x.started(i)) {
                x.rest(i);
                continue;
            }
            const float a1 = x.envLevel(e1v, i) * a1Base;
            const float a2 = x.envLevel(e2v, i) * a2Base;
            const Reader carrier{warp, shapeTable(p, sb.a, n.band),
                                 shapeTable(p, sb.b, n.band), sb.f};
            fmNoteSample(n, sine, carrier, chainMask, a1, a2, feedOffsetOf(n.feedPrev),
                         x.out[i]);
        }
    };
    withNoteCount(x.count, [&](auto count) __attribute__((always_inline)) {
        withWaveReaderKind(warp, sb.f, [&](auto kind) __attribute__((always_inline)) {
            // (A loop of its own for the usual single note of one shape, unbent, only.)
            constexpr bool usual =
                std::is_same_v<decltype(count), std::integral_constant<int, 1>> &&
                std::is_same_v<decltype(kind), FixedWaveReader<false, false>>;
            if (usual && fl.chainMask == 0u)
                notes(kind, count, std::false_type{});
            else
                notes(kind, count, fl.chainMask != 0u);
        });
    });
}

// What the plain voices of an FM layer (see plainFMVoice) read of the layer.
struct PlainFMLayer {
    int layerStart;             // the layer's first voice row (as in renderModelVoices)
    const float* hot;           // its first hot copy (HotLayerDest) in voice 0's destinations
    const float* levels;        // and its operators' level copies there
    const float (*velGain)[2];  // its operators' velocity gains by voice
    float vol1, vol2;           // its operators' level gains
    int pitchEnv, e1p, e2p, e1v, e2v;  // the places (ENV_RUN_PLACE) of its envelopes
};
inline PlainFMLayer plainFMLayer(APlugin& p, int layer, int layerStart) {
    return {layerStart,
            &p.modDestVoice[0][hotLayerSlot(layer, 0)],
            &p.modDestVoice[0][hotFMLevelSlot(layer, 0)],
            p.fmVelGain[layer],
            p.fm1VolGain[layer],
            p.fm2VolGain[layer],
            ENV_RUN_PLACE[ENV_PITCH[layer]],
            ENV_RUN_PLACE[ENV_FM_1_PITCH[layer]],
            ENV_RUN_PLACE[ENV_FM_2_PITCH[layer]],
            ENV_RUN_PLACE[ENV_FM_1_VOL[layer]],
            ENV_RUN_PLACE[ENV_FM_2_VOL[layer]]};
}

// The steps of a plain FM note (carrier and operators) on its 4-sample step, from its
// envelope levels (levels: its row of them) through its memos; false, having written
// nothing, where a memo misses (exp2NoteMemo would call).
__attribute__((always_inline)) inline bool plainFMQuarter(const TLayerVoice& c, const TLayerNote& n,
                                                          const PlainFMLayer& L,
                                                          const double* levels, double ratio,
                                                          uint32_t& inc, uint32_t& inc1,
                                                          uint32_t& inc2) {
    // (VoiceCtx::pitchEnvFactor and the operators' own, each 1 without its envelope)
    double pef = 1.0, f1 = 1.0, f2 = 1.0;
    const auto memo = [&](double& f, float amount, int slot, int place)
                          __attribute__((always_inline)) {
        if (amount == 0.0f) return true;
        const double e = (double)(float)levels[place] * (double)amount;
        if (!noteMemoHolds(n, slot, e)) return false;
        f = n.expOut[slot];
        return true;
    };
    if (!memo(pef, c.pitchEnvAmount, 0, L.pitchEnv) || !memo(f1, c.op1PitchEnvAmount, 1, L.e1p) ||
        !memo(f2, c.op2PitchEnvAmount, 2, L.e2p))
        return false;
    inc1 = toStep(n.opBase[0] * f1 * pef * kPhaseScale);
    inc2 = toStep(n.opBase[1] * f2 * pef * kPhaseScale);
    inc = toStep(c.layerIncMod * pef * ratio);
    return true;
}

// FM's usual voice in a layer of parallel operators (one note, sounding, its controls up
// to date, its mix and phase destinations as last taken, one shape unbent, no feedback):
// renderFM's steps with nothing to choose and no call. False for a voice that needs
// renderFM (whose steps, done here first, it repeats to the same bits), or whose
// pitch-envelope memos miss (exp2NoteMemo would call), before the note's own step.
// Steady: the voice was such on the sample before, and nothing its controls or destinations
// hold has moved since (see HighPassOctets::steadyFor): its checks come out as they did, so
// they are not made.
template <bool Steady>
__attribute__((always_inline)) inline bool plainFMVoice(APlugin& p, const PlainFMLayer& L,
                                                        int v) {
    if (!APlugin::isValidVoice(v)) __builtin_unreachable();
    // (Unsigned: their rows' offsets need no sign extension.)
    const unsigned uv = (unsigned)v, lv = (unsigned)(L.layerStart + v);
    const ObjectRows row{p, reinterpret_cast<char*>(&p)};
    TLayerVoice& c = *row(&p.layerVoice[0][0], lv);
    // (The voice's copies from their own start: no sums of offsets for the address.)
    const auto voiceCopies = [&](const float* first) __attribute__((always_inline)) {
        return reinterpret_cast<const float*>(reinterpret_cast<const char*>(first) +
                                              rowBytes<sizeof p.modDestVoice[0]>(uv));
    };
    if constexpr (!Steady) {
        if (__builtin_expect(c.model != (int32_t)kSourceFM + 1, 0)) return false;
        const float* const hot = voiceCopies(L.hot);
        // All in one test: a bit that differs from its key, a bent phase, or a weight or
        // feedback other than +-0 (NaN too) leaves a word other than 0.
        const auto bits = [](float x) __attribute__((always_inline)) {
            uint32_t b;
            std::memcpy(&b, &x, sizeof b);
            return b;
        };
        const uint32_t differs = (bits(hot[kHotMix]) ^ c.fmBlendKey) |
                                 (bits(hot[kHotPhase]) ^ c.phaseOffset[0]) |
                                 ((uint32_t)c.symIndex ^ (uint32_t)kIdentityWarpRow) |
                                 ((bits(c.fmBlendF) | bits(c.feed)) << 1);
        if (__builtin_expect(differs != 0u, 0)) return false;
    }
    const double(*run)[kNumEnvs] = *row(&p.env.work.run[0], uv);
    TLayerNote& n = (*row(&p.layerNote[0][0], lv))[0];
    if ((p.voiceCounter[uv] & 3) == 0 &&
        !plainFMQuarter(c, n, L, run[0], p.voiceElemRatio[uv][0], n.inc, n.opInc[0], n.opInc[1]))
        return false;
    if (__builtin_expect(p.voiceElemAge[uv][0] < 0, 0)) return false;
    const float* const levels = voiceCopies(L.levels);
    const float a1 = (float)run[0][L.e1v] * (L.velGain[uv][0] * L.vol1 * levels[0]);
    const float a2 = (float)run[0][L.e2v] * (L.velGain[uv][1] * L.vol2 * levels[1]);
    const int shape = c.fmBlendA;
    const FixedWaveReader<false, false> carrier{nullptr, shapeTable(p, shape, n.band), nullptr,
                                                0.0f};
    fmNoteSample(n, p.sinTable4096, carrier, 0u, a1, a2, c.phaseOffset[1],
                 (*row(&p.noteOut[0][0], lv))[0]);
    return true;
}

// The plain voices from..end of a list in a loop that calls nothing, up to the first one
// plainFMVoice leaves (its place returned, end when none): the loop then keeps what it
// needs in registers rather than around calls on the stack.
template <bool Steady>
__attribute__((noinline)) const int* plainFMVoices(APlugin& p, const PlainFMLayer L,
                                                   const int* from, const int* end) {
    for (; from < end; ++from)
        if (!plainFMVoice<Steady>(p, L, *from)) break;
    return from;
}

// Rendering ahead (TRunAhead, as waveAheadRender): a plain FM layer's voices (all plain on
// the sample before) each through the `samples` that stand from this one, the steps of
// plainFMVoice<true> on a copy of the note's state. With the layer's pitch and operator
// envelopes still, neither the steps nor the operators' levels move.
__attribute__((noinline)) bool fmAheadRender(APlugin& p, const PlainFMLayer& L, int layer,
                                             const int* list, int voices, int samples) {
    TRunAhead& a = p.runAhead[layer];
    struct Reads {
        const float* table;
        float a1, a2;
        uint32_t offset;
    } reads[TRunAhead::kVoices];
    for (int vi = 0; vi < voices; ++vi) {
        const int v = list[vi];
        if (!APlugin::isValidVoice(v)) __builtin_unreachable();  // the list holds voices only
        const TLayerVoice& c = p.layerVoice[layer][v];
        TRunAhead::Voice& s = a.voice[vi];
        if (!startAheadVoice(p, s, layer, v)) return false;
        TLayerNote& n = *s.note;
        const double* levels = p.env.work.run[v][0];
        s.subIncQ[0] = n.opInc[0];
        s.subIncQ[1] = n.opInc[1];
        if (s.quarter < samples && !plainFMQuarter(c, n, L, levels, p.voiceElemRatio[v][0], s.incQ,
                                                   s.subIncQ[0], s.subIncQ[1]))
            return false;
        for (int k = 0; k < 2; ++k) {
            s.sub[k] = n.opPhase[k];
            s.subInc[k] = n.opInc[k];
        }
        const float* const opLevels = &p.modDestVoice[v][hotFMLevelSlot(layer, 0)];
        Reads& r = reads[vi];
        r.a1 = (float)levels[L.e1v] * (L.velGain[v][0] * L.vol1 * opLevels[0]);
        r.a2 = (float)levels[L.e2v] * (L.velGain[v][1] * L.vol2 * opLevels[1]);
        r.table = shapeTable(p, c.fmBlendA, n.band);
        r.offset = c.phaseOffset[1];
    }
    const float* const sine = p.sinTable4096;
    for (int vi = 0; vi < voices; ++vi) {
        const Reads r = reads[vi];
        const TRunAhead::Voice& s = a.voice[vi];
        const FixedWaveReader<false, false> carrier{nullptr, r.table, nullptr, 0.0f};
        // (a note of the loop's own: its state stays in registers)
        TLayerNote t;
        t.phase = s.phase;
        t.inc = s.inc;
        for (int k = 0; k < 2; ++k) {
            t.opPhase[k] = s.sub[k];
            t.opInc[k] = s.subInc[k];
        }
        const auto step = [&](int j) __attribute__((always_inline)) {
            fmNoteSample(t, sine, carrier, 0u, r.a1, r.a2, r.offset,
                         *reinterpret_cast<stereoOverStruct*>(a.record[j][vi]));
        };
        // (the steps before the first 4-sample step, then the rest with its steps)
        const int q = s.quarter < samples ? s.quarter : samples;
        for (int j = 0; j < q; ++j) step(j);
        t.inc = s.incQ;
        t.opInc[0] = s.subIncQ[0];
        t.opInc[1] = s.subIncQ[1];
        for (int j = q; j < samples; ++j) step(j);
    }
    a.start(kSourceFM, p.sampleCounter, voices, p.voiceListGeneration, samples);
    return true;
}
