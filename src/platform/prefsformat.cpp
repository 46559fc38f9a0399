#include "platform/prefsformat.h"

#include <charconv>

namespace platform {

namespace {

const char kHeader[] = "# Tavrolune preferences\n";

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void escapeInto(std::string& out, const std::string& text, bool isKey) {
    static const char hex[] = "0123456789ABCDEF";
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '=' && isKey) {
            out += "\\=";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
}

// Decodes text[pos..) up to an unescaped '=' (keys, stopAtEquals) or the end. Returns
// false on a malformed escape or a NUL byte, which no stored text can hold.
bool unescape(const std::string& line, std::size_t& pos, bool stopAtEquals, std::string& out) {
    out.clear();
    while (pos < line.size()) {
        const char c = line[pos];
        if (c == '=' && stopAtEquals) return true;
        if (c == 0) return false;
        if (c != '\\') {
            out += c;
            ++pos;
            continue;
        }
        if (pos + 1 >= line.size()) return false;
        const char e = line[pos + 1];
        pos += 2;
        switch (e) {
        case '\\': out += '\\'; break;
        case '=': out += '='; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
            if (pos + 2 > line.size()) return false;
            const int hi = hexDigit(line[pos]);
            const int lo = hexDigit(line[pos + 1]);
            if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return false;
            out += static_cast<char>(hi * 16 + lo);
            pos += 2;
            break;
        }
        default:
            return false;
        }
    }
    return !stopAtEquals; // a key must be followed by '='
}

bool parseInt(const std::string& text, int32_t& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first; // from_chars takes no '+'
    if (first == last) return false;
    const auto res = std::from_chars(first, last, value, 10);
    return res.ec == std::errc() && res.ptr == last;
}

bool parseLine(const std::string& line, PrefMap& into) {
    if (line.size() < 3 || line[1] != ' ') return false;
    const char type = line[0];
    if (type != 's' && type != 'i') return false;
    std::size_t pos = 2;
    std::string key;
    if (!unescape(line, pos, true, key) || key.empty()) return false;
    ++pos; // the '='
    std::string value;
    if (!unescape(line, pos, false, value)) return false;
    if (type == 's') {
        into[key] = PrefValue::ofText(std::move(value));
        return true;
    }
    int32_t i = 0;
    if (!parseInt(value, i)) return false;
    into[key] = PrefValue::ofInt(i);
    return true;
}

} // namespace

int parsePrefsText(const std::string& text, PrefMap& into) {
    int skipped = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool terminated = end != std::string::npos;
        if (!terminated) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back(); // edited elsewhere
        if (line.empty() || line[0] == '#') continue;
        // Every line is written with its line feed: one without it is a cut-off line whose
        // value may be cut off too.
        if (!terminated || !parseLine(line, into)) ++skipped;
    }
    return skipped;
}

std::string formatPrefsText(const PrefMap& prefs) {
    std::string out = kHeader;
    for (const auto& [key, value] : prefs) {
        if (key.empty()) continue;
        out += value.isInt ? "i " : "s ";
        escapeInto(out, key, true);
        out += '=';
        if (value.isInt) {
            char num[16];
            const auto res = std::to_chars(num, num + sizeof num, value.intValue);
            out.append(num, res.ptr);
        } else {
            escapeInto(out, value.text, false);
        }
        out += '\n';
    }
    return out;
}

} // namespace platform
