// Reading small text files whole and taking numbers out of them the same way in every
// locale. The preset, controller-map and tuning files use these; none of them throws.
#pragma once

#include <cstddef>
#include <string>

namespace textfile {

// The whole file in `out` when it opens for reading and holds at most maxBytes bytes;
// false (out emptied) otherwise.
bool readWholeFile(const std::string& path, std::size_t maxBytes, std::string& out);

// The text [first, last) is exactly one finite number ("0.25", "-1e-3", "+.5") with "."
// as decimal point.
bool parseNumberToken(const char* first, const char* last, double& value);

// The text [first, last) is exactly one decimal integer with an optional sign, within
// lo..hi.
bool parseIntToken(const char* first, const char* last, long lo, long hi, long& value);

// The number at the start of the text, after any blanks, the way atof reads it but in the
// C locale; false when the text does not start with a finite number.
bool parseNumberPrefix(const char* first, const char* last, double& value);

// The integer at the start of the text, after any blanks, the way atoi reads it; false
// when the text does not start with digits or the number does not fit a long.
bool parseIntPrefix(const char* first, const char* last, long& value);

// Whitespace-separated words of a text, in order.
class WordReader {
public:
    WordReader(const char* data, std::size_t size) : p_(data), end_(data + size) {}
    // The next word; false at the end of the text.
    bool next(const char*& first, const char*& last);
    // Only whitespace is left.
    bool atEnd();

private:
    void skipSpace();
    const char* p_;
    const char* end_;
};

}  // namespace textfile
