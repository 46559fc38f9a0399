// The controller-map file ("*.ecs"): exactly 128 lines, line i the parameter tag that MIDI
// controller i drives (0 for none), written as a decimal number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ecsfile {

constexpr int kControllers = 128;
constexpr long kMaxTag = 1023;
constexpr std::size_t kMaxFileSize = 1 << 16;

// Reads a whole file held in memory: 128 whole decimal integers in 0..1023, separated by
// whitespace (any line ends), then nothing but whitespace; a leading byte-order mark is
// skipped. All or nothing: false leaves `map` untouched.
bool parse(const char* data, std::size_t size, int32_t* map);

// The file text: one "%d\n" line per controller.
std::string write(const int32_t* map);

}  // namespace ecsfile
