#include "editor/uEditorNumber.h"

namespace {

// The blanks of the C locale; isspace() would follow the host's locale.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

int readTypedInt(const char* text, bool* hadDigits) {
    if (hadDigits) *hadDigits = false;
    if (!text) return 0;
    const char* p = text;
    while (isBlank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int value = 0;
    bool digits = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        digits = true;
        // Once at the limit further digits cannot bring it back down.
        if (value < kTypedIntLimit) {
            value = value * 10 + (*p - '0');
            if (value > kTypedIntLimit) value = kTypedIntLimit;
        }
    }
    if (hadDigits) *hadDigits = digits;
    return negative ? -value : value;
}

int readTypedInt(const std::string& text, bool* hadDigits) { return readTypedInt(text.c_str(), hadDigits); }
