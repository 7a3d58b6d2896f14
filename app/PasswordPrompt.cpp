#include "PasswordPrompt.h"

#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace vendrix::app {

namespace {

// The echo comes back even when reading fails.
class TEchoOff {
public:
    TEchoOff() {
        if (tcgetattr(STDIN_FILENO, &FSaved) != 0) return;
        termios quiet = FSaved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        FActive = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~TEchoOff() {
        if (FActive) tcsetattr(STDIN_FILENO, TCSAFLUSH, &FSaved);
    }
    TEchoOff(const TEchoOff&) = delete;
    TEchoOff& operator=(const TEchoOff&) = delete;

private:
    termios FSaved{};
    bool FActive = false;
};

std::optional<std::string> AskOnce(const char* prompt) {
    std::cerr << prompt << std::flush;
    std::optional<std::string> answer;
    {
        TEchoOff quiet;
        answer = ReadPasswordLine(std::cin);
    }
    std::cerr << "\n";
    return answer;
}

} // namespace

std::optional<std::string> ReadPasswordLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line) && line.empty()) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::optional<std::string> AskNewPassword() {
    if (!isatty(STDIN_FILENO)) return std::nullopt;
    std::optional<std::string> first = AskOnce("Password: ");
    if (!first) return std::nullopt;
    std::optional<std::string> second = AskOnce("Password again: ");
    if (first != second) {
        std::cerr << "The two passwords differ.\n";
        return std::nullopt;
    }
    return first;
}

} // namespace vendrix::app
