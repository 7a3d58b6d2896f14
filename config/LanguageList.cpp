#include "LanguageList.h"

#include <algorithm>
#include <filesystem>

namespace vendrix::config {

std::vector<std::string> ListLanguages(const std::string& languageFolder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(languageFolder, error), end; !error && it != end;
         it.increment(error)) {
        const std::filesystem::path& path = it->path();
        if (path.extension() == ".lng" && !path.stem().empty()) names.push_back(path.stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace vendrix::config
