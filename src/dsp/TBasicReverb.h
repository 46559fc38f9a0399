// Comb-and-allpass stereo reverb. Two banks of ten parallel damped combs per channel
// (bank B 1.1 times the size of bank A), four "widen" taps that feed delayed copies of
// the input into half of the combs, a slow comb-length modulation, an output band-pass
// per bank side and four series all-pass stages per channel. process() returns one
// stereo pair per bank; the caller sums them.
//
// All storage is fixed: the comb lines hold 16384 rows, the all-pass lines are sized for
// rates up to 192 kHz (above that the stages keep their 192 kHz lengths), so a rate
// change rebuilds lengths without allocating.
#pragma once

#include <cstdint>

// The 40 comb lines of 16384 samples sharing one write row. Each line is stored on its
// own, so every comb reads and writes consecutive addresses from sample to sample (the
// lines are far larger than the caches). Combs 0..9 are bank A left, 10..19 bank A
// right, 20..29 bank B left, 30..39 bank B right.
class TComb {
public:
    static constexpr int kCombs = 40;
    static constexpr int kRows = 16384;
    static constexpr int kRowMask = kRows - 1;

    TComb() { clear(); }
    void clear();
    // Lengths in samples in the order A left, A right, B left, B right; above 16383 they
    // act as 16383, 0 acts as 1.
    void setSize(const int32_t lengths[kCombs]);
    // One sample of all 40 combs. damp and room are the comb damping and feedback; the
    // results are the four bank-side sums (A left, A right, B left, B right).
    void update(float inL, float tap1, float tap3, float inR, float tap2, float tap4,
                float damp, float room, float& a, float& b, float& c, float& d);
    int32_t getLength(int comb) const;

private:
    // Each line is padded by one cache line: lines a power-of-two size apart would put the
    // same row of all 40 combs into one cache set, and the writes would evict each other.
    static constexpr int kLinePad = 16;

    int32_t row = 0;
    int32_t offset[kCombs];
    float state[kCombs];
    float lines[kCombs][kRows + kLinePad];
};

// One all-pass stage serving two signals (bank A and bank B of one channel), each with
// its own line and position.
class TAllpass {
public:
    // Longest line: the longest stage (579 samples at 44100 Hz) at 192 kHz.
    static constexpr int kMaxLength = 2528;

    void init(int length);  // clamped to 1..kMaxLength; clears
    void clear();
    float process(int signal, float x);
    int getLength() const { return length; }

private:
    int32_t length = 1;
    int32_t pos[2] = {0, 0};
    float feedback = 0.5f;
    float line[2][kMaxLength] = {};
};

class TBasicReverb {
public:
    static constexpr int kRingSize = 16384;
    static constexpr int kRingMask = kRingSize - 1;
    static constexpr int kCombsPerSide = 10;
    static constexpr int kAllpassStages = 4;

    TBasicReverb();

    // 44100 Hz, room and damp for size 0.5 and damp 0.5, lengths rebuilt, silent.
    void create();
    // Lengths for the current rate, modulation factors 1, output filter cleared, muted.
    void init();
    // Ignored below 1 Hz or within 0.0001 of the current rate; otherwise rebuilds.
    void setSampleRate(float rate);
    // Silences the reverb at once: lines, states, all-pass lines and the input ring.
    void mute();
    void setRoomSize(float x);  // comb feedback 0.65 .. 0.98
    void setDamp(float x);      // damping 0 .. 0.55
    void update();
    // Widen tap lengths in samples (0..16383).
    void setWiden(int t0, int t1, int t2, int t3);
    // Comb length factors: bank A even/odd combs a, b; bank B c, d.
    void setMod(float a, float b, float c, float d);
    // Size factors of the two banks; sets every comb length.
    void setSize(float sizeA, float sizeB);
    // Output band-pass: low-pass and high-pass frequencies as 0..1 control values.
    void setFilter(float low, float high);
    // One sample; (o1, o2) is bank A (left, right), (o3, o4) bank B.
    void process(float inL, float inR, float& o1, float& o2, float& o3, float& o4);

    float getRate() const { return rate; }
    float getRoom() const { return room; }
    float getDamp() const { return damp; }
    int getCombLength(int comb) const { return comb_.getLength(comb); }
    int getAllpassLength(int channel, int stage) const {
        return allpass[(channel & 1) * kAllpassStages + (stage & 3)].getLength();
    }
    float getFilterLow() const { return filterA; }
    float getFilterHigh() const { return filterB; }

    static const int kCombBase[2][kCombsPerSide];
    static const int kAllpassBase[2][kAllpassStages];

private:
    int32_t ringPos = 0;
    int32_t widenOffset[4] = {0, 0, 0, 0};
    float room = 0.0f;
    float damp = 0.0f;
    float rate = 44100.0f;
    float ring[2][kRingSize];
    float lengthFactor[2][kCombsPerSide];
    TComb comb_;
    float dampLane = 0.0f, oneMinusDampLane = 1.0f, roomLane = 0.0f;
    float lowState[4] = {0, 0, 0, 0};
    float highState[4] = {0, 0, 0, 0};
    float filterA = 1.0f, filterB = 0.0f, filterOneMinusA = 0.0f, filterOneMinusB = 1.0f;
    // Stages 0..3: left chain; 4..7: right chain.
    TAllpass allpass[2 * kAllpassStages];
};
