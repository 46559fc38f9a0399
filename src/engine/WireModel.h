// The Wire sound model's usual voices, part of uPluginLayers.cpp: included there, inside its
// unnamed namespace, after renderWire and the helpers it shares with it (wireSteps,
// wireWeights, the rows' arithmetic).
#pragma once

// What the plain voices of a Wire layer (see plainWireVoice) read of the layer.
struct PlainWireLayer {
    int layerStart;           // the layer's first voice row (as in renderModelVoices)
    const float* hot;         // its first hot copy (HotLayerDest) in voice 0's destinations
    // its Wire and filter envelopes' levels in voice 0's first note (each voice's from
    // there: one register each, no place to add)
    const double *wireEnv, *filterEnv;
    int pitchEnv;  // the place (ENV_RUN_PLACE) of its pitch envelope
    const float (*pairs)[2];  // the plug-in's noisePairTable
};
inline PlainWireLayer plainWireLayer(APlugin& p, int layer, int layerStart) {
    return {layerStart,
            &p.modDestVoice[0][hotLayerSlot(layer, 0)],
            &p.env.work.run[0][0][ENV_RUN_PLACE[ENV_WIRE[layer]]],
            &p.env.work.run[0][0][ENV_RUN_PLACE[ENV_FILTER[layer]]],
            ENV_RUN_PLACE[ENV_PITCH[layer]],
            p.noisePairTable};
}

// The row `bytes` past the start of an array of the plug-in (rows of arrays of other sizes
// as their offsets in one: one multiply for those whose sizes are a scale apart).
template <class Row>
__attribute__((always_inline)) inline Row* rowAtOffset(APlugin& p, Row* first, long bytes) {
    return reinterpret_cast<Row*>(reinterpret_cast<char*>(&p) +
                                  (reinterpret_cast<char*>(first) - reinterpret_cast<char*>(&p)) +
                                  bytes);
}

// Wire's usual voice (one note, sounding, its controls up to date, its mix and offset
// destinations as last taken, no restart in the sample's four steps): renderWire's steps
// with nothing to choose and no call. False for a voice that needs renderWire (whose
// envelope stores and step, done here first, it repeats to the same bits), or whose
// pitch-envelope memo misses (exp2NoteMemo would call), before the note's own step.
// Steady: the voice was such on the sample before, and nothing its controls, destinations
// or envelope levels hold has moved since (see WireQuads::steadyFor): its checks come out as
// they did and its envelope stores would store what its filters hold, so neither is done.
template <bool Steady>
__attribute__((always_inline)) inline bool plainWireVoice(APlugin& p, const PlainWireLayer& L,
                                                          int v) {
    if (!APlugin::isValidVoice(v)) __builtin_unreachable();
    // (Unsigned: their rows' offsets need no sign extension.)
    const unsigned uv = (unsigned)v, lv = (unsigned)(L.layerStart + v);
    const ObjectRows row{p, reinterpret_cast<char*>(&p)};
    TLayerVoice& c = *row(&p.layerVoice[0][0], lv);
    // The voice's record row as an offset, and the band-pass row from it: eight record rows
    // long, so the one multiply finds both (the eight a scaled index).
    static_assert(sizeof p.voiceBPFilter[0][0] == 8 * sizeof p.noteOut[0][0],
                  "a band-pass row eight record rows long");
    const long outRow = rowBytes<sizeof p.noteOut[0][0]>(lv);
    if constexpr (!Steady) {
        if (__builtin_expect(c.model != (int32_t)kSourceWire + 1, 0)) return false;
        // (The voice's copies from their own start: no sums of offsets for the address.)
        const float* const hot = reinterpret_cast<const float*>(
            reinterpret_cast<const char*>(L.hot) + rowBytes<sizeof p.modDestVoice[0]>(uv));
        uint64_t destBits, keyBits;  // (as renderWire compares them)
        std::memcpy(&destBits, &hot[kHotMix], sizeof destBits);
        std::memcpy(&keyBits, c.wireKey, sizeof keyBits);
        if (__builtin_expect(destBits != keyBits, 0)) return false;
        const auto level = [uv](const double* first) __attribute__((always_inline)) {
            return *reinterpret_cast<const double*>(reinterpret_cast<const char*>(first) +
                                                    rowBytes<sizeof p.env.work.run[0]>(uv));
        };
        const float wire = (float)level(L.wireEnv) * c.wireEnvAmount;
        const float filter = (float)level(L.filterEnv) * c.filterEnvAmount;
        rowAtOffset(p, &p.voiceBPFilter[0][0], outRow * 8)->setEnv(0, wire);
        row(&p.voiceLPFilter[0][0], lv)->setEnv(0, filter);
    }
    TLayerNote& n = (*row(&p.layerNote[0][0], lv))[0];
    if ((p.voiceCounter[uv] & 3) == 0) {
        // VoiceCtx::pitchEnvFactor times the fine/semi factor times the step: without a
        // pitch envelope the step itself, which holds the factor (see setLayerControls)
        double step = c.layerInc;
        uint32_t pitchBits;  // (!= 0.0f, NaN included, tested on the bits in memory)
        std::memcpy(&pitchBits, &c.pitchEnvAmount, sizeof pitchBits);
        if ((pitchBits & 0x7FFFFFFFu) != 0u) {
            const double(*run)[kNumEnvs] = *row(&p.env.work.run[0], uv);
            const double e = (double)(float)run[0][L.pitchEnv] * (double)c.pitchEnvAmount;
            if (!noteMemoHolds(n, 0, e)) return false;
            step = n.expOut[0] * (double)c.layerFineSemi * step;
        }
        n.inc = toStep(step * (double)p.voiceElemRatio[uv][0]) / 2u;
    }
    if (__builtin_expect(p.voiceElemAge[uv][0] < 0, 0)) return false;
    const Lanes4* halves = nullptr;
#if defined(__SSE2__)
    halves = &kWireHalves;
#endif
    const auto out = [&]() __attribute__((always_inline)) -> stereoOverStruct& {
        return (*rowAtOffset(p, &p.noteOut[0][0], outRow))[0];
    };
    return wireSteps(n, L.pairs, c.wireOffset, wireWeights(c), halves, out);
}

// The plain voices from..end of a list in a loop that calls nothing, up to the first one
// plainWireVoice leaves (its place returned, end when none): the loop then keeps what it
// needs in registers rather than around calls on the stack.
template <bool Steady>
__attribute__((noinline)) const int* plainWireVoices(APlugin& p, const PlainWireLayer L,
                                                     const int* from, const int* end) {
    for (; from < end; ++from)
        if (!plainWireVoice<Steady>(p, L, *from)) break;
    return from;
}
