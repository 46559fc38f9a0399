#include "engine/TextFileRead.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/files.h"

namespace textfile {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The longest number at `first` (an optional sign, then what from_chars takes); `end`
// receives where it stopped.
bool readNumber(const char* first, const char* last, double& value, const char*& end) {
    const char* p = first;
    bool negative = false;
    if (p < last && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // A second sign is not a number, though from_chars would take a '-'.
    if (p >= last || *p == '+' || *p == '-') return false;
    double v = 0.0;
    const std::from_chars_result r = std::from_chars(p, last, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr == p) return false;
    if (!std::isfinite(v)) return false;
    value = negative ? -v : v;
    end = r.ptr;
    return true;
}

bool readInt(const char* first, const char* last, long& value, const char*& end) {
    const char* p = first;
    bool negative = false;
    if (p < last && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p >= last || !isDigit(*p)) return false;
    long v = 0;
    for (; p < last && isDigit(*p); ++p) {
        const int d = *p - '0';
        if (v > (LONG_MAX - d) / 10) return false;  // does not fit
        v = v * 10 + d;
    }
    value = negative ? -v : v;
    end = p;
    return true;
}

}  // namespace

bool readWholeFile(const std::string& path, std::size_t maxBytes, std::string& out) {
    return platform::readRegularFile(path, maxBytes, out) == platform::FileRead::ok;
}

const char* skipByteOrderMark(const char* first, const char* last) {
    if (last - first >= 3 && std::memcmp(first, "\xEF\xBB\xBF", 3) == 0) return first + 3;
    return first;
}

const char* nextLine(const char* p, const char* last, const char*& lineEnd) {
    const char* q = p;
    while (q < last && *q != '\n' && *q != '\r') ++q;
    lineEnd = q;
    if (q < last && *q == '\r') ++q;
    if (q < last && *q == '\n' && (q == lineEnd || q[-1] == '\r')) ++q;
    return q;
}

bool parseNumberToken(const char* first, const char* last, double& value) {
    double v = 0.0;
    const char* end = first;
    if (!readNumber(first, last, v, end) || end != last) return false;
    value = v;
    return true;
}

bool parseIntToken(const char* first, const char* last, long lo, long hi, long& value) {
    long v = 0;
    const char* end = first;
    if (!readInt(first, last, v, end) || end != last) return false;
    if (v < lo || v > hi) return false;
    value = v;
    return true;
}

bool parseNumberPrefix(const char* first, const char* last, double& value) {
    while (first < last && isSpace(*first)) ++first;
    const char* end = first;
    return readNumber(first, last, value, end);
}

bool parseIntPrefix(const char* first, const char* last, long& value) {
    while (first < last && isSpace(*first)) ++first;
    const char* end = first;
    return readInt(first, last, value, end);
}

void WordReader::skipSpace() {
    while (p_ < end_ && isSpace(*p_)) ++p_;
}

bool WordReader::next(const char*& first, const char*& last) {
    skipSpace();
    if (p_ >= end_) return false;
    first = p_;
    while (p_ < end_ && !isSpace(*p_)) ++p_;
    last = p_;
    return true;
}

bool WordReader::atEnd() {
    skipSpace();
    return p_ >= end_;
}

}  // namespace textfile
