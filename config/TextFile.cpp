#include "TextFile.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace vendrix::config {

std::vector<std::string> ReadTextLines(const std::string& path) {
    std::vector<std::string> lines;
    struct stat st {};
    // Only regular files: a path naming a FIFO or device must not hang a login.
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return !in.bad();
}

} // namespace vendrix::config
