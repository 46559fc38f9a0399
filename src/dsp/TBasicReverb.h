// Comb-and-allpass stereo reverb. Two banks of ten parallel damped combs per channel
// (bank B 1.1 times the size of bank A), four "widen" taps that feed delayed copies of
// the input into half of the combs, a slow comb-length modulation, an output band-pass
// per bank side and four series all-pass stages per channel. process() returns one
// stereo pair per bank; the caller sums them.
//
// All storage is fixed: the comb lines hold up to 16384 rows, the all-pass lines are sized
// for rates up to 192 kHz (above that the stages keep their 192 kHz lengths), so a rate
// change rebuilds lengths without allocating. Where a high rate and a large size would
// need longer combs, all of them are shortened in proportion instead of being cut at the
// line's end: cut combs would share one length and add up in phase.
#pragma once

#include <cstdint>

// Four floats, one per bank side (comb lanes) or per signal (all-pass lanes).
typedef float RevLanes __attribute__((vector_size(16)));

// The 40 comb lines of up to 16384 samples sharing one write row, run as four lanes: lane 0 is
// bank A left, 1 bank A right, 2 bank B left, 3 bank B right (comb numbers 0..9, 10..19,
// 20..29, 30..39 in the interface), ten combs each.
//
// A comb's output and its damped state depend only on what the line holds from at least
// one comb length ago; only the value written back needs the present input. So the combs
// run ahead in batches of up to kBlock samples (never more than the shortest length, so
// every row a batch reads was written before it): update() prepares a batch's outputs and
// states at its first sample, reading each line along consecutive rows, collects the
// inputs, and the batch's rows are written back together before the next batch (or a
// change of lengths, damping or feedback) reads them. Every value is computed with the
// same operations in the same order as comb by comb, sample by sample; the lines are
// just read and written a cache line at a time instead of one float per line per sample.
class TComb {
public:
    static constexpr int kCombs = 40;
    static constexpr int kLanes = 4;
    static constexpr int kPerLane = kCombs / kLanes;
    static constexpr int kRows = 16384;
    static constexpr int kRowMask = kRows - 1;
    static constexpr int kBlock = 16;

    TComb() { clear(); }
    void clear();
    // Lengths in samples in the order A left, A right, B left, B right; above 16383 they
    // act as 16383, 0 acts as 1.
    void setSize(const int32_t lengths[kCombs]);
    // One sample of all 40 combs. evenIn and oddIn are the inputs of the even and odd combs
    // of each lane; damp and room are the comb damping and feedback. Returns the four
    // lanes' sums.
    RevLanes update(RevLanes evenIn, RevLanes oddIn, float damp, float room);
    // update() over n samples whose inputs are all known: in[i] holds sample i's evenIn and
    // oddIn, sums[i] gets its result. Each comb reads, damps and writes back its rows in one
    // pass, runs of up to the shortest length at a time (so no row is read after this run
    // wrote it).
    void run(int n, const RevLanes (*in)[2], float damp, float room, RevLanes* sums);
    int32_t getLength(int comb) const;
    // The rows each line keeps: the least of 4096, 8192 and kRows that holds `longest`
    // (any length up to the rows finds its rows there). Fewer rows keep the lines closer
    // together, in the caches, where 40 lines of kRows rows stream through them. Each line
    // keeps its newest rows across a change; a line that grows reads silence beyond them.
    // setSize grows the lines for a length that needs it.
    void setRows(int32_t longest);
    int32_t getRows() const { return rows; }

private:
    // Each line is padded by one cache line: lines a power-of-two size apart would put the
    // same row of every comb into one cache set, and the writes would evict each other.
    // The pad holds a copy of the line's first kBlock rows, so a batch reads its rows
    // without wrapping.
    static constexpr int kLinePad = 16;
    static_assert(kLinePad >= kBlock, "the pad holds the copied rows");

    // The members that take Rows work on lines of that many rows: row x of comb c sits at
    // x & (Rows - 1) of its line, Rows + kLinePad floats from comb c - 1's.
    template <int Rows>
    float* lineOf(int comb);
    template <int Rows>
    const float* lineOf(int comb) const;
    // Calls fn with the rows as a constant.
    template <class Fn>
    void withRows(Fn&& fn);
    // Writes the rows of the samples done in the current batch and takes over their last
    // states; the batch is then finished.
    void flush();
    template <int Rows>
    void flushIn();
    // Fetches the rows kFetchAhead past row `last` (and those the combs read with them).
    static constexpr int32_t kFetchAhead = 256;
    template <int Rows>
    void fetchAhead(int32_t last) const;
    // Computes outputs and states of the batch starting at row first.
    template <int Rows>
    void prepare(int32_t first, float damp, float room);
    template <int Rows>
    void runIn(int n, const RevLanes (*in)[2], float damp, float room, RevLanes* sums);
    // Row r of the four lines of one comb index (and its copy past the end, if any).
    template <int Rows>
    static void writeRow(float* const l[kLanes], int32_t r, RevLanes w);
    // One piece of run() whose written rows neither wrap nor have a copy past the end (`at`:
    // the place of its first row), on eight lanes: an even comb index and the odd one after
    // it side by side, each half doing what the four-lane loop does for its index.
    template <int Rows>
    void runPieceWide(int m, int32_t at, const RevLanes (*in)[2], float damp, float room,
                      RevLanes* sum);

