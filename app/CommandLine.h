// The command line of the executables.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vendrix::app {

struct TCommandLine {
    std::string Listen;                  // --listen ADDR (the first one given)
    std::vector<std::string> MoreListen; // each further --listen ADDR
    std::optional<std::string> Port;     // --port PORT (overrides the settings)
    std::string Base;                    // --base DIR: holds conf/, lng/, log/
    std::string Root;                    // --root DIR: quick share of one folder
    bool Write = false;                  // --write: the quick share takes uploads too
    std::optional<std::string> Send;     // --send TEXT: command for the running instance
    bool HideTray = false;               // "/hidetray" or "-hidetray", any case
    // The words from the first one that is not an option: a command such as
    // "user add NAME --home DIR" or "check", with its own options.
    std::vector<std::string> Command;
    bool Help = false;
    bool Version = false;
    std::string Error; // why the arguments were refused
};

// Parses argv; unknown options, missing values, a port out of range or
// unknown as a service, and a --base or --root folder that does not exist
// set Error (one line).
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// Why a --port value is refused, or empty: a number from 1 to 65535 or a
// known TCP service name.
std::string PortError(const std::string& port);

// Answers refused arguments (one line, exit status 2), --help (the usage
// and `baseLine`, which says which base folder is in use) and --version the
// same way in both executables: the exit status when the program ends here,
// nothing when it goes on.
std::optional<int> AnswerStandardOptions(const TCommandLine& cl, const std::string& program,
                                         const char* usage, const std::string& baseLine);

// --send: hands the text to the instance running for the base folder and
// prints its answer; the exit status.
int SendToInstance(const std::string& base, const std::string& text, const std::string& program);

// The folder of the running executable (the default base folder).
std::string ExecutableFolder();

// A folder path with exactly one trailing "/", made absolute.
std::string FolderPath(const std::string& path);

} // namespace vendrix::app
