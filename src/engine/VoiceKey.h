// The voice's part of a voice layer's control key: the bits of everything every layer's
// controls read of the voice, compared at each refresh with the key the last one left.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/TLayerState.h"

// What a voice layer's refresh reads of the voice. semi and ratio: the notes' semitone
// offsets and ratios, kLayerNotes of each (past the note count too).
struct VoiceKeyInputs {
    const float* bend;
    const float* glide;
    double pitchFactor;
    float pitch;
    int32_t count;
    float rate;
    const float* semi;
    const float* ratio;
};

// Writes the inputs' bits to key (TLayerVoice::kCtlVoiceKey words, 16-byte aligned). Only
// the same inputs give the same words; the order is the key's own.
inline void putVoiceKey(uint32_t* key, const VoiceKeyInputs& in) {
    static_assert(TLayerVoice::kCtlVoiceKey == 20 && kLayerNotes == 6, "five vectors");
#if defined(__SSE2__)
    // Put together in registers and stored a vector at a time: the key is then read as
    // whole vectors (the compare with the record, the copies into it), each of which comes
    // straight from one store. (Read over several narrower stores, a vector waits for them
    // to reach the cache.) [bend, glide, pitch factor], [pitch, count, rate, 0], the first
    // four offsets, [the last two offsets, the first two ratios], the last four ratios.
    const __m128 bendGlide = _mm_unpacklo_ps(_mm_load_ss(in.bend), _mm_load_ss(in.glide));
    const __m128 pitchCount =
        _mm_unpacklo_ps(_mm_set_ss(in.pitch), _mm_castsi128_ps(_mm_cvtsi32_si128(in.count)));
    const auto put = [key](int at, __m128i x) {
        _mm_store_si128(reinterpret_cast<__m128i*>(key + at), x);
    };
    const auto pair = [](const float* at) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at));
    };
    put(0, _mm_castps_si128(_mm_movelh_ps(bendGlide, _mm_castpd_ps(_mm_set_sd(in.pitchFactor)))));
    put(4, _mm_castps_si128(_mm_movelh_ps(pitchCount, _mm_set_ss(in.rate))));
    put(8, _mm_castps_si128(_mm_loadu_ps(in.semi)));
    put(12, _mm_unpacklo_epi64(pair(in.semi + 4), pair(in.ratio)));
    put(16, _mm_castps_si128(_mm_loadu_ps(in.ratio + 2)));
#else
    std::memcpy(&key[0], in.bend, sizeof(float));
    std::memcpy(&key[1], in.glide, sizeof(float));
    std::memcpy(&key[2], &in.pitchFactor, sizeof(double));
    std::memcpy(&key[4], &in.pitch, sizeof(float));
    std::memcpy(&key[5], &in.count, sizeof(int32_t));
    std::memcpy(&key[6], &in.rate, sizeof(float));
    key[7] = 0;
    std::memcpy(&key[8], in.semi, kLayerNotes * sizeof(float));
    std::memcpy(&key[8 + kLayerNotes], in.ratio, kLayerNotes * sizeof(float));
#endif
}
