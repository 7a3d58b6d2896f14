// A program folder of its own under the system's temporary folder: conf/ and
// log/, with the settings and account files the test writes. A write is seen
// by the program's next read, even one made while the program runs (the
// settings cache is moved past its re-check interval). Removed with all its
// content when the object goes.
#pragma once

#include <filesystem>
#include <string>

#include "OutsideEdit.h"
#include "TempFolder.h"

namespace vendrix::testing {

class TBaseFolder : public TTempFolder {
public:
    TBaseFolder() {
        for (const char* folder : {"conf", "log"})
            std::filesystem::create_directory(File(folder));
    }

    std::string Config() const { return File("conf/config.ini"); }
    std::string Users() const { return File("conf/users.ini"); }

    void WriteConfig(const std::string& text) const { Write(Config(), text); }
    void WriteUsers(const std::string& text) const { Write(Users(), text); }

private:
    static void Write(const std::string& path, const std::string& text) {
        WriteText(path, text);
        WaitForRecheck();
    }
};

} // namespace vendrix::testing
