#include "engine/TuningFile.h"

#include <cstring>

#include "engine/TextFileRead.h"

namespace tunfile {

namespace {

struct Line {
    const char* first;
    const char* last;  // without the line break
};

bool startsWith(const Line& line, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    return (std::size_t)(line.last - line.first) >= n && std::memcmp(line.first, prefix, n) == 0;
}

// The line that starts at `p`; `next` receives the start of the following one.
Line lineAt(const char* p, const char* end, const char*& next) {
    const char* last = nullptr;
    next = textfile::nextLine(p, end, last);
    return Line{p, last};
}

void applyEntry(const Line& line, float* table) {
    if (!startsWith(line, "note") || line.last - line.first < 6) return;
    const char* text = line.first + 5;
    const char* equals = text;
    while (equals < line.last && *equals != '=') ++equals;
    if (equals >= line.last || equals == text) return;  // no '=' or an empty key
    // The value runs from after the '=' (and any further ones) to the next '='.
    const char* value = equals;
    while (value < line.last && *value == '=') ++value;
    const char* valueEnd = value;
    while (valueEnd < line.last && *valueEnd != '=') ++valueEnd;
    if (valueEnd == value) return;
    long note = 0;
    if (!textfile::parseIntPrefix(text, equals, note)) return;
    if (note < 0 || note >= kNotes) return;
    double cents = 0.0;
    if (!textfile::parseNumberPrefix(value, valueEnd, cents)) return;
    float semitones = (float)(cents / 100.0);
    if (!(semitones >= kLowestPitch)) semitones = kLowestPitch;
    if (!(semitones <= kHighestPitch)) semitones = kHighestPitch;
    table[note] = semitones;
}

}  // namespace

bool parse(const char* data, std::size_t size, float* table) {
    if (!data || !table) return false;
    const char* end = data + size;
    const char* p = textfile::skipByteOrderMark(data, end);

    // The line after the last header of each kind.
    const char* tuningStart = nullptr;
    const char* exactStart = nullptr;
    while (p < end) {
        const char* next = nullptr;
        const Line line = lineAt(p, end, next);
        if (startsWith(line, "[Tuni")) tuningStart = next;
        if (startsWith(line, "[Exac")) exactStart = next;
        p = next;
    }
    const char* start = exactStart ? exactStart : tuningStart;
    if (!start) return false;

    float read[kNotes];
    for (int n = 0; n < kNotes; ++n) read[n] = (float)n;
    for (p = start; p < end;) {
        const char* next = nullptr;
        const Line line = lineAt(p, end, next);
        if (line.last > line.first && line.first[0] == ';') break;
        applyEntry(line, read);
        p = next;
    }
    for (int n = 0; n < kNotes; ++n) table[n] = read[n];
    return true;
}

}  // namespace tunfile
