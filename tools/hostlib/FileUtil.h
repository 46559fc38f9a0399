// Whole-file reads with a size bound, and saves that never leave a half-written file:
// the data goes to a temporary file in the same folder, which is then renamed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavhost {

bool readWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out,
                   std::string& error);

bool writeFileAtomically(const std::string& path, const void* data, size_t size,
                         std::string& error);

}  // namespace tavhost
