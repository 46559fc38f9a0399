// Two-band peaking equaliser for one stereo signal at twice the host rate: the bass and
// treble bands of the "EQ" distortion model. Each band is a peaking biquad with a fixed,
// broad Q of 0.5 and a gain of -20 dB .. +20 dB; the bands run in series. Like the voice
// filters it works at a tenth of the signal level and keeps its history in three fixed
// slots per lane selected by a rotating index, so no samples are moved.
#pragma once

#include "dsp/StereoTypes.h"

class TParaEQ {
public:
    TParaEQ() { init(44100.0f); }

    // A rate below 1000 Hz is taken as 44100 Hz. Clears history and coefficients.
    void init(float rate);
    // Clears the history of one band (0 or 1); other values do nothing.
    void reset(int band);
    // Band centre frequencies in Hz (the signal runs at twice the rate given to init) and
    // gains as 0..1 control values (0.5 is 0 dB; values outside 0..1 act as the ends).
    // Coefficients are recomputed only for a band whose frequency or gain moved.
    void setFXParameters(float freq1, float gain1, float freq2, float gain2);
    // Filters both sub-samples of one oversampled stereo sample through band 1, then 2.
    void processFX(stereoOverStruct in, stereoOverStruct& out);

    float getRate() const { return rate; }

    static constexpr int kBands = 2;
    static constexpr int kLanes = 2;  // left, right

private:
    struct Band {
        float b0, b1, b2, a1, a2;
        float x[kLanes][3];
        float y[kLanes][3];
        float lastFreq, lastGain;  // the values the coefficients were computed from
    };

    void computeBand(Band& band, float freq, float gain);

    float rate = 44100.0f;
    int hist = 0;  // history index 0..2
    Band bands[kBands];
};