    int32_t row = 0;        // row of the latest sample
    int32_t batchRow = 0;   // row of the batch's first sample
    int32_t batchSize = 0;  // samples prepared
    int32_t batchPos = 0;   // samples of the batch done
    float batchDamp = 0.0f;
    float batchRoom = 0.0f;
    int32_t length[kPerLane][kLanes];  // [comb index][lane], 1..kRowMask
    int32_t shortest = 1;              // the least of them
    // The lengths setSize was last given (valid until clear()): the reverb's control update
    // sets them every 16 samples, mostly to the same values.
    int32_t lastLengths[kCombs];
    bool lastLengthsValid = false;
    RevLanes state[kPerLane];          // damped state after the last written sample
    RevLanes ahead[kPerLane][kBlock];  // states of the batch's samples
    RevLanes sums[kBlock];             // outputs of the batch's samples
    RevLanes inputs[kBlock][2];        // even and odd comb inputs of the samples done
    int32_t rows = kRows;              // each line's: 4096, 8192 or kRows
    float lines[kCombs * (kRows + kLinePad)];
    float moving[kRows];  // one line's rows in order while setRows moves them
};

// One all-pass stage of both channels, each serving bank A and bank B, as four lanes:
// A left, B left, A right, B right. The two signals of a channel share its length and
// position, so each channel's pair sits side by side in its line.
class TAllpass {
public:
    // Longest line: the longest stage (579 samples at 44100 Hz) at 192 kHz.
    static constexpr int kMaxLength = 2528;

    void init(int leftLength, int rightLength);  // each clamped to 1..kMaxLength; clears
    void clear();
    RevLanes process(RevLanes x);
    // process on x[0..n) in turn, each replaced by its output.
    void processRun(int n, RevLanes* x);
    int getLength(int channel) const { return length[channel & 1]; }

private:
    // The first samples of a piece of processRun (rows l, r onward, inputs x) two at a time
    // on eight lanes; returns how many it ran.
    static int runPieceWide(int m, float* l, float* r, float fb, RevLanes* x);

    int32_t length[2] = {1, 1};
    int32_t pos[2] = {0, 0};
    float feedback = 0.5f;
    float line[2][kMaxLength][2] = {};
};

class TBasicReverb {
public:
    static constexpr int kRingSize = 16384;
    static constexpr int kRingMask = kRingSize - 1;
    static constexpr int kCombsPerSide = 10;
    static constexpr int kAllpassStages = 4;
    // processRun gathers the comb inputs of this many samples at a time.
    static constexpr int kMaxRun = 16;

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
    // process over n samples: out[j] holds sample j's (o1, o3, o2, o4).
    void processRun(int n, const float* inL, const float* inR, RevLanes* out);
    // processRun short of its last step, the output gain: for a caller that takes the
    // outputs in a loop of its own, where the multiply costs less than a pass of its own.
    void processRunUngained(int n, const float* inL, const float* inR, RevLanes* out);
    float outputGain() const { return outGain; }

    float getRate() const { return rate; }
    float getRoom() const { return room; }
    float getDamp() const { return damp; }
    int getCombLength(int comb) const { return comb_.getLength(comb); }
    int getCombRows() const { return comb_.getRows(); }
    int getAllpassLength(int channel, int stage) const {
        return allpass[stage & 3].getLength(channel);
    }
    float getFilterLow() const { return filterA; }
    float getFilterHigh() const { return filterB; }

    static const int kCombBase[2][kCombsPerSide];
    static const int kAllpassBase[2][kAllpassStages];
    // The largest size and comb length factor the plug-in asks for (bank B at the largest
    // room size, the slow modulation at its peak): at each rate the comb lines keep the
    // rows the longest comb they give needs (TComb::setRows), no more.
    static constexpr float kLargestSize = 4.4f;
    static constexpr float kLargestLengthFactor = 1.002f;

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
    // Share of the wanted comb lengths that the lines hold (1 unless a high rate and a large
    // size ask for more than kRowMask rows); the feedback is raised to keep the decay time
    // and the output lowered to keep the tail's energy.
    float combFit = 1.0f;
    float outGain = 0.025f;
    // Output band-pass states per bank side (A left, A right, B left, B right).
    RevLanes lowState = {0, 0, 0, 0};
    RevLanes highState = {0, 0, 0, 0};
    float filterA = 1.0f, filterB = 0.0f, filterOneMinusA = 0.0f, filterOneMinusB = 1.0f;
    TAllpass allpass[kAllpassStages];

    // The inputs (bit for bit) of the last setSize, setRoomSize, setDamp and setFilter: the
    // control update calls them every 16 samples, mostly with the same inputs, and what
    // they set is still what those inputs give while the key is valid.
    struct SizeKey {
        float sizeA, sizeB, rate;
        float factor[2][kCombsPerSide];
    };
    SizeKey sizeKey = {};
    bool sizeKeyValid = false;
    float roomKey = 0.0f, dampKey = 0.0f;
    bool roomKeyValid = false, dampKeyValid = false;
    float filterKey[3] = {0.0f, 0.0f, 0.0f};
    bool filterKeyValid = false;
};
