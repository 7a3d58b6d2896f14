#include "PathRules.h"

#include "FtpTypes.h"

#include <algorithm>
#include <cctype>

namespace vendrix::ftp {

const TPathStyle TPathStyle::Posix{'/', false, false};
const TPathStyle TPathStyle::Windows{'\\', true, true};

std::string TPathStyle::ToLocal(std::string path) const {
    if (Sep != '/') std::replace(path.begin(), path.end(), '/', Sep);
    return path;
}

std::string TPathStyle::ToClient(std::string path) const {
    if (Sep != '/') std::replace(path.begin(), path.end(), Sep, '/');
    return path;
}

bool TPathStyle::IsUnc(const std::string& path) const {
    return Drives && path.size() >= 2 && path[0] == Sep && path[1] == Sep;
}

std::string TPathStyle::DrivePart(const std::string& path) const {
    if (!Drives) return {};
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    if (IsUnc(path)) {
        size_t server = path.find(Sep, 2);
        if (server == std::string::npos) return path;
        size_t share = path.find(Sep, server + 1);
        return share == std::string::npos ? path : path.substr(0, share);
    }
    return {};
}

bool TPathStyle::EqualNames(const std::string& a, const std::string& b) const {
    if (!IgnoreCase) return a == b;
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

namespace {
char Letter(const std::string& drive) {
    return drive.empty() ? '\0' : char(std::toupper(static_cast<unsigned char>(drive[0])));
}

bool Contains(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

// The parent of a drive-less directory path ending in a separator: cut after
// the last separator before the final character; empty at the root.
std::string Parent(const std::string& path, char sep) {
    if (path.size() < 2) return {};
    size_t pos = path.rfind(sep, path.size() - 2);
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}
} // namespace

std::string ApplySetDirectory(const TPathStyle& style, const std::string& current, std::string newDir,
                              bool allowUnc) {
    const char sep = style.Sep;
    const std::string dot = std::string(".") + sep;
    if (newDir == current) return current;
    if (style.Drives && newDir.size() > 2 && newDir[0] == sep && newDir[2] == ':') newDir.erase(0, 1);

    std::string drive = style.DrivePart(newDir);
    if (style.IsUnc(drive)) {
        if (!allowUnc) throw EFtpError("Cannot accept UNC path");
        if (newDir.back() != sep) newDir += sep;
        return newDir;
    }
    const std::string curDrive = style.DrivePart(current);
    const std::string curPath = current.substr(curDrive.size());

    if (style.IsUnc(curDrive)) {
        // A UNC current directory: relative paths and ".." stay below its share.
        std::string result;
        if (newDir == "..") {
            result = Parent(current, sep);
            if (result.size() < curDrive.size() + 1) result = curDrive + sep;
        } else if (!newDir.empty() && newDir[0] == sep) {
            result = curDrive + newDir;
        } else if (drive.empty()) {
            if (Contains(newDir, dot)) throw EFtpError("Cannot accept relative path using dot notation");
            result = newDir == "." ? current : current + newDir;
        } else {
            result = newDir;
        }
        if (result.empty() || result.back() != sep) result += sep;
        return result;
    }

    std::string path;
    if (!drive.empty()) {
        path = newDir.substr(2);
    } else {
        drive = curDrive;
        path = newDir;
    }
    // Under POSIX a colon is an ordinary character of a name.
    if (style.Drives && Contains(path, ":")) throw EFtpError("Invalid directory name syntax");
    if (path == "..") path = Parent(curPath, sep);
    if (!path.empty() && path[0] != sep) {
        if (Letter(drive) != Letter(curDrive))
            throw EFtpError("Cannot accept path not relative to current directory");
        if (Contains(path, dot)) throw EFtpError("Cannot accept relative path using dot notation");
        path = path == "." ? curPath : curPath + path;
    } else if (!path.empty() && Contains(path, dot)) {
        throw EFtpError("Cannot accept relative path using dot notation");
    }
    if (path.empty()) path = Letter(drive) != Letter(curDrive) ? std::string(1, sep) : curPath;
    if (path.empty() || path.back() != sep) path += sep;
    return drive + path;
}

std::string ApplyBuildFilePath(const TPathStyle& style, const std::string& homeDir, const std::string& dir,
                               std::string name) {
    const char sep = style.Sep;
    if (name.empty()) return dir;
    if (!style.Drives) {
        // Without drive letters "/" must mean one thing everywhere: the root.
        return name[0] == sep ? name : dir + name;
    }
    if (style.IsUnc(name)) return name;
    if (style.IsUnc(dir)) return name[0] == sep ? style.DrivePart(dir) + name : dir + name;
    if (name[0] == sep) return homeDir.substr(0, homeDir.empty() ? 0 : homeDir.size() - 1) + name;
    std::string drive, path;
    if (name.size() >= 2 && name[1] == ':') {
        drive = name.substr(0, 2);
        drive[0] = char(std::toupper(static_cast<unsigned char>(drive[0])));
        path = name.substr(2);
    } else {
        drive = dir.substr(0, 2);
        path = name;
    }
    if (!path.empty() && path[0] == sep) return drive + path;
    if (drive != dir.substr(0, 2)) throw EFtpError("No current dir for '" + drive + "'");
    return dir + path;
}

std::string TrimDirectoryOverlap(const TPathStyle& style, const std::string& dir, const std::string& name) {
    const char sep = style.Sep;
    const size_t len = dir.size();
    std::string result;
    for (size_t k = 1; k < len && k < name.size(); ++k) {
        // 1-based: character L-k of dir and character k+1 of name are separators.
        if (dir[len - k - 1] == sep && name[k] == sep && name.compare(0, k + 1, dir, len - k - 1, k + 1) == 0)
            result = dir.substr(0, len - k);
    }
    return result;
}

} // namespace vendrix::ftp
