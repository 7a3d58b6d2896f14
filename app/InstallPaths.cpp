#include "InstallPaths.h"

#include "Paths.h"

#include <filesystem>

namespace vendrix::app {

std::string LanguageFolderFor(const std::string& baseFolder) {
    std::string own = config::TPaths(baseFolder).LanguageFolder();
    std::error_code error;
    if (std::filesystem::is_directory(own, error)) return own;
    const std::string installed = VENDRIX_DATA_DIR "/lng/";
    return std::filesystem::is_directory(installed, error) ? installed : own;
}

} // namespace vendrix::app
