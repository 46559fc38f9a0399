// Stereo tape-style delay line. Each channel keeps a time-stamped history of (time, value)
// entries and reads it one delay length of "time" (100 units) behind its write time by
// linear interpolation. A length change only changes how fast the write time advances,
// so the read position glides like a tape delay (the pitch bends) instead of jumping;
// the modulated delays of the Mod FX rely on that.
//
// The history lives in storage allocated once by the constructor, large enough for the
// longest delay even right after a reset, when two entries are stored per sample; when
// it is full the oldest entry is dropped. Nothing here allocates after construction. Only
// as much of it as the entries need serves as the ring at a time (History::reserve): the
// entries then keep to a few cache-sized stretches instead of streaming through megabytes.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "dsp/LargePages.h"
#include "dsp/StereoTypes.h"

class TDelay {
public:
    static constexpr float kMinLength = 5.0f;
    static constexpr float kMaxLength = 262143.0f;
    // Two entries per sample over the longest delay, plus the 51 of a fresh history and
    // some headroom.
    static constexpr int kHistoryCapacity = 2 * 262143 + 64;
    static constexpr int kDelayLenCount = 15;
    // Synced lengths in whole notes: 1/32T .. 1/2 dotted.
    static const float DELAY_LEN_ARRAY[kDelayLenCount];

    TDelay();
    ~TDelay() = default;
    TDelay(const TDelay&) = delete;
    TDelay& operator=(const TDelay&) = delete;

    // Flags off; rate-derived constants; empty history; lengths 100 (nominal) and 1
    // (actual); no feedback; filter cleared. A rate below 1 is taken as 44100.
    void init(float rate);
    // init without a new rate.
    void clear();
    // Empties the history down to 51 zero entries at time 0 and stops the write time.
    void zero();

    void setTempo(float tempo);
    // Return whether the flag changed.
    bool setTimeSync(float v);
    bool setEqual(float v);
    static bool getStateAndChanged(float v, bool old, bool& changed);

    // Lengths from 0..1 values: synced note values or 1 ms .. 4096 ms; extra samples are
    // added to the nominal length, and the sum is scaled by factor.
    void setDelayLen(stereoStruct len, stereoStruct extra, float factor);
    void setDelayLen(float left, float right, float extraLeft, float extraRight, float factor);
    // Lengths in samples.
    void setDelayLenDirect(stereoStruct len);
    void setDelayLenDirect(float len);
    void setDelayLenDirect(float left, float right);

    // Feedback and cross-feedback, each limited to +-0.999; their magnitudes together stay
    // below 1, or with the equal flag and no cross-feedback both sides decay alike per
    // second.
    void setFeed(float feed, float cross);
    void setFeed(float feed);
    // Band-pass in the feedback path between the two normalised frequencies; (>0.999,
    // <0.0001) turns it off.
    void setFeedFilter(float low, float high);
    float getFeedFilterFreq(float x) const;

    // One sample.
    void process(stereoStruct in, stereoStruct& out);
    // n samples, each with its lengths in samples set first (setDelayLenDirect).
    void processRun(int n, const stereoStruct* in, const float* lenL, const float* lenR,
                    stereoStruct* out);

    static float sign(float x) { return x > 1e-15f ? 1.0f : (x < 0.0f ? -1.0f : 0.0f); }
    static float clamp(float x, float lo, float hi) { return x < lo ? lo : (x > hi ? hi : x); }

    // Read-only views for tests and displays.
    float getRate() const { return rate; }
    float getNominalLength(int channel) const { return nominalLen[channel & 1]; }
    float getActualLength(int channel) const { return actualLen[channel & 1]; }
    float getFeedback(int channel) const { return feedback[channel & 1]; }
    float getCrossFeedback(int channel) const { return crossFeedback[channel & 1]; }
    float getSamplesPerWholeNote() const { return samplesPerWhole; }
    bool getFeedFilterOn() const { return feedFilterOn != 0; }
    bool getTimeSync() const { return timeSync != 0; }
    bool getEqual() const { return equalFeed != 0; }
    int getHistorySize(int channel) const { return history[channel & 1].size(); }

private:
    struct Entry {
        double time;
        double value;
    };

    // Fixed-capacity double-ended queue of entries; pushing onto a full queue drops the
    // oldest entry.
    class History {
    public:
        History();
        void clear() { head = 0; count = 0; }  // (the ring shrinks by itself: reserve)
        int size() const { return count; }
        bool empty() const { return count == 0; }
        void pushBack(double time, double value);
        void popFront();
        void truncate(int n) { if (n < count) count = n; }
        const Entry& operator[](int i) const {
            int pos = head + i;
            if (pos >= ring) pos -= ring;
            return data[pos];
        }
        // Room in the ring for `more` entries pushed before the next call: a ring of twice
        // the size (the whole storage at last) when they would not fit, half the size when a
        // quarter of it holds them and every entry lies in the lower half. An entry keeps
        // its place either way (the part of a wrapped ring at its start moves past its old
        // end), so nothing read changes.
        void reserve(int more);
        // Moves every stored time by -offset.
        void shiftTimes(double offset);
        // Drops the entries the read time r has passed (r at or beyond the second
        // entry's time) while at least three remain, then writes the value at r,
        // interpolated between the two oldest entries, to v; with fewer than three
        // entries left v is untouched.
        void readAt(double r, float& v);
        // readAt and pushBack on a history's entries, head and count passed in (kept in
        // registers by a loop over many samples).
        static void readAt(const Entry* d, int ring, int& h, int& n, double r, float& v);
        static void pushAt(Entry* d, int ring, int& h, int& n, double time, double value);

    private:
        friend class TDelay;
        static constexpr int kFirstRing = 4096;
        std::unique_ptr<Entry[], largepages::Release> data;
        int head = 0;
        int count = 0;
        int ring = kFirstRing;  // the entries of data in use as the ring
    };

    // process() once it is known to run: the history is there and not being rebuilt.
    void step(stereoStruct in, stereoStruct& out);
    // processRun() once both channels are past their first delay length, no rebase of the
    // times can fall within the run and the feedback filter is off: step() without those
    // tests, the histories' ends kept in registers.
    void runSteady(int n, const stereoStruct* in, const float* lenL, const float* lenR, stereoStruct* out);
    // runSteady where no history index wraps within the run.
    void runSteadyFlat(int n, const stereoStruct* in, const float* lenL, const float* lenR, stereoStruct* out);
    float lengthFromValue(float v) const;
    float doFeedFilter(int channel, float x);
    void computeIncrement(int channel);

    uint8_t equalFeed = 0;
    uint8_t timeSync = 0;
    uint8_t feedFilterOn = 0;
    float rate = 44100.0f;
    float samplesPerMs = 44.1f;
    float secondsPerSample = 1.0f / 44100.0f;
    float nominalLen[2] = {100.0f, 100.0f};
    float actualLen[2] = {1.0f, 1.0f};
    float samplesPerWhole = 88200.0f;
    float feedback[2] = {0.0f, 0.0f};
    float crossFeedback[2] = {0.0f, 0.0f};
    double increment[2] = {0.0, 0.0};
    History history[2];
    double writeTime[2] = {0.0, 0.0};
    // Set while zero() rebuilds the history: process() then outputs silence.
    std::atomic<uint8_t> busy{0};
    float filterA = 0.0f, filterB = 0.0f, filterOneMinusA = 1.0f, filterOneMinusB = 1.0f;
    float lowState[2] = {0.0f, 0.0f};
    float low2State[2] = {0.0f, 0.0f};
};
