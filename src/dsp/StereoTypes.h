// Sample records of the DSP path. A stereoStruct is one left/right pair passed by value;
// a stereoOverStruct is one host sample of the voice path, which runs at twice the host
// rate: two stereo sub-samples in time order (sub[0] first), four floats in the order
// left 0, right 0, left 1, right 1.
#pragma once

struct stereoStruct {
    float left;
    float right;
};

struct alignas(16) stereoOverStruct {
    stereoStruct sub[2];
};

static_assert(sizeof(stereoStruct) == 8, "a stereo pair is two packed floats");
static_assert(sizeof(stereoOverStruct) == 16, "an oversampled record is four packed floats");
