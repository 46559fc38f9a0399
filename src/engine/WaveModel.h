// The Wave sound model's per-sample rendering, part of uPluginLayers.cpp: included there,
// inside its unnamed namespace, after the helpers it uses (VoiceCtx, the wavetable readers,
// the phase offsets, the rows' arithmetic), which it shares with the other models.
#pragma once

// Wave: a band-limited wavetable oscillator (two shapes blended, phase bent by the
// symmetry map, phase fed back from its own output) or white/pink noise, plus a
// sub-oscillator, into the layer's voice filter.
// The settings of a Wave layer that stand still over its voices.
struct WaveLayer {
    int wave;
    float subGain;           // the sub-oscillator's level
    ShapeRows rows1, rows2;  // the tables of the wave's two shapes
    int filterEnv;           // the place of the layer's filter envelope
};

// noise: wl.wave >= 4; subOn: wl.subGain > 0.0001 (given by the caller, which may know them
// beforehand).
__attribute__((always_inline)) inline void renderWave(VoiceCtx& x, TFilter& filter, float white,
                                                    float pink, const WaveLayer& wl, bool noise,
                                                    bool subOn) {
    APlugin& p = x.p;
    const float mixDest = x.hot(kHotMix);
    const float phaseDest = x.hot(kHotPhase);
    const uint32_t fixedOffset = fixedPhaseOffset(x.c, phaseDest);
    // Feedback off: its bits are those of +0 or -0 (one integer test, the conversion to
    // double left to the notes that use it).
    uint32_t feedBits;
    std::memcpy(&feedBits, &x.c.feed, sizeof feedBits);
    const bool fed = (feedBits << 1) != 0u;
    const int32_t* warp =
        x.c.symIndex == kIdentityWarpRow ? nullptr : p.phaseWarpTable[x.c.symIndex];
    const int w = wl.wave;
    const ShapeRows rows1 = wl.rows1, rows2 = wl.rows2;
    const float subGain = wl.subGain;
    // The sub-oscillator's settings for the voice, worked out at its first sounding note.
    struct SubSettings {
        float l, r;  // gains left and right
        ShapeBlend blend;
        uint32_t offset;
        const int32_t* warp;
    };
    const auto subSettings = [&]() __attribute__((always_inline)) {
        const float g = subGain * x.d(102);
        const float pan = clamp01(x.d(103) + 0.5f);
        SubSettings s;
        s.l = g * std::min(1.0f, 2.0f - 2.0f * pan);
        s.r = g * std::min(1.0f, 2.0f * pan);
        s.blend = subShapeBlend(x.c, x.d(104));
        s.offset = wrapTrunc((double)x.d(106) * kPhaseScale, kPhaseMask);
        s.warp = x.c.subSymIndex == kIdentityWarpRow ? nullptr : p.phaseWarpTable[x.c.subSymIndex];
        return s;
    };
    const int filterEnv = wl.filterEnv;
    const float filterAmount = x.c.filterEnvAmount;
    const auto run = x.run;
    TLayerNote* const notesOf = x.notes;
    auto notes = [&](auto kind, auto count, float mix) __attribute__((always_inline)) {
        using Reader = decltype(kind);
        SubSettings sub{};
        bool subReady = false;
        for (int i = 0; i < count; ++i) {
            TLayerNote& n = notesOf[i];
            if (x.quarter) {
                const double pef = x.pitchEnvFactor(i);
                const double ratio = p.voiceElemRatio[x.v][i];
                n.inc = toStep(x.c.layerIncMod * pef * ratio);
                n.subInc = toStep(ratio * pef * (double)x.c.subRatio * x.c.layerIncMod);
            }
            if (!x.started(i)) {
                x.rest(i);
                continue;
            }
            Lanes4 o;  // the note's record: left 0, right 0, left 1, right 1
            if (noise) {
                o = filtermath::splat(w == 4 ? white * (1.0f - mix) + pink * mix
                                             : pink * (1.0f - mix) + white * mix);
            } else {
                const uint32_t phase = n.phase, inc = n.inc;
                const uint32_t offset =
                    fed ? FeedOffset(x.c.feed, phaseDest, fixedOffset)(n.feedPrev) : fixedOffset;
                const Reader osc{warp, rows1.table(n.band), rows2.table(n.band), mix};
                const float v0 = osc.read(phase + offset);
                const float v1 = osc.read(phase + inc + offset);
                n.phase = (phase + 2u * inc) & kPhaseMask;
                n.feedPrev = v0 * v1 * 0.5f;
                o = Lanes4{v0, v0, v1, v1};
            }
            if (subOn) {
                if (!subReady) {
                    sub = subSettings();
                    subReady = true;
                }
                const WaveReader subOsc{sub.warp, shapeTable(p, sub.blend.a, n.subBand),
                                        shapeTable(p, sub.blend.b, n.subBand), sub.blend.f};
                const float s0 = subOsc.read(n.subPhase + sub.offset);
                const float s1 = subOsc.read(n.subPhase + n.subInc + sub.offset);
                n.subPhase = (n.subPhase + 2u * n.subInc) & kPhaseMask;
                o += Lanes4{s0 * sub.l, s0 * sub.r, s1 * sub.l, s1 * sub.r};
            }
            filtermath::storeNote(x.out[i], o);
        }
    };
    // Noise reads no table: any one kind serves it.
    withNoteCount(x.count, [&](auto count) __attribute__((always_inline)) {
        // The envelope contributions of the notes, first (as in Wire).
        for (int i = 0; i < count; ++i)
            filter.setEnv(i, (float)run[i][filterEnv] * filterAmount);
        if (noise) {
            notes(FixedWaveReader<false, false>{}, count, clamp01(mixDest));
        } else if (!(mixDest > 0.0f)) {
            // clamp01 gives 0 (NaN too): the first shape alone, chosen by the one comparison.
            if (warp)
                notes(FixedWaveReader<true, false>{}, count, 0.0f);
            else
                notes(FixedWaveReader<false, false>{}, count, 0.0f);
        } else {
            const float mix = mixDest < 1.0f ? mixDest : 1.0f;
            if (warp)
                notes(FixedWaveReader<true, true>{}, count, mix);
            else
                notes(FixedWaveReader<false, true>{}, count, mix);
        }
    });
}

