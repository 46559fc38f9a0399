#include "engine/ControllerMapFile.h"

#include "engine/TextFileRead.h"

namespace ecsfile {

bool parse(const char* data, std::size_t size, int32_t* map) {
    if (!data || !map) return false;
    textfile::WordReader words(data, size);
    int32_t read[kControllers];
    for (int i = 0; i < kControllers; ++i) {
        const char* first = nullptr;
        const char* last = nullptr;
        if (!words.next(first, last)) return false;
        long tag = 0;
        if (!textfile::parseIntToken(first, last, 0, kMaxTag, tag)) return false;
        read[i] = (int32_t)tag;
    }
    if (!words.atEnd()) return false;
    for (int i = 0; i < kControllers; ++i) map[i] = read[i];
    return true;
}

std::string write(const int32_t* map) {
    std::string text;
    for (int i = 0; i < kControllers; ++i) {
        text += std::to_string(map ? map[i] : 0);
        text += '\n';
    }
    return text;
}

}  // namespace ecsfile
