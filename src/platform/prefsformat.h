// The text form of the preference file.
//
//   # comment
//   s <key>=<text>
//   i <key>=<decimal 32-bit integer>
//
// One entry a line. Key and text escape '\\' as "\\\\", '=' as "\\=", line feed, carriage
// return and tab as "\\n", "\\r", "\\t" and every other control byte as "\\xHH"; other
// bytes (UTF-8 included) stand as they are. Numbers are read and written in the C locale.
// A line that cannot be read (unknown type, no '=', bad escape, empty key, a number that is
// not a whole 32-bit decimal, a last line without its line feed) is skipped; the other
// lines still count. A later line for the same key wins.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace platform {

struct PrefValue {
    bool isInt = false;
    int32_t intValue = 0;
    std::string text;

    static PrefValue ofText(std::string t) {
        PrefValue v;
        v.text = std::move(t);
        return v;
    }
    static PrefValue ofInt(int32_t i) {
        PrefValue v;
        v.isInt = true;
        v.intValue = i;
        return v;
    }
    bool operator==(const PrefValue& o) const {
        return isInt == o.isInt && (isInt ? intValue == o.intValue : text == o.text);
    }
};

using PrefMap = std::map<std::string, PrefValue>;

// Adds the entries of `text` to `into`. Returns the number of non-empty, non-comment lines
// that were skipped as unreadable. Never throws on malformed input.
int parsePrefsText(const std::string& text, PrefMap& into);

// The whole file text for `prefs`, keys in sorted order.
std::string formatPrefsText(const PrefMap& prefs);

} // namespace platform
