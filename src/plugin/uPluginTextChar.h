// How a character of a parameter text is kept in the text slots (one character per tag).
// The slot writer and the code that compares a name with what the slots hold must clean
// characters alike, so both use this.
#pragma once

// One character of a parameter text, cleaned for storage: 0 (dropped) for anything that is
// not printable ASCII, '-' for ':', a blank for the characters no file name may hold.
inline int cleanTextChar(unsigned char c) {
    if (c < 32 || c >= 128) return 0;
    switch (c) {
        case ':':
            return '-';
        case '?':
        case '<':
        case '>':
        case '"':
        case '*':
        case '\\':
        case '/':
        case '|':
            return ' ';
        default:
            return c;
    }
}
