// The tuning file ("*.tun"): a text with a "[Tuning]" or "[Exact Tuning]" section whose
// lines "note <n>=<cents>" give MIDI note n its pitch in cents above MIDI note 0.
#pragma once

#include <cstddef>
#include <string>

namespace tunfile {

constexpr int kNotes = 128;
constexpr std::size_t kMaxFileSize = 8 << 20;
// The pitch an entry may give, in semitones: three octaves beyond either end of the MIDI
// range. Entries further out are held at these bounds.
constexpr float kLowestPitch = -36.0f;
constexpr float kHighestPitch = 163.0f;

// Reads a whole file held in memory into `table` (semitones per note). A header is known
// by its first five characters ("[Tuni", "[Exac"); the last header of each kind counts, and
// the exact section wins. The section runs to the next line that begins with ';' or the
// end; in it, lines that begin with "note" give, from their sixth character on, "<n>=<cents>".
// Notes without a usable entry keep their equal-tempered pitch n; entries whose note is
// not 0..127 or whose value is not a finite number are ignored. Lines are read whole,
// whatever their length, and end at "\n", "\r\n" or a lone "\r"; a byte-order mark before
// the first is skipped. All or nothing: returns false, `table` untouched, when the text
// has no tuning section.
bool parse(const char* data, std::size_t size, float* table);

}  // namespace tunfile
