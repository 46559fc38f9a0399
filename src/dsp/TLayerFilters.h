// The three small filters every voice layer owns besides its multimode TFilter:
//   TBPFilter  the "Wire" band-pass, a resonant state-variable filter on FilterSine with its
//              own envelope, key and velocity tracking and stereo separation;
//   TLPFilter  a resonant two-pole zero-delay low-pass after the Wire filter, driven by the
//              layer's main filter cutoff, resonance, envelope and tracking;
//   THPFilter  a resonant two-pole zero-delay high-pass with a gentle low cut below it,
//              driven by the layer's HP frequency and Q only.
// Like TFilter, one call filters one host sample of all stacked notes of a voice layer,
// two notes at a time in four float lanes, at twice the host rate. Each works at a tenth of
// the signal level and scales its result back (x10, the Wire band-pass x20). Default
// construction leaves each filter as init(44100) does.
//
// Voices of one note each are the common case, and one note fills only half of the four
// lanes. The batch entry points run the same filter of many such voices (one layer of
// every voice) two voices to a vector: prepareNote() on each filter with the arguments its
// process() call would take, then runNotes() once for all of them. The results are exactly
// those of process() on each: every lane does the same arithmetic in the same order.
#pragma once

#include "dsp/StereoTypes.h"
#include "dsp/TFilter.h"

class TBPFilter {
public:
    // A rate below 1000 Hz (or not finite) counts as 44100, above 196000 as 196000.
    void init(float sampleRate);
    void reset();
    void setTrack(float amount, float key);
    void setVel(float amount, float velocity);
    void setEnv(int copy, float value) {
        if (copy >= 0 && copy < kFilterMaxCopies) env[copy] = filtermath::splat(value);
    }
    // With `on` false the notes pass unchanged.
    void process(bool on, stereoStruct cutoff, float mod, float separation, float resonance,
                 int copies, const stereoOverStruct* in, stereoOverStruct* out);

    // Batch entry points for calls with `on` true and one note; every filter appears once.
    void prepareNote(stereoStruct cutoff, float mod, float separation, float resonance) {
        update(1, 1, cutoff, mod, separation, resonance);
    }
    static void runNotes(TBPFilter* const* filters, const stereoOverStruct* const* in,
                         stereoOverStruct* const* out, int count);

    float getRate() const { return rate; }
    float getLaneCutoff(int lane) const {
        return (lane >= 0 && lane < kFilterLanes) ? fUsed[lane >> 2][lane & 3] : 0.0f;
    }
    const float* stateBegin() const { return reinterpret_cast<const float*>(band); }
    const float* stateEnd() const { return reinterpret_cast<const float*>(low + kFilterMaxPairs); }

private:
    void update(int n, int pairCount, stereoStruct cutoff, float mod, float sep, float resonance);
    static void runTwo(TBPFilter& a, TBPFilter& b, const stereoOverStruct& inA,
                       const stereoOverStruct& inB, stereoOverStruct& outA, stereoOverStruct& outB);

    float rate = 44100.0f;
    float tableScale = 262143.0f / 88200.0f;
    float ceiling = 0.4f * 44100.0f;
    float keyFactor = 1.0f;
    float velOffset = 0.0f;
    float lastRes = -1.0f;  // resonance of the coefficients, -1: none yet
    int lastPairs = 0;
    Lanes4 env[kFilterMaxCopies] = {};  // per note, in every lane (see pairEnvelopes)
    // per pair: normalised cutoffs of the last call (NaN: none yet) and the key factor and
    // separation they were mapped with; target cutoffs in Hz and the ones in use
    Lanes4 lastV[kFilterMaxPairs] = {};
    float lastKey = 1.0f;
    float lastSep = 1.0f;
    Lanes4 fTarget[kFilterMaxPairs] = {};
    Lanes4 fUsed[kFilterMaxPairs] = {};
    // per pair, four lanes: FilterSine coefficient, damping, band and low states
    Lanes4 F[kFilterMaxPairs] = {};
    Lanes4 D[kFilterMaxPairs] = {};
    Lanes4 band[kFilterMaxPairs] = {};
    Lanes4 low[kFilterMaxPairs] = {};
};

class TLPFilter {
public:
    // A rate below 1000 Hz (or not finite) counts as 44100, above 196000 as 196000.
    void init(float sampleRate);
    void reset();
    void setTrack(float amount, float key);
    void setVel(float amount, float velocity);
    void setEnv(int copy, float value) {
        if (copy >= 0 && copy < kFilterMaxCopies) env[copy] = filtermath::splat(value);
    }
    // Both sides of a note share one cutoff.
    void process(float cutoff, float mod, float resonance, int copies, const stereoOverStruct* in,
                 stereoOverStruct* out);

