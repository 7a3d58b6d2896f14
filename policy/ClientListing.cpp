#include "ClientListing.h"

#include "FtpListing.h"
#include "FtpMlsx.h"
#include "FtpSrvT.h"

#include <sys/stat.h>

namespace vendrix::policy {

namespace {
// The line of a virtual link: its date and size are fixed, its mode is the
// target folder's.
std::string LinkLine(const std::string& name, const std::string& target, bool detailed) {
    if (!detailed) return name + "\r\n";
    struct stat st {};
    const uint32_t permissions = ::stat(target.c_str(), &st) == 0 ? uint32_t(st.st_mode & 07777) : 0755;
    return ftp::ModeText(true, permissions) + "   1 ftp      ftp            0 Apr 30 19:00 " + name + "\r\n";
}
} // namespace

std::string BuildClientListing(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
                               const TListingRequest& request, const TReachable& reachable) {
    const std::string dir = DirectoryPart(style, request.Pattern);
    bool covered = false, showDirs = false;
    for (const config::TAccessEntry& e : entries) {
        if (!PathWithin(style, e.Directory, dir)) continue;
        covered = true;
        if (e.Has(config::kRightSubdirs)) showDirs = true;
    }
    if (!covered || IsAccessForbidden(style, entries, dir) || !reachable(dir)) return {};

    const std::vector<ftp::TListEntry> found = ftp::FindEntries(request.Pattern);
    std::string text;
    text.reserve(ftp::ListingBytes(found, request.Detailed));
    std::string path;
    for (const ftp::TListEntry& entry : found) {
        const bool dots = entry.Name == "." || entry.Name == "..";
        path.assign(dir).append(entry.Name);
        if (!dots && (IsAccessForbidden(style, entries, path) || (entry.Link && !reachable(path)))) continue;
        if (entry.Directory && !showDirs) continue;
        if (request.Machine) {
            if (entry.Hidden) continue;
            const std::string type = entry.Name == "." ? "cdir" : entry.Name == ".." ? "pdir" : "";
            const std::string line = ftp::FactsLine(
                path, entry.Name, type, request.Permissions(path, entry.Directory), request.Facts);
            if (!line.empty()) text += line + "\r\n";
            continue;
        }
        if (request.Detailed)
            ftp::AppendDetailedLine(text, entry, request.CurrentYear);
        else
            text.append(entry.Name).append("\r\n");
    }
    if (request.AtHome) {
        for (const config::TAccessEntry& e : entries) {
            if (!e.Has(config::kRightVirtual) || !e.LinkName || e.LinkName->empty()) continue;
            if (!ftp::DirectoryExists(e.Directory)) continue;
            if (!request.Machine) {
                text += LinkLine(*e.LinkName, e.Directory, request.Detailed);
                continue;
            }
            const std::string line = ftp::FactsLine(e.Directory, *e.LinkName, "dir",
                                                    request.Permissions(e.Directory, true), request.Facts);
            if (!line.empty()) text += line + "\r\n";
        }
    }
    return text;
}

} // namespace vendrix::policy
