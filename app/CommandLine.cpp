#include "CommandLine.h"

#include "ControlClient.h"
#include "Version.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <netdb.h>
#include <unistd.h>

namespace vendrix::app {

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine cl;
    auto value = [&](size_t& i, const std::string& name) -> std::string {
        if (i + 1 >= args.size()) {
            cl.Error = "option " + name + " needs a value";
            return {};
        }
        return args[++i];
    };
    for (size_t i = 0; i < args.size() && cl.Error.empty(); ++i) {
        const std::string& a = args[i];
        std::string lower = a;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (a == "--listen") {
            std::string addr = value(i, a);
            if (cl.Listen.empty())
                cl.Listen = addr;
            else
                cl.MoreListen.push_back(addr);
        } else if (a == "--port")
            cl.Port = value(i, a);
        else if (a == "--base")
            cl.Base = value(i, a);
        else if (a == "--root")
            cl.Root = value(i, a);
        else if (a == "--write")
            cl.Write = true;
        else if (a == "--send")
            cl.Send = value(i, a);
        else if (lower == "/hidetray" || lower == "-hidetray")
            cl.HideTray = true;
        else if (a == "--help" || a == "-h")
            cl.Help = true;
        else if (a == "--version")
            cl.Version = true;
        else if (!a.empty() && a[0] != '-' && a[0] != '/') {
            cl.Command.assign(args.begin() + std::ptrdiff_t(i), args.end());
            break;
        } else
            cl.Error = "unknown option: " + a;
    }
    std::error_code error;
    if (cl.Error.empty() && cl.Port) cl.Error = PortError(*cl.Port);
    if (cl.Error.empty() && !cl.Base.empty() && !std::filesystem::is_directory(cl.Base, error))
        cl.Error = "the base folder does not exist: " + cl.Base;
    if (cl.Error.empty() && !cl.Root.empty() && !std::filesystem::is_directory(cl.Root, error))
        cl.Error = "the folder to share does not exist: " + cl.Root;
    return cl;
}

std::string PortError(const std::string& port) {
    if (port.empty()) return "the port is empty";
    if (std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); })) {
        const std::string digits = port.substr(std::min(port.find_first_not_of('0'), port.size()));
        if (digits.empty() || digits.size() > 5 || std::stol(digits) > 65535)
            return "the port must be a number from 1 to 65535: " + port;
        return {};
    }
    if (getservbyname(port.c_str(), "tcp") == nullptr) return "unknown port or service name: " + port;
    return {};
}

std::optional<int> AnswerStandardOptions(const TCommandLine& cl, const std::string& program,
                                         const char* usage, const std::string& baseLine) {
    if (!cl.Error.empty()) {
        std::cerr << program << ": " << cl.Error << "\n";
        return 2;
    }
    if (cl.Help) {
        std::cout << usage << "\n" << baseLine << "\n";
        return 0;
    }
    if (cl.Version) {
        std::cout << config::kProductName << " " << config::kProgramVersion << "\n";
        return 0;
    }
    return std::nullopt;
}

int SendToInstance(const std::string& base, const std::string& text, const std::string& program) {
    TControlAnswer answer = SendCommand(base, text);
    if (!answer.Ok()) {
        std::cerr << program << ": " << answer.Text << "\n";
        return 1;
    }
    std::cout << answer.Text << "\n";
    return 0;
}

std::string ExecutableFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return FolderPath(".");
    return FolderPath(exe.parent_path().string());
}

std::string FolderPath(const std::string& path) {
    std::error_code ec;
    std::string abs = std::filesystem::absolute(path.empty() ? "." : path, ec).lexically_normal().string();
    if (ec) abs = path;
    while (abs.size() > 1 && abs.back() == '/')
        abs.pop_back();
    if (abs.empty() || abs.back() != '/') abs += '/';
    return abs;
}

} // namespace vendrix::app
