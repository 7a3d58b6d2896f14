#include "Paths.h"

namespace vendrix::config {

TPaths::TPaths(std::string baseFolder) : FBase(std::move(baseFolder)) {
    while (FBase.size() > 1 && FBase.back() == '/')
        FBase.pop_back();
    if (FBase.empty()) FBase.push_back('.');
}

std::string TPaths::ConfigFile() const {
    return FBase + "/conf/config.ini";
}
std::string TPaths::UsersFile() const {
    return FBase + "/conf/users.ini";
}
std::string TPaths::LanguageFolder() const {
    return FBase + "/lng";
}
std::string TPaths::LogFolder() const {
    return FBase + "/log";
}

} // namespace vendrix::config