// What the plain voices of a Wave layer (see plainWaveVoice) read of the layer.
struct PlainWaveLayer {
    int layer;
    int layerStart;           // the layer's first voice row (as in renderModelVoices)
    int dl;                   // its first destination
    const float* hot;         // its first hot copy (HotLayerDest) in voice 0's destinations
    const double* filterEnv;  // its filter envelope's level in voice 0's first note
    int pitchEnv;             // the place of its pitch envelope
    const float* base;        // its first shape's table of band 0
};
inline PlainWaveLayer plainWaveLayer(APlugin& p, int layer, int layerStart, const float* base) {
    return {layer,
            layerStart,
            kLayerDestStride * layer,
            &p.modDestVoice[0][hotLayerSlot(layer, 0)],
            &p.env.work.run[0][0][ENV_RUN_PLACE[ENV_FILTER[layer]]],
            ENV_RUN_PLACE[ENV_PITCH[layer]],
            base};
}

// The steps of a plain Wave note (oscillator and sub-oscillator) on its 4-sample step, from
// the layer's step, the note's ratio and the level of the layer's pitch envelope. False
// (having written nothing) where Leaf is set and the note's memo of the pitch envelope's
// exponential misses.
template <bool Leaf>
__attribute__((always_inline)) inline bool plainWaveQuarter(const TLayerVoice& c, TLayerNote& n,
                                                            double ratio, double pitchLevel,
                                                            uint32_t& inc, uint32_t& subInc) {
    if (c.pitchEnvAmount != 0.0f) {
        const double e = (double)(float)pitchLevel * (double)c.pitchEnvAmount;
        if (Leaf && !noteMemoHolds(n, 0, e)) return false;  // (exp2NoteMemo would call)
        const double pef = exp2NoteMemo(n, 0, e);
        inc = toStep(c.layerIncMod * pef * ratio);
        subInc = toStep(ratio * pef * (double)c.subRatio * c.layerIncMod);
    } else {  // x 1.0 changes no value (none here is a signalling NaN)
        inc = toStep(c.layerIncMod * ratio);
        subInc = toStep(ratio * (double)c.subRatio * c.layerIncMod);
    }
    return true;
}

