// The String sound model's per-sample rendering, part of uPluginLayers.cpp: included there,
// inside its unnamed namespace, after the helpers it uses (VoiceCtx, the records, the rows'
// arithmetic), which it shares with the other models.
#pragma once

// String: a noise burst shaped by the impulse settings and a pluck-position comb excites a
// delay line of one period with a damped, inverting feedback loop. One value per host
// sample, copied to both sub-samples and both channels.

// The loop read's delay from the period and drift, kept in the note with them (they change
// only every fourth sample). Inside the clamp range L is positive: its truncation is its
// floor, and the fraction L - floor(L) comes from the index already at hand.
inline void stringTakeDelay(TLayerNote& n) {
    const float L = n.period + n.drift;
    if (L > 0.0f && L < (float)(kStringLineSize + 64)) {
        n.lineDelay = (int32_t)L;
        n.lineFrac = L - (float)n.lineDelay;
    } else {
        n.lineDelay = clampInt((double)L, 0, kStringLineSize + 64);
        n.lineFrac = L - std::floor(L);
    }
}

// The period of a note from its step (every fourth sample), its drift and the loop read's
// delay. Without drift, the same step gives the same period, drift and delay as last time.
inline void stringTakeStep(TLayerNote& n, double step, bool drift, const float* sinTable) {
    uint64_t stepBits;
    std::memcpy(&stepBits, &step, sizeof stepBits);
    if (!drift && n.stepKnown && stepBits == n.stepKey) return;
    n.stepKey = stepBits;
    n.stepKnown = !drift;
    double period = step > 0.0 ? 1.0 / step : 16383.0;
    if (!(period < 16383.0)) period = 16383.0;  // NaN too
    n.period = (float)period;
    if (drift) {
        n.drift = (n.period + 1.0f) / 1024.0f * sinTable[n.driftPhase & 0xFFFFu];
        n.driftPhase = (n.driftPhase + n.driftStep) & 0xFFFFu;
    } else {
        n.drift = 0.0f;
    }
    stringTakeDelay(n);
}

// The excitation of one sample with its pluck-position comb, the history written as it
// goes. raw: the burst's value (+0 outside the burst). The history is tracked in the note:
// once every slot is known to hold +0, writing +0 changes nothing and any read gives +0,
// so a note past its burst does neither.
__attribute__((always_inline)) inline float stringComb(TLayerNote& n, float* hist, int32_t age,
                                                      float raw, float pluck, float D) {
    uint32_t rawBits;
    std::memcpy(&rawBits, &raw, sizeof rawBits);
    if (n.histClear == kHistAllZero) {
        if (rawBits == 0u) return raw;  // the slot and the one the comb reads hold +0
        n.histClear = age;  // one slot written with other than +0
    } else {
        if ((uint32_t)age != (uint32_t)n.histAge + 1u) n.histClear = age - 1;  // a new run
        if (rawBits != 0u) n.histClear = age;
        // A run of +0 over every slot: all of them hold +0.
        if ((uint32_t)age - (uint32_t)n.histClear >= (uint32_t)kStringHistSize)
            n.histClear = kHistAllZero;
    }
    n.histAge = age;
    float e = raw;
    hist[age & (kStringHistSize - 1)] = e;
    // The pluck delay through the note's memo of it (the note start's zeros agree).
    uint32_t keys[2];
    std::memcpy(&keys[0], &pluck, sizeof keys[0]);
    std::memcpy(&keys[1], &D, sizeof keys[1]);
    if (__builtin_expect(keys[0] != n.pluckKey[0] || keys[1] != n.pluckKey[1], 0)) {
        n.pluckKey[0] = keys[0];
        n.pluckKey[1] = keys[1];
        n.pluckDelay = clampInt((double)pluck * (double)D, 0, kStringHistSize - 1);
    }
    const int32_t pluckDelay = n.pluckDelay;
    // A slot written in the run of +0 holds +0, and e - (+0) is e.
    if (age >= pluckDelay && age - pluckDelay <= n.histClear)
        e -= hist[(age - pluckDelay) & (kStringHistSize - 1)];
    return e;
}

// A note's fractional read of its line at age - delay: slots it has not written yet read as
// 0 (both are written from the note's delay on, t > 0).
__attribute__((always_inline)) inline float stringLineRead(const float* line, int32_t age,
                                                           int32_t delay, float frac) {
    const int32_t t = age - delay;
    float y0 = 0.0f, y1 = 0.0f;
    if (__builtin_expect(t > 0 && delay > 0, 1)) {  // both written (t < age)
        y0 = line[t & (kStringLineSize - 1)];
        y1 = line[(t - 1) & (kStringLineSize - 1)];
    } else {
        if (t >= 0 && (t < age || age >= kStringLineSize)) y0 = line[t & (kStringLineSize - 1)];
        if (t > 0) y1 = line[(t - 1) & (kStringLineSize - 1)];
    }
    return y0 + (y1 - y0) * frac;
}
// The loop filter's next state and the note's output from its excitation e and line read y:
// of one note, or of four side by side (Lanes4), lane for lane the same operations.
template <class T>
__attribute__((always_inline)) inline T stringLoopStep(T e, T y, T fb, T damp, T loop) {
    return (e - fb * y + 1e-15f) * damp + (1.0f - damp) * loop + 1e-15f;
}
template <class T>
__attribute__((always_inline)) inline T stringOutput(T e, T y, T impGain) {
    return (e * impGain + y) * 10.0f;
}

