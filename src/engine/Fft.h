// A small radix-2 complex Fourier transform on float arrays, used at start-up to build the
// band-limited oscillator tables. It allocates nothing.
#pragma once

namespace fft {

constexpr int kMaxSize = 4096;

// Number of bits of a power of two: the position of the lowest set bit of n (log2 n for a
// power of two); 0 for n <= 0.
int numberOfBitsNeeded(int n);

// index with its low `bits` bits in reverse order (higher bits dropped).
int reverseBits(int index, int bits);

// True for the sizes the transform accepts: powers of two from 2 to kMaxSize.
bool isValidSize(int n);

// out[k] = sum over j of in[j] * e^(i * angle * j * k / n), for k = 0 .. n-1.
// angle = 2 pi and -2 pi give the two directions; neither is scaled by 1/n, so a round
// trip multiplies by n. The input is read in bit-reversed order into the output, then
// the butterflies run in place there; input and output must not overlap. inImag may be
// null (a real input). Returns false, writing nothing, when n is not a valid size.
bool fourierTransform(double angle, int n, const float* inReal, const float* inImag,
                      float* outReal, float* outImag);

}  // namespace fft
