// Reading small text files whole and taking numbers out of them the same way in every
// locale. The preset, controller-map and tuning files use these; none of them throws.
#pragma once

#include <cstddef>
#include <string>

namespace textfile {

// The whole file in `out` when it is a regular file of at most maxBytes bytes; false (out
// emptied) otherwise. Never blocks: a FIFO or a device in a file's place is refused.
bool readWholeFile(const std::string& path, std::size_t maxBytes, std::string& out);

// Where the text proper starts: after a UTF-8 byte-order mark, when there is one.
const char* skipByteOrderMark(const char* first, const char* last);

// The line that starts at `p`, up to `lineEnd` (without its break); returns where the next
// line starts. A line ends at "\n", "\r\n" or a lone "\r", whatever system wrote it.
const char* nextLine(const char* p, const char* last, const char*& lineEnd);

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

// Whitespace-separated words of a text, in order; a byte-order mark before the first word
// is not part of it.
class WordReader {
public:
    WordReader(const char* data, std::size_t size)
        : p_(skipByteOrderMark(data, data + size)), end_(data + size) {}
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
