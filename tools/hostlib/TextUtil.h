// Small text helpers for the host: bounded reads of strings a plug-in wrote, text made
// safe to print, and number parsing that ignores the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavhost {

// The text in buf up to the first NUL, reading at most maxLen bytes.
std::string boundedString(const char* buf, size_t maxLen);

// The text with control and non-ASCII bytes shown as '?', so a plug-in's strings cannot
// mess up a terminal or a one-line report.
std::string printable(const std::string& text);

// A VST four-character code as text ('VstP'), non-printable bytes shown as '.'.
std::string fourCCText(int32_t code);

// Whole-string parses in the C locale; false on junk, trailing text or overflow.
bool parseDouble(const std::string& text, double& out);
bool parseInt64(const std::string& text, int64_t& out);

// Fixed-point text with the given number of decimals, independent of the locale.
std::string formatFixed(double value, int decimals);

}  // namespace tavhost