// Wave's usual voice (one note, one shape: mix destination not above 0; no feedback,
// noise or sub-oscillator): renderWave's steps with less to choose. False (having only
// refreshed the controls) for a voice that needs the rest. Sine: the first shape's one
// table serves every band. Leaf: no call either; false instead, for a voice whose controls
// are out of date or whose pitch-envelope memo misses, before any step that a second go
// would not repeat to the same bits.
// Steady (with Leaf): the voice was such on the sample before, and nothing its controls,
// destinations or envelope levels hold has moved since (see HeldMultimode::steadyFor): its
// checks come out as they did and its envelope store would store what its filter holds, so
// neither is done.
template <bool Leaf, bool Sine, bool Steady = false>
__attribute__((always_inline)) inline bool plainWaveVoice(APlugin& p, const PlainWaveLayer& L,
                                                          int v) {
    if (!APlugin::isValidVoice(v)) __builtin_unreachable();
    // (Unsigned: their rows' offsets need no sign extension.)
    const unsigned uv = (unsigned)v, lv = (unsigned)(L.layerStart + v);
    // (As in renderModelVoices; a loop that calls nothing has the registers for p alone.)
    char* self = reinterpret_cast<char*>(&p);
    if (!Leaf) asm("" : "+r"(self));
    const ObjectRows row{p, self};
    TLayerVoice& c = *row(&p.layerVoice[0][0], lv);
    static_assert(Leaf || !Steady, "a steady voice is a leaf's");
    if (!Steady && __builtin_expect(c.model != (int32_t)kSourceWave + 1, 0)) {
        if (Leaf) return false;
        p.setLayerControls(v);
    }
    // (The voice's copies from their own start: no sums of offsets for the address.)
    const float* const hot = reinterpret_cast<const float*>(
        reinterpret_cast<const char*>(L.hot) + rowBytes<sizeof p.modDestVoice[0]>(uv));
    if constexpr (!Steady) {
        uint32_t feedBits;
        std::memcpy(&feedBits, &c.feed, sizeof feedBits);
        // The mix destination as an integer: above 0 for every float above 0 (and for a
        // NaN of sign 0, which then takes the full path: it renders the same there).
        int32_t mixBits;
        std::memcpy(&mixBits, &hot[kHotMix], sizeof mixBits);
        // (the feedback's bits less the sign tested in place: no load into a register first)
        if (__builtin_expect((feedBits & 0x7FFFFFFFu) != 0u || mixBits > 0, 0)) return false;
    }
    const uint32_t offset = fixedPhaseOffset(c, hot[kHotPhase]);
    const double(*run)[kNumEnvs] = *row(&p.env.work.run[0], uv);
    if constexpr (!Steady) {
        // (As hot above.)
        const double filterEnv = *reinterpret_cast<const double*>(
            reinterpret_cast<const char*>(L.filterEnv) + rowBytes<sizeof p.env.work.run[0]>(uv));
        row(&p.voiceFilter[0][0], lv)->setEnv(0, (float)filterEnv * c.filterEnvAmount);
    }
    TLayerNote& n = (*row(&p.layerNote[0][0], lv))[0];
    if ((p.voiceCounter[uv] & 3) == 0 &&
        !plainWaveQuarter<Leaf>(c, n, p.voiceElemRatio[uv][0], run[0][L.pitchEnv], n.inc, n.subInc))
        return false;
    stereoOverStruct& out = (*row(&p.noteOut[0][0], lv))[0];
    if (__builtin_expect(p.voiceElemAge[uv][0] < 0, 0)) {
        VoiceCtx{p, L.layer, v, 1, false, *row(&p.modDestVoice[0], uv) + L.dl, c, &out, &n, run}
            .rest(0);
        return true;
    }
    const uint32_t phase = n.phase, inc = n.inc;
    // (not a sine: the stride of the rows is the table size, a constant)
    const float* table = Sine ? L.base : L.base + (ptrdiff_t)n.band * APlugin::kOscWaveSize;
    const auto read = [&](const auto kind) __attribute__((always_inline)) {
        const decltype(kind) osc{p.phaseWarpTable[c.symIndex], table, nullptr, 0.0f};
        const float v0 = osc.read(phase + offset), v1 = osc.read(phase + inc + offset);
        n.feedPrev = v0 * v1 * 0.5f;
#if defined(__SSE2__)
        // {v0, v1} and then each doubled: two unpacks, where the lanes built one by one take
        // three. (Each value taken in its register as it is: the lanes above it, whatever
        // they hold, end in no lane stored.)
        const auto lane0 = [](float v) __attribute__((always_inline)) {
            __m128 r;
            asm("" : "=x"(r) : "0"(v));
            return r;
        };
        const __m128 pair = _mm_unpacklo_ps(lane0(v0), lane0(v1));
        filtermath::storeNote(out, (Lanes4)_mm_unpacklo_ps(pair, pair));
#else
        filtermath::storeNote(out, Lanes4{v0, v0, v1, v1});
#endif
    };
    if (c.symIndex == kIdentityWarpRow)
        read(FixedWaveReader<false, false>{});
    else
        read(FixedWaveReader<true, false>{});
    n.phase = (phase + 2u * inc) & kPhaseMask;
    return true;
}

// The plain voices from..end of a list in a loop that calls nothing, up to the first one
// plainWaveVoice<true> leaves (its place returned, end when none): the loop then keeps
// what it needs in registers rather than around calls on the stack.
template <bool Sine, bool Steady = false>
__attribute__((noinline)) const int* plainWaveVoices(APlugin& p, const PlainWaveLayer L,
                                                     const int* from, const int* end) {
    for (; from < end; ++from)
        if (!plainWaveVoice<true, Sine, Steady>(p, L, *from)) break;
    return from;
}