// drift: the layer's drift switch, the same for all its voices.
__attribute__((always_inline)) inline void renderString(VoiceCtx& x, bool drift) {
    APlugin& p = x.p;
    const float impGain = p.impVolGain[x.layer] * x.d(63);
    const float fb = x.c.feedback;
    const float damp = x.c.damping;
    const float* A = p.pinkNoiseTable;
    const float* B = p.whiteNoiseTable;
    TLayerNote* const notesOf = x.notes;
    float(*const lines)[kStringLineSize + kStringLinePad] = p.strings->line[x.layer][x.v];
    withNoteCount(x.count, [&](auto count) __attribute__((always_inline)) {
        for (int i = 0; i < count; ++i) {
            TLayerNote& n = notesOf[i];
            if (x.quarter) {
                const double step = x.pitchEnvFactor(i) * (double)x.c.layerFineSemi * x.c.stringInc *
                                    (double)p.voiceElemRatio[x.v][i];
                stringTakeStep(n, step, drift, p.sinTable);
            }
            const int32_t age = p.voiceElemAge[x.v][i];
            if (age < 0) {
                x.rest(i);
                continue;
            }
            const float D = n.period;
            float* line = lines[i];

            // Excitation.
            float e = 0.0f;
            const float impulse = x.c.impulseLength * D;
            if (__builtin_expect((float)age < impulse, 0)) {
                // Read only while the burst lasts (most samples of a note have none).
                const float mix = clamp01(x.d(40));
                const uint32_t k = wrapTrunc((double)x.d(43) * 65535.99, 0xFFFFu);
                const uint32_t idx = ((uint32_t)n.excitePos + k) & 0xFFFFu;
                n.excitePos = (int32_t)(((uint32_t)n.excitePos + 1u + k) & 0xFFFFu);
                const float base = impulse > 1e-5f ? 1.0f - (float)age / impulse : 1.0f;
                const float shaped = x.c.impulseShape == 1.0f ? base : std::pow(base, x.c.impulseShape);
                e = stringComb(n, p.strings->hist[x.layer][x.v][i], age,
                               shaped * (A[idx] * (1.0f - mix) + B[idx] * mix) * 0.1f, x.c.pluck,
                               D);
            } else if (__builtin_expect(n.histClear != kHistAllZero, 0)) {
                e = stringComb(n, p.strings->hist[x.layer][x.v][i], age, 0.0f, x.c.pluck, D);
            }

            const float y = stringLineRead(line, age, n.lineDelay, n.lineFrac);
            n.loopState = stringLoopStep(e, y, fb, damp, n.loopState);
            line[age & (kStringLineSize - 1)] = n.loopState;
            const float outv = stringOutput(e, y, impGain);
            storeRecord(x.out[i], outv, outv);
        }
    });
}