    // Batch entry points for calls of one note; every filter appears once.
    void prepareNote(float cutoff, float mod, float resonance) {
        update(1, 1, cutoff, mod, resonance);
    }
    static void runNotes(TLPFilter* const* filters, const stereoOverStruct* const* in,
                         stereoOverStruct* const* out, int count);

    float getRate() const { return rate; }
    float getCopyCutoff(int copy) const {
        return (copy >= 0 && copy < kFilterMaxCopies) ? fUsed[copy >> 1][(copy & 1) * 2] : 0.0f;
    }
    const float* stateBegin() const { return reinterpret_cast<const float*>(s1); }
    const float* stateEnd() const { return reinterpret_cast<const float*>(s2 + kFilterMaxPairs); }

private:
    void update(int n, int pairCount, float cutoff, float mod, float resonance);
    static void runTwo(TLPFilter& a, TLPFilter& b, const stereoOverStruct& inA,
                       const stereoOverStruct& inB, stereoOverStruct& outA, stereoOverStruct& outB);

    float rate = 44100.0f;
    float halfInvRate = 1.0f / 88200.0f;
    float ceiling = 0.4f * 44100.0f;
    float keyFactor = 1.0f;
    float velOffset = 0.0f;
    float lastQ = -1.0f;  // resonance of the coefficients, -1: none yet
    float R = 0.5f;       // FilterZQ damping of that resonance
    int lastPairs = 0;
    Lanes4 env[kFilterMaxCopies] = {};  // per note, in every lane (see pairEnvelopes)
    Lanes4 lastV[kFilterMaxPairs] = {};
    float lastKey = 1.0f;
    Lanes4 fTarget[kFilterMaxPairs] = {};
    Lanes4 fUsed[kFilterMaxPairs] = {};
    // per pair, four lanes: the zero-delay coefficients (zeroDelayCoefficients) and the two
    // integrator states
    Lanes4 a1[kFilterMaxPairs] = {};
    Lanes4 a2[kFilterMaxPairs] = {};
    Lanes4 a3[kFilterMaxPairs] = {};
    Lanes4 s1[kFilterMaxPairs] = {};
    Lanes4 s2[kFilterMaxPairs] = {};
};

class THPFilter {
public:
    // A rate below 1000 Hz (or not finite) counts as 44100, above 192000 as 192000.
    void init(float sampleRate);
    void reset();
    void process(float freq, float mod, float resonance, int copies, const stereoOverStruct* in,
                 stereoOverStruct* out);

    // Batch entry points for calls of one note; every filter appears once.
    void prepareNote(float freq, float mod, float resonance) { update(freq, mod, resonance); }
    static void runNotes(THPFilter* const* filters, const stereoOverStruct* const* in,
                         stereoOverStruct* const* out, int count);

    float getRate() const { return rate; }
    float getCutoff() const { return fUsed; }
    const float* stateBegin() const { return reinterpret_cast<const float*>(s1); }
    const float* stateEnd() const { return reinterpret_cast<const float*>(c + kFilterMaxPairs); }

private:
    void update(float freq, float mod, float resonance);
    static void runTwo(THPFilter& a, THPFilter& b, const stereoOverStruct& inA,
                       const stereoOverStruct& inB, stereoOverStruct& outA, stereoOverStruct& outB);

    float rate = 44100.0f;
    float halfInvRate = 1.0f / 88200.0f;
    float ceiling = 0.4f * 44100.0f;
    float lastX = -1.0f;  // normalised frequency of the last call, -1: none yet
    float fTarget = 640.0f;
    float fUsed = 640.0f;
    float lastQ = -1.0f;
    // the zero-delay coefficients (zeroDelayCoefficients), 2R and the low-cut coefficient in
    // four lanes; per pair the two integrator states and the low-cut state
    Lanes4 a1 = {};
    Lanes4 a2 = {};
    Lanes4 a3 = {};
    Lanes4 k = {};
    Lanes4 lowCut = {30.0f / 88200.0f, 30.0f / 88200.0f, 30.0f / 88200.0f, 30.0f / 88200.0f};
    Lanes4 s1[kFilterMaxPairs] = {};
    Lanes4 s2[kFilterMaxPairs] = {};
    Lanes4 c[kFilterMaxPairs] = {};
};