// Rendering ahead (TRunAhead): on a sample whose voice pass was left out, with standLeft
// samples of the run standing from it, a plain Wave layer's voices (all plain on the sample
// before) each run through all of them at once, the same steps as plainWaveVoice<true, Sine>
// would take sample by sample; each of the samples then hands over its records
// (TRunAhead::handOverOrRender), and TRunAhead::settle leaves the notes as those samples
// would have.
// While the samples stand, nothing a plain voice's checks look at moves, nor its phase
// offset, table and warp; with the layer's pitch envelope still, neither do its 4-sample
// steps (which its memo gives as the first step within the samples takes them), and nor do
// they where the envelope moves (pitchMoves) but the voice's pitch does not follow it
// (an amount of 0: its step never reads the level). Only its filter envelope's level may
// move: the hand-over passes it on.
// False, having changed nothing, where a voice would not take the plain loop on every one
// of the samples (a note not started yet, or a pitch-envelope memo that misses), or where
// its 4-sample step among them would read a moving pitch envelope.
template <bool Sine>
__attribute__((noinline)) bool waveAheadRender(APlugin& p, const PlainWaveLayer& L,
                                               const int* list, int voices, int samples,
                                               bool pitchMoves) {
    TRunAhead& a = p.runAhead[L.layer];
    struct Reads {
        const float* table;
        const int32_t* warp;  // null: the identity row
        uint32_t offset;
    } reads[TRunAhead::kVoices];
    for (int vi = 0; vi < voices; ++vi) {
        const int v = list[vi];
        if (!APlugin::isValidVoice(v)) __builtin_unreachable();  // the list holds voices only
        TLayerVoice& c = p.layerVoice[L.layer][v];
        TRunAhead::Voice& s = a.voice[vi];
        if (!startAheadVoice(p, s, L.layer, v)) return false;
        TLayerNote& n = *s.note;
        s.subIncQ[0] = n.subInc;
        if (s.quarter < samples &&
            ((pitchMoves && c.pitchEnvAmount != 0.0f) ||
             !plainWaveQuarter<true>(c, n, p.voiceElemRatio[v][0],
                                     p.env.work.run[v][0][L.pitchEnv], s.incQ, s.subIncQ[0])))
            return false;
        s.filter = &p.voiceFilter[L.layer][v];
        s.filterLevel = &p.env.work.run[v][0][ENV_RUN_PLACE[ENV_FILTER[L.layer]]];
        s.filterAmount = c.filterEnvAmount;
        Reads& r = reads[vi];
        r.offset = fixedPhaseOffset(c, p.modDestVoice[v][hotLayerSlot(L.layer, kHotPhase)]);
        r.table = Sine ? L.base : L.base + (ptrdiff_t)n.band * APlugin::kOscWaveSize;
        r.warp = c.symIndex == kIdentityWarpRow ? nullptr : p.phaseWarpTable[c.symIndex];
    }
    for (int vi = 0; vi < voices; ++vi) {
        const Reads r = reads[vi];
        const TRunAhead::Voice& s = a.voice[vi];
        const auto run = [&](auto kind) __attribute__((always_inline)) {
            const decltype(kind) osc{r.warp, r.table, nullptr, 0.0f};
            uint32_t phase = s.phase, inc = s.inc;
            const auto step = [&](int j) __attribute__((always_inline)) {
                const float v0 = osc.read(phase + r.offset), v1 = osc.read(phase + inc + r.offset);
                phase = (phase + 2u * inc) & kPhaseMask;
                filtermath::storeNote(*reinterpret_cast<stereoOverStruct*>(a.record[j][vi]),
                                      Lanes4{v0, v0, v1, v1});
            };
            // (the steps before the first 4-sample step, then the rest with its step)
            const int q = s.quarter < samples ? s.quarter : samples;
            for (int j = 0; j < q; ++j) step(j);
            inc = s.incQ;
            for (int j = q; j < samples; ++j) step(j);
        };
        if (r.warp)
            run(FixedWaveReader<true, false>{});
        else
            run(FixedWaveReader<false, false>{});
    }
    a.start(kSourceWave, p.sampleCounter, voices, p.voiceListGeneration, samples);
    return true;
}

// What a Wave layer's hand-over passes on besides the records (see
// TRunAhead::handOverOrRender): where the layer's filter envelope moves on this sample, each
// voice's filter takes its level.
inline void waveAheadFilterLevels(TRunAhead& a) {
    for (int vi = 0; vi < a.voices; ++vi) {
        const TRunAhead::Voice& s = a.voice[vi];
        s.filter->setEnv(0, (float)*s.filterLevel * s.filterAmount);
    }
}
