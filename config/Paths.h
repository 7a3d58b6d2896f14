// Where the program's files lie under its base folder. The folders "conf",
// "lng" and "log" are expected to exist; nothing here creates them.
#pragma once

#include <string>

namespace vendrix::config {

class TPaths {
public:
    explicit TPaths(std::string baseFolder);

    const std::string& BaseFolder() const { return FBase; }
    std::string ConfigFile() const;     // conf/config.ini
    std::string UsersFile() const;      // conf/users.ini
    std::string LanguageFolder() const; // lng
    std::string LogFolder() const;      // log

private:
    std::string FBase;
};

} // namespace vendrix::config
