#include "FactPermissions.h"

namespace vendrix::policy {

std::string FactPermissions(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
                            const std::string& path, bool directory) {
    std::string self = CollapseDots(style, path);
    if (IsAccessForbidden(style, entries, self)) return {};
    std::string perm;
    if (!directory) {
        const bool upload = HasRight(style, entries, self, config::kRightUpload);
        const bool erase = HasRight(style, entries, self, config::kRightErase);
        if (upload) perm += "a";
        if (erase) perm += "d";
        if (HasRight(style, entries, self, config::kRightRename)) perm += "f";
        if (HasRight(style, entries, self, config::kRightDownload)) perm += "r";
        if (upload && erase) perm += "w";
        return perm;
    }
    // Rights on the directory itself are those of its parent's entries;
    // rights in it are those of a name inside it.
    const std::string inside = WithTrailingSep(style, self) + "x";
    while (self.size() > 1 && self.back() == style.Sep)
        self.pop_back();
    if (HasRight(style, entries, inside, config::kRightUpload)) perm += "c";
    if (HasRight(style, entries, self, config::kRightRemoveDir)) perm += "d";
    if (IsCovered(style, entries, inside)) perm += "el";
    if (HasRight(style, entries, self, config::kRightRename)) perm += "f";
    if (HasRight(style, entries, inside, config::kRightMakeDir)) perm += "m";
    if (HasRight(style, entries, inside, config::kRightErase)) perm += "p";
    return perm;
}

} // namespace vendrix::policy
