#include "support/TestFiles.h"

#include <dirent.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testfiles {

std::string makeScratchFolder(const std::string& prefix) {
    const char* base = std::getenv("TAV_TEST_SCRATCH");
    const std::string root = base && *base ? base : "/tmp";
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    std::string pattern = root + "/" + prefix + "-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back(0);
    return ::mkdtemp(buf.data()) ? std::string(buf.data()) : std::string();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& data) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace testfiles
