// Fixed responses of the "Amp" and "Cab" distortion models.
//
// Amp: six sets of 64 FIR taps at the host rate. Set 0 is the identity; sets 1..5 are
// speaker responses ("4x10", "4x12", "Bass", "Combo", "Radio"). They are applied as a
// plain convolution, tap t weighting the input of t samples ago.
//
// Cab: eight rows of a 32-tap recursive filter y[n] = sum AA[t] x[n-t] + sum BB[t] y[n-t]
// (BB[0] is 0 in every row that runs). Row m serves cabinet m (0..3: none, "Fender",
// "Marshall", "Off Axis") at host rates up to 80 kHz and row m + 4 above; rows 0 and 4
// are the identity and are never run. Every feedback part is a low-order pole set well
// inside the unit circle, so every row is stable.
//
// The responses were fitted offline (least squares on a minimum-phase target magnitude,
// with a penalty on late taps; the amp sets then faded out over their last 24 taps so
// each dies out inside its window) and are stored rounded to five decimals.
#pragma once

namespace ampmodels {

constexpr int kAmpSets = 6;
constexpr int kAmpTaps = 64;
constexpr int kCabRows = 8;
constexpr int kCabTaps = 32;
constexpr float kCabHighRate = 80000.0f;

extern const float AMP_RESPONSE[kAmpSets][kAmpTaps];
extern const float CAB_AA[kCabRows][kCabTaps];
extern const float CAB_BB[kCabRows][kCabTaps];

// Row of CAB_AA / CAB_BB for cabinet model m (clamped to 0..3) at a host rate.
inline int cabRow(int model, float rate) {
    if (model < 0) model = 0;
    if (model > 3) model = 3;
    return rate > kCabHighRate ? model + 4 : model;
}

}  // namespace ampmodels
