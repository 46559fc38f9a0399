// Integers the user types (entry boxes of the menus and pages) and integers read from section
// files. Every one goes through readTypedInt, so that no typed text can overflow the
// arithmetic that follows.
#pragma once

#include <string>

// The largest magnitude readTypedInt returns.
constexpr int kTypedIntLimit = 1000000;

// Reads an integer the way strtol does in the C locale: leading blanks, an optional sign,
// then the decimal digits that follow; the rest of the text is ignored. The value saturates
// at +-kTypedIntLimit however many digits there are. Without digits the result is 0 and
// *hadDigits (when given) is false. A null text reads as no digits.
int readTypedInt(const char* text, bool* hadDigits = nullptr);
int readTypedInt(const std::string& text, bool* hadDigits = nullptr);
