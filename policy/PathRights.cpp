#include "PathRights.h"

namespace vendrix::policy {

namespace {
bool StartsWith(const TPathStyle& style, const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && style.EqualNames(s.substr(0, prefix.size()), prefix);
}

std::vector<std::string> Segments(const std::string& rest, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(sep, start);
        if (end == std::string::npos) end = rest.size();
        parts.push_back(rest.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}
} // namespace

std::string CollapseDots(const TPathStyle& style, const std::string& path) {
    const char sep = style.Sep;
    const std::string drive = style.DrivePart(path);
    const std::string rest = path.substr(drive.size());
    if (rest.empty()) return path;
    const bool absolute = rest[0] == sep;
    const std::vector<std::string> segments = Segments(rest, sep);
    const std::string& last = segments.back();
    const bool dirForm = last.empty() || last == "." || last == "..";

    std::vector<std::string> kept;
    for (const std::string& s : segments) {
        if (s.empty() || s == ".") continue;
        if (s == "..") {
            if (!kept.empty()) kept.pop_back();
            continue;
        }
        kept.push_back(s);
    }
    std::string result = drive;
    if (absolute) result += sep;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) result += sep;
        result += kept[i];
    }
    if (dirForm && !kept.empty()) result += sep;
    return result;
}

std::string DirectoryPart(const TPathStyle& style, const std::string& path) {
    size_t last = path.rfind(style.Sep);
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string NamePart(const TPathStyle& style, const std::string& path) {
    size_t last = path.rfind(style.Sep);
    return last == std::string::npos ? path : path.substr(last + 1);
}

std::string WithTrailingSep(const TPathStyle& style, std::string dir) {
    if (dir.empty() || dir.back() != style.Sep) dir += style.Sep;
    return dir;
}

bool PathWithin(const TPathStyle& style, const std::string& dir, const std::string& path) {
    if (dir.empty() || path.empty()) return false;
    return StartsWith(style, WithTrailingSep(style, path), WithTrailingSep(style, dir));
}

bool SamePath(const TPathStyle& style, const std::string& a, const std::string& b) {
    return style.EqualNames(a, b);
}

std::vector<config::TAccessEntry> NormalizedEntries(const TPathStyle& style,
                                                    std::vector<config::TAccessEntry> entries) {
    std::vector<config::TAccessEntry> result;
    for (config::TAccessEntry& e : entries) {
        // An entry without a directory would otherwise stand for the root
        // and open the whole disk.
        if (e.Directory.empty()) continue;
        e.Directory = WithTrailingSep(style, CollapseDots(style, e.Directory));
        result.push_back(std::move(e));
    }
    return result;
}

std::string MapVirtualLink(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
                           const std::string& path, const std::string& home) {
    std::string result = path;
    for (const config::TAccessEntry& e : entries) {
        if (!e.Has(config::kRightVirtual) || !e.LinkName || e.LinkName->empty()) continue;
        const std::string prefix = WithTrailingSep(style, home) + *e.LinkName + style.Sep;
        if (StartsWith(style, result, prefix)) result = e.Directory + result.substr(prefix.size());
    }
    return result;
}

bool IsAccessForbidden(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
                       const std::string& path) {
    for (const config::TAccessEntry& e : entries)
        if (e.Has(config::kRightDenied) && PathWithin(style, e.Directory, path)) return true;
    return false;
}

bool HoldsForbidden(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
                    const std::string& path) {
    for (const config::TAccessEntry& e : entries)
        if (e.Has(config::kRightDenied) && PathWithin(style, path, e.Directory)) return true;
    return false;
}

bool HasRight(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
              const std::string& path, char letter) {
    const std::string dir = DirectoryPart(style, path);
    for (const config::TAccessEntry& e : entries) {
        if (!e.Has(letter)) continue;
        if (e.Has(config::kRightSubdirs) ? PathWithin(style, e.Directory, dir)
                                         : SamePath(style, e.Directory, dir))
            return true;
    }
    return false;
}

bool IsCovered(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
               const std::string& path) {
    const std::string dir = DirectoryPart(style, path);
    for (const config::TAccessEntry& e : entries)
        if (PathWithin(style, e.Directory, dir)) return true;
    return false;
}

std::string RerootUnderHome(const TPathStyle& style, const std::string& home, const std::string& path) {
    const std::string root = WithTrailingSep(style, home);
    std::string client;
    if (PathWithin(style, root, path))
        client = std::string(1, style.Sep) + (path.size() > root.size() ? path.substr(root.size()) : "");
    else
        client = path.substr(style.DrivePart(path).size());
    if (client.empty() || client[0] != style.Sep) client.insert(0, 1, style.Sep);
    // Collapsed from the client's root, the path cannot climb out of it.
    return root + CollapseDots(style, client).substr(1);
}

} // namespace vendrix::policy