// A String layer's voices rendered ahead (see TRunAhead) through `samples` samples that
// stand, each note past its excitation with its history clear and drift off: its step, and
// with it its delay and fraction, then stand (any 4-sample step among the samples would
// find its step as the note keeps it), and renderString's loop is the read of the line, the
// loop filter and the write, each note through all the samples with its loop state in a
// register (four notes side by side where they can). The slots it writes are kept first, for
// a settle to put back. False, with no record written, where a voice is not such.
__attribute__((noinline)) bool stringAheadRender(APlugin& p, int layer, const int* list,
                                                 int voices, int samples) {
    TRunAhead& a = p.runAhead[layer];
    const int pitchPlace = ENV_RUN_PLACE[ENV_PITCH[layer]];
    for (int vi = 0; vi < voices; ++vi) {
        const int v = list[vi];
        if (!APlugin::isValidVoice(v)) __builtin_unreachable();  // the list holds voices only
        const TLayerVoice& c = p.layerVoice[layer][v];
        TRunAhead::Voice& s = a.voice[vi];
        if (c.model != (int32_t)kSourceString + 1 || !startAheadVoice(p, s, layer, v))
            return false;
        TLayerNote& n = *s.note;
        const int32_t age = p.voiceElemAge[v][0];
        if (n.histClear != kHistAllZero || (float)age < c.impulseLength * n.period) return false;
        if (s.quarter < samples) {
            // renderString's step there, as VoiceCtx::pitchEnvFactor gives it (through the
            // note's memo, which must hold: no call here)
            double factor = 1.0;
            if (c.pitchEnvAmount != 0.0f) {
                const double e =
                    (double)(float)p.env.work.run[v][0][pitchPlace] * (double)c.pitchEnvAmount;
                if (!noteMemoHolds(n, 0, e)) return false;
                factor = n.expOut[0];
            }
            const double step = factor * (double)c.layerFineSemi * c.stringInc *
                                (double)p.voiceElemRatio[v][0];
            uint64_t stepBits;
            std::memcpy(&stepBits, &step, sizeof stepBits);
            if (!n.stepKnown || stepBits != n.stepKey) return false;
        }
        s.line = p.strings->line[layer][v][0];
        s.saved = p.stringAheadSaved[layer][vi];
        s.age = age;
    }
    // (each string's values as the loops read them)
    struct AheadString {
        float* line;
        float* saved;
        int32_t age, delay;
        float frac, impGain, fb, damp, loop;
    } strings[TRunAhead::kVoices];
    const int dl = kLayerDestStride * layer;  // (as VoiceCtx's destinations)
    for (int vi = 0; vi < voices; ++vi) {
        const int v = list[vi];
        if (!APlugin::isValidVoice(v)) __builtin_unreachable();  // the list holds voices only
        const TLayerVoice& c = p.layerVoice[layer][v];
        const TRunAhead::Voice& s = a.voice[vi];
        const TLayerNote& n = *s.note;
        strings[vi] = {s.line,       s.saved,
                       s.age,        n.lineDelay,
                       n.lineFrac,   p.impVolGain[layer] * p.modDestVoice[v][dl + 63],
                       c.feedback,   c.damping,
                       n.loopState};
    }
    constexpr int kMask = kStringLineSize - 1;
    const auto record = [&a](int j, int vi) -> stereoOverStruct& {
        return *reinterpret_cast<stereoOverStruct*>(a.record[j][vi]);
    };
    // One string through the samples.
    const auto one = [&](const AheadString& g, int vi) {
        float loop = g.loop;
        for (int j = 0; j < samples; ++j) {
            const int32_t age = g.age + j;
            const float e = 0.0f;  // (renderString's excitation past the burst)
            const float y = stringLineRead(g.line, age, g.delay, g.frac);
            loop = stringLoopStep(e, y, g.fb, g.damp, loop);
            float& slot = g.line[age & kMask];
            g.saved[j] = slot;
            slot = loop;
            const float outv = stringOutput(e, y, g.impGain);
            storeRecord(record(j, vi), outv, outv);
        }
    };
    // Four strings at a time, one a lane, each lane the same operations as one() (the loop
    // filters' states are four recurrences side by side), where every string reads only
    // what it wrote from its first sample on.
    int vi = 0;
    for (; vi + 4 <= voices; vi += 4) {
        const AheadString* const g = strings + vi;
        bool written = true;
        for (int l = 0; l < 4; ++l) written &= g[l].delay > 0 && g[l].age - g[l].delay > 0;
        if (!written) {
            for (int l = 0; l < 4; ++l) one(g[l], vi + l);
            continue;
        }
        const Lanes4 frac = {g[0].frac, g[1].frac, g[2].frac, g[3].frac};
        const Lanes4 impGain = {g[0].impGain, g[1].impGain, g[2].impGain, g[3].impGain};
        const Lanes4 fb = {g[0].fb, g[1].fb, g[2].fb, g[3].fb};
        const Lanes4 damp = {g[0].damp, g[1].damp, g[2].damp, g[3].damp};
        Lanes4 loop = {g[0].loop, g[1].loop, g[2].loop, g[3].loop};
        const Lanes4 e = {};  // (+0 in every lane)
        for (int j = 0; j < samples; ++j) {
            Lanes4 y0, y1;
            for (int l = 0; l < 4; ++l) {
                const int32_t t = g[l].age + j - g[l].delay;
                y0[l] = g[l].line[t & kMask];
                y1[l] = g[l].line[(t - 1) & kMask];
            }
            const Lanes4 y = y0 + (y1 - y0) * frac;  // (as stringLineRead where both are written)
            loop = stringLoopStep(e, y, fb, damp, loop);
            const Lanes4 outv = stringOutput(e, y, impGain);
            for (int l = 0; l < 4; ++l) {
                float& slot = g[l].line[(g[l].age + j) & kMask];
                g[l].saved[j] = slot;
                slot = loop[l];
                storeRecord(record(j, vi + l), outv[l], outv[l]);
            }
        }
    }
    for (; vi < voices; ++vi) one(strings[vi], vi);
    a.start(kSourceString, p.sampleCounter, voices, p.voiceListGeneration, samples);
    return true;
}
