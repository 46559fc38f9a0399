// The arp section preset file ("*.arp"): a first word (the format tag, "V1.0" in the files
// this system writes), then the 146 values of parameters 394..539 in ascending order, one
// per line, each a number in 0..1.
#pragma once

#include <cstddef>
#include <string>

namespace arpfile {

constexpr int kValues = 146;
constexpr std::size_t kMaxFileSize = 1 << 20;

// Reads a whole file held in memory. The first word is not examined; words after the
// 146th value are ignored. All or nothing: any value that is missing, not a number, not
// finite or outside 0..1 makes it false and leaves `values` untouched.
bool parse(const char* data, std::size_t size, float* values);

// The file text for the 146 values: "V1.0", then one "%f" line each ("." as decimal point,
// values clamped to 0..1).
std::string write(const float* values);

}  // namespace arpfile
