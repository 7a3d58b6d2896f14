#include "CommandLine.h"

#include "ControlClient.h"
#include "Version.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>
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
        else
            cl.Error = "unknown option: " + a;
    }
    return cl;
}

std::optional<int> AnswerStandardOptions(const TCommandLine& cl, const std::string& program,
                                         const char* usage) {
    if (!cl.Error.empty()) {
        std::cerr << program << ": " << cl.Error << "\n" << usage;
        return 2;
    }
    if (cl.Help) {
        std::cout << usage;
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
