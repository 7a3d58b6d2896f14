#include "ReplyPaths.h"

namespace vendrix::policy {

namespace {
bool PathStartsAt(const std::string& text, size_t i) {
    return i == 0 || text[i - 1] == ' ' || text[i - 1] == '"' || text[i - 1] == '\'';
}

bool PathEndsAt(const std::string& text, size_t i) {
    return i == text.size() || text[i] == ' ' || text[i] == '"' || text[i] == '\'';
}

// Replaces the home (slash form, trailing "/") by "/" wherever a path begins
// with it; the home without its last "/" at the end of a path counts too.
bool ReplaceHome(const ftp::TPathStyle& style, std::string& text, const std::string& home) {
    const std::string bare = home.substr(0, home.size() - 1);
    if (bare.empty()) return false; // the root shows as itself
    std::string out;
    bool replaced = false;
    size_t i = 0;
    while (i < text.size()) {
        if (PathStartsAt(text, i) && text.size() - i >= bare.size() &&
            style.EqualNames(text.substr(i, bare.size()), bare)) {
            size_t after = i + bare.size();
            if (after < text.size() && text[after] == '/') {
                out += '/';
                i = after + 1;
                replaced = true;
                continue;
            }
            if (PathEndsAt(text, after)) {
                out += '/';
                i = after;
                replaced = true;
                continue;
            }
        }
        out += text[i++];
    }
    text = out;
    return replaced;
}

bool ShowsDirectory(const std::string& answer) {
    return answer.rfind("250", 0) == 0 || answer.rfind("257", 0) == 0 || answer.rfind("550", 0) == 0;
}

// The drive letter and its ":" plus separator become "/" (C:/ftp/x -> /ftp/x).
void DropDrive(std::string& answer, const std::string& mark) {
    size_t p = answer.find(mark);
    if (p == std::string::npos || p == 0) return;
    answer = answer.substr(0, p - 1) + "/" + answer.substr(p + 2);
}
} // namespace

std::string ClientReply(const ftp::TPathStyle& style, const std::string& home, bool virtualDir,
                        std::string answer) {
    if (virtualDir) {
        std::string slashed = style.ToClient(answer);
        std::string clientHome = style.ToClient(home);
        if (clientHome.empty() || clientHome.back() != '/') clientHome += '/';
        if (ReplaceHome(style, slashed, clientHome)) answer = slashed;
        if (style.Drives && ShowsDirectory(answer)) {
            DropDrive(answer, ":/");
            DropDrive(answer, ":\\");
        }
        size_t twice = answer.find("//");
        if (twice != std::string::npos) answer.erase(twice, 1);
        return answer;
    }
    answer = style.ToClient(answer);
    if (style.Drives && ShowsDirectory(answer)) {
        // C:/ftp/ is shown as /C:/ftp/.
        size_t p = answer.find(":/");
        if (p != std::string::npos && p > 0) answer.insert(p - 1, "/");
    }
    return answer;
}

} // namespace vendrix::policy
