// Small text helpers shared by the whole system: case conversion, cleaning typed numbers,
// making names safe for the file system, trimming and case-blind comparison.
//
// Every helper exists for caller buffers and for std::string and both follow the same rule.
// Buffer forms that write into a caller's buffer take its size (defaulting to the
// 256-byte buffers the callers use) and never write past it; in-place forms only ever
// shorten their text.
#pragma once

#include <cstddef>
#include <string>

// Size of the text buffers callers hand to these helpers unless a function says otherwise.
constexpr int kTextBufSize = 256;

// Every character to upper case (standard toupper); an empty text stays untouched.
void upperCase(char* text);
void upperCase(std::string& text);
// Every character to lower case (standard tolower).
void lowerCase(char* text);
void lowerCase(std::string& text);

// Keeps only '0'..'9', '+', '-' and '.', in their order.
void stripAllButNum(char* text);
void stripAllButNum(std::string& text);

// Keeps at most the first 24 characters and ends the text at the first byte below 32 or
// above 127 (used on host-supplied names).
void safename(char* name);

// A name fit for a file: at most 24 characters, ended at the first byte below 32 or above
// 127; ':' becomes '-'; '\\', '/', '"', '*', '|', '<', '>' and '?' become blanks; leading
// blanks are dropped.
std::string safeNameToSaveStr(const std::string& name);
void safeNameToSaveStr(const char* name, char* out, int outSize = kTextBufSize);

// One character of a file name: 0 for a byte below 32 or above 127, '-' for ':', a blank
// for the characters no file name may hold, else the character itself.
char validChar(char c);

// Leading / trailing white space removed.
void ltrim(std::string& text);
void rtrim(std::string& text);
void trim(std::string& text);
void ltrim(char* text);
void rtrim(char* text);
// The buffer form also drops every character outside 32..126 before trimming.
void trim(char* text);

// Case-blind equality of two texts.
bool stringCompareIgnoreCase(const std::string& a, const std::string& b);
bool stringCompareIgnoreCase(const char* a, const char* b);
bool stringCompareIgnoreCase(const std::string& a, const char* b);
bool compareStringIgnoreCase(const std::string& a, const std::string& b);

// A float as text with `digits` digits after the point (C locale).
std::string floatString(float value, int digits);

// The value as decimal text ("%d"); the base is ignored. `out` must hold 12 bytes, enough
// for every 32-bit value. Returns out.
char* itoa(int value, char* out, int base);

// Copies at most outSize - 1 bytes of src into out and terminates it; never writes past
// outSize bytes. A cut never splits a UTF-8 sequence. Nothing happens when outSize < 1.
void copyBounded(char* out, int outSize, const char* src, std::size_t srcLen);
void copyBounded(char* out, int outSize, const std::string& src);
